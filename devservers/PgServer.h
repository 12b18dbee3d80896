#pragma once
#include <string>

#include "devservers/TestServer.h"

namespace mv::dev {

// A real PostgreSQL server for the tests that need schemas, owners and a driver other than
// SQLite, and for mervale-bench. One server per process, started on first use in a fresh
// temporary folder on a free loopback port, and stopped (its folder removed) when the process
// ends; or, when $MERVALE_DEVSERVER_STATE_DIR is set, the shared server that its file
// postgresql.state describes (see StartShared). When run as root the server runs as the
// `postgres` user, because PostgreSQL refuses root.
//
// Every failure (binaries missing, initdb or start-up failing, a psql error) throws
// std::runtime_error with the tool's own output, so a test that needs the server fails
// with a readable reason instead of being skipped.
class PgServer : public TestServer {
 public:
  // The server of this process; starts it on the first call. A failed start is remembered
  // and every later call fails at once with the same message.
  static PgServer& Instance();

  // Stops the server and removes its folder; nothing happens when it never started, and a
  // shared server keeps running. Called at the end of the test run; a later Instance() starts
  // a new server.
  static void Shutdown();

  // Starts a server that outlives this process (a CTest fixture's setup) and writes what
  // Instance() in other processes needs to use it (port, pid, folder, user, password,
  // binaries) to postgresql.state in the folder stateDir. Returns Description().
  static std::string StartShared(const std::string& stateDir);
  // Stops that server, removes its folder and its state file; nothing happens without one.
  static void StopShared(const std::string& stateDir);

  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }

  // A driver-only connect string for psqlODBC ("PostgreSQL ANSI", or the driver named by
  // $MERVALE_PG_ODBC_DRIVER: a registered name in braces or a path to the .so).
  std::string ConnectString(const std::string& database) const;

  // A new, empty database owned by the test role; an existing one of that name (left by an
  // earlier test) is dropped first, so every test starts from nothing.
  void CreateDatabase(const std::string& name);
  void DropDatabase(const std::string& name);

  // Runs SQL through psql in `database` and returns what it prints: rows only, unaligned,
  // fields separated by "|", one row per line. Statements run one by one in autocommit
  // mode; the first error stops the script and throws.
  using TestServer::RunSql;
  std::string RunScript(const std::string& database, const std::string& path) override;

 private:
  PgServer();
  void Start() override;
  void SaveState(State& state) const override;
  void LoadState(const State& state) override;

  std::string binDir_;  // folder of initdb, postgres and psql
  std::string user_ = "mervale";
  std::string password_;
};

}  // namespace mv::dev
