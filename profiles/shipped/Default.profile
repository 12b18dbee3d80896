# Default: the built-in dialect (REM remarks, ";" terminators, upper-case names), so that
# configurations that name the profile "Default" find it in the program folder.
# Every setting not named here keeps its built-in value.

# Apostrophes are doubled so that a value such as O'Brien cannot end its literal early.
Substitution = ' => ''
