#pragma once
#include <string>

#include "db/DbConnection.h"

namespace mv {

// Why a table's condition may not run, as the middle of "The condition for table T ...": empty
// when it may. A condition is one expression, read by the engine's own lexical rules (both
// readings of a backslash where the engine's settings decide it; every engine's rules for
// Engine::Other): no statement separator, no INTO, no executable comment, no unterminated quote
// or comment, and no call of a function that acts outside the run's read-only transaction.
std::string ConditionRefusal(const std::string& condition, Engine engine);

}  // namespace mv
