#include "support/MariaDbServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/Process.h"

namespace fs = std::filesystem;

namespace mv::test {
namespace {

std::mutex g_mutex;
std::unique_ptr<MariaDbServer> g_server;
std::string g_failure;

bool IsRoot() { return geteuid() == 0; }

int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::string e = std::string("bind 127.0.0.1:0: ") + std::strerror(errno);
    close(fd);
    throw std::runtime_error(e);
  }
  close(fd);
  return ntohs(addr.sin_port);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string QuoteName(const std::string& name) {
  std::string q = "`";
  for (char c : name) {
    if (c == '`') q += '`';
    q += c;
  }
  return q + "`";
}

class MariaDbEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { MariaDbServer::Shutdown(); }
};
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new MariaDbEnvironment);

}  // namespace

MariaDbServer& MariaDbServer::Instance() {
  std::lock_guard lock(g_mutex);
  if (g_server) return *g_server;
  if (!g_failure.empty()) throw std::runtime_error(g_failure);
  try {
    std::unique_ptr<MariaDbServer> server(new MariaDbServer());
    server->Start();
    g_server = std::move(server);
  } catch (const std::exception& e) {
    g_failure = std::string("MariaDB test server could not start: ") + e.what();
    throw std::runtime_error(g_failure);
  }
  return *g_server;
}

void MariaDbServer::Shutdown() {
  std::lock_guard lock(g_mutex);
  g_server.reset();
}

MariaDbServer::~MariaDbServer() { Stop(); }

void MariaDbServer::Start() {
  std::string templ = (fs::temp_directory_path() / "mervale-mariadb-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
  folder_ = templ;
  const fs::path folder = folder_;
  const std::string data = (folder / "data").string();

  // mariadbd refuses to run as root unless told so; the data folder is the test's own.
  std::vector<std::string> asUser;
  if (IsRoot()) asUser = {"--user=root"};
  std::vector<std::string> install = {"mariadb-install-db", "--no-defaults", "--datadir=" + data,
                                      "--auth-root-authentication-method=normal", "--skip-test-db",
                                      "--skip-name-resolve"};
  install.insert(install.end(), asUser.begin(), asUser.end());
  ProcessResult made = RunProcess(install, {"LC_ALL=C"});
  if (made.status != 0) throw std::runtime_error(Describe(install, made));

  const std::string log = (folder / "server.log").string();
  std::string lastLog;
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = FreeLoopbackPort();
    std::vector<std::string> argv = {"mariadbd",
                                     "--no-defaults",
                                     "--datadir=" + data,
                                     "--port=" + std::to_string(port_),
                                     "--bind-address=127.0.0.1",
                                     "--socket=" + (folder / "sock").string(),
                                     "--pid-file=" + (folder / "server.pid").string(),
                                     "--log-error=" + log,
                                     "--skip-name-resolve",
                                     "--character-set-server=utf8mb4",
                                     "--collation-server=utf8mb4_general_ci",
                                     // Throw-away data: durability only costs time.
                                     "--innodb-flush-log-at-trx-commit=0",
                                     "--innodb-doublewrite=0",
                                     "--innodb-buffer-pool-size=32M",
                                     "--max-allowed-packet=64M"};
    argv.insert(argv.end(), asUser.begin(), asUser.end());
    pid_ = StartProcess(argv, (folder / "stdout.log").string());

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool ended = false;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (ProcessEnded(pid_, &status)) {
        pid_ = -1;
        ended = true;
        break;
      }
      try {
        RunSql("mysql", "SELECT 1;");
        return;
      } catch (const std::exception&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    lastLog = ReadFile(log);
    if (!ended) {
      Stop();
      throw std::runtime_error("the server did not accept connections within 60 s; its log:\n" + lastLog);
    }
    // The port can be taken between our probe and the server's bind; then take another.
    if (lastLog.find("Address already in use") == std::string::npos &&
        lastLog.find("Can't start server") == std::string::npos)
      break;
  }
  throw std::runtime_error("the server stopped during start-up; its log:\n" + lastLog);
}

void MariaDbServer::Stop() noexcept {
  if (pid_ > 0) {
    StopProcess(pid_, 15000);
    pid_ = -1;
  }
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    folder_.clear();
  }
}

std::string MariaDbServer::ConnectString(const std::string& database) const {
  const char* driver = std::getenv("MERVALE_MARIADB_ODBC_DRIVER");
  return "DRIVER=" + std::string(driver && *driver ? driver : "{MariaDB Unicode}") +
         ";SERVER=127.0.0.1;PORT=" + std::to_string(port_) + ";DATABASE=" + database +
         ";UID=root;PWD=;CHARSET=utf8mb4";
}

void MariaDbServer::CreateDatabase(const std::string& name) {
  RunSql("mysql", "DROP DATABASE IF EXISTS " + QuoteName(name) + ";\nCREATE DATABASE " + QuoteName(name) +
                      " CHARACTER SET utf8mb4;\n");
}

std::string MariaDbServer::RunSql(const std::string& database, const std::string& sql) {
  static std::atomic<int> counter{0};
  const fs::path script = fs::path(folder_) / ("run-" + std::to_string(++counter) + ".sql");
  std::ofstream(script, std::ios::binary) << sql;
  try {
    std::string out = RunScript(database, script.string());
    fs::remove(script);
    return out;
  } catch (...) {
    std::error_code ec;
    fs::remove(script, ec);
    throw;
  }
}

std::string MariaDbServer::RunScript(const std::string& database, const std::string& path) {
  std::vector<std::string> argv = {"mariadb", "--no-defaults", "--protocol=TCP", "-h", "127.0.0.1",
                                   "-P", std::to_string(port_), "-u", "root", "--password=",
                                   "--default-character-set=utf8mb4", "--batch", "--skip-column-names",
                                   database};
  ProcessResult r = RunProcess(argv, {}, path);
  if (r.status != 0) throw std::runtime_error("mariadb in database '" + database + "': " + Describe(argv, r));
  return r.out;
}

}  // namespace mv::test
