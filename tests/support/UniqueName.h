#pragma once
#include <unistd.h>

#include <string>

namespace mv::test {

// A database name of this test process's own. Under ctest every test case is a process of its
// own and several run at once against one shared server, so a test that drops and re-creates
// its database must not reach another's.
inline std::string UniqueDbName(const std::string& base) { return base + "_" + std::to_string(getpid()); }

}  // namespace mv::test
