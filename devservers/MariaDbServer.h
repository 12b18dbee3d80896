#pragma once
#include <csignal>
#include <string>

#include "devservers/TestServer.h"

namespace mv::dev {

// A real MariaDB server (Debian's mariadb-server) for the tests: one per test process,
// started on first use from a fresh data folder (mariadb-install-db) in a temporary folder,
// listening on a free loopback port only, and stopped (its folder removed) when the tests
// end; or, when $MERVALE_DEVSERVER_STATE_DIR is set, the shared server that its file
// mariadb.state describes (see StartShared). Its character set is utf8mb4. Root may log in
// from the loopback without a password; nothing else can reach the server. When the tests run
// as root the server runs as root too (--user=root), because everything it touches is the
// test's own temporary folder.
class MariaDbServer : public TestServer {
 public:
  static MariaDbServer& Instance();
  static void Shutdown();
  // Start and stop a server that outlives this process, as PgServer's do (mariadb.state).
  static std::string StartShared(const std::string& stateDir);
  static void StopShared(const std::string& stateDir);

  // A driver-only connect string for MariaDB Connector/ODBC ("MariaDB Unicode", or the driver
  // named by $MERVALE_MARIADB_ODBC_DRIVER), with the utf8mb4 character set.
  std::string ConnectString(const std::string& database) const;

  // A new, empty utf8mb4 database; one of that name is dropped first.
  void CreateDatabase(const std::string& name);

  // Runs SQL with the mariadb client in `database` and returns its output: rows only,
  // tab-separated, one per line. The first error stops it and throws.
  using TestServer::RunSql;
  // The same for a script file, as a user loads a script:
  //   mariadb --default-character-set=utf8mb4 DATABASE < script.sql
  std::string RunScript(const std::string& database, const std::string& path) override;

 private:
  MariaDbServer() : TestServer("MariaDB", SIGTERM) {}
  void Start() override;
};

}  // namespace mv::dev
