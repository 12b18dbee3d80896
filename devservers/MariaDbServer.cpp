#include "devservers/MariaDbServer.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "devservers/Process.h"

namespace fs = std::filesystem;

namespace mv::dev {
namespace {

const char kStateFile[] = "mariadb.state";
TestServer::Slot g_slot("MariaDB", kStateFile);

}  // namespace

MariaDbServer& MariaDbServer::Instance() {
  return static_cast<MariaDbServer&>(g_slot.Get([] { return std::unique_ptr<TestServer>(new MariaDbServer()); }));
}

void MariaDbServer::Shutdown() { g_slot.Reset(); }

std::string MariaDbServer::StartShared(const std::string& stateDir) {
  MariaDbServer server;
  server.Share((fs::path(stateDir) / kStateFile).string());
  return server.Description();
}

void MariaDbServer::StopShared(const std::string& stateDir) {
  StopSharedAt((fs::path(stateDir) / kStateFile).string());
}

void MariaDbServer::Start() {
  MakeFolder(fs::temp_directory_path().string(), "mervale-mariadb-");
  const fs::path folder = folder_;
  const std::string data = (folder / "data").string();

  // mariadbd refuses to run as root unless told so; the data folder is the test's own.
  std::vector<std::string> asUser;
  if (IsRoot()) asUser = {"--user=root"};
  std::vector<std::string> install = {"mariadb-install-db", "--no-defaults",
                                      "--datadir=" + data,  "--auth-root-authentication-method=normal",
                                      "--skip-test-db",     "--skip-name-resolve"};
  install.insert(install.end(), asUser.begin(), asUser.end());
  ProcessResult made = RunProcess(install, {"LC_ALL=C"});
  if (made.status != 0) throw std::runtime_error(Describe(install, made));

  Launch launch;
  launch.log = (folder / "server.log").string();
  launch.argv = [&](int port) {
    std::vector<std::string> argv = {"mariadbd", "--no-defaults", "--datadir=" + data, "--port=" + std::to_string(port),
                                     "--bind-address=127.0.0.1", "--socket=" + (folder / "sock").string(),
                                     "--pid-file=" + (folder / "server.pid").string(), "--log-error=" + launch.log,
                                     "--skip-name-resolve", "--character-set-server=utf8mb4",
                                     "--collation-server=utf8mb4_general_ci",
                                     // Throw-away data: durability only costs time.
                                     "--innodb-flush-log-at-trx-commit=0", "--innodb-doublewrite=0",
                                     "--innodb-buffer-pool-size=32M", "--max-allowed-packet=64M"};
    argv.insert(argv.end(), asUser.begin(), asUser.end());
    return argv;
  };
  launch.ready = [this] {
    try {
      RunSql("mysql", "SELECT 1;");
      return true;
    } catch (const std::exception&) {
      return false;
    }
  };
  launch.outputLog = (folder / "stdout.log").string();
  launch.start.deathSignal = shared_ ? 0 : SIGTERM;
  launch.portTaken = {"Address already in use", "Can't start server"};
  StartServer(launch);
}

std::string MariaDbServer::ConnectString(const std::string& database) const {
  const char* driver = std::getenv("MERVALE_MARIADB_ODBC_DRIVER");
  return "DRIVER=" + std::string(driver && *driver ? driver : "{MariaDB Unicode}") +
         ";SERVER=127.0.0.1;PORT=" + std::to_string(port_) + ";DATABASE=" + database + ";UID=root;PWD=;CHARSET=utf8mb4";
}

void MariaDbServer::CreateDatabase(const std::string& name) {
  RunSql("mysql", "DROP DATABASE IF EXISTS " + QuoteName(name, '`') + ";\nCREATE DATABASE " + QuoteName(name, '`') +
                      " CHARACTER SET utf8mb4;\n");
}

std::string MariaDbServer::RunScript(const std::string& database, const std::string& path) {
  std::vector<std::string> argv = {"mariadb",
                                   "--no-defaults",
                                   "--protocol=TCP",
                                   "-h",
                                   "127.0.0.1",
                                   "-P",
                                   std::to_string(port_),
                                   "-u",
                                   "root",
                                   "--password=",
                                   "--default-character-set=utf8mb4",
                                   "--batch",
                                   "--skip-column-names",
                                   database};
  ProcessResult r = RunProcess(argv, {}, path);
  if (r.status != 0) throw std::runtime_error("mariadb in database '" + database + "': " + Describe(argv, r));
  return r.out;
}

}  // namespace mv::dev
