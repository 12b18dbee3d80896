#pragma once
#include <string>

namespace mv {

// Integers typed in dialogs or read as text: leading white space, optional sign, digits up to
// the first other character; no digits gives 0. Saturates at the int range.
int ParseLeadingInt(const std::string& text);

}  // namespace mv
