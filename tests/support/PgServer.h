#pragma once
// The PostgreSQL server of the tests; ServerEnvironment.cpp stops it when the run ends.
#include "devservers/PgServer.h"

namespace mv::test {

using dev::PgServer;

}  // namespace mv::test
