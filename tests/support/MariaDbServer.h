#pragma once
// The MariaDB server of the tests; ServerEnvironment.cpp stops it when the run ends.
#include "devservers/MariaDbServer.h"

namespace mv::test {

using dev::MariaDbServer;

}  // namespace mv::test
