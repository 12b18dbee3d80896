// Stops the database servers this test process started when the test run ends, before static
// destruction begins (the servers library knows nothing of GoogleTest).
#include <gtest/gtest.h>

#include "devservers/MariaDbServer.h"
#include "devservers/PgServer.h"

namespace mv::test {
namespace {

class ServerEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    dev::MariaDbServer::Shutdown();
    dev::PgServer::Shutdown();
  }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

}  // namespace
}  // namespace mv::test
