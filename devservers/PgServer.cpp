#include "devservers/PgServer.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>

#include "devservers/Process.h"

namespace fs = std::filesystem;

namespace mv::dev {
namespace {

const char kStateFile[] = "postgresql.state";
TestServer::Slot g_slot("PostgreSQL", kStateFile);

// initdb and postgres refuse to run as root; as root they run as `postgres` instead.
std::vector<std::string> AsServerUser(std::vector<std::string> argv, bool pdeathsig = false) {
  std::vector<std::string> wrapped = {"setpriv", "--reuid=postgres", "--regid=postgres", "--init-groups"};
  // setpriv drops the parent-death signal when it changes credentials; it can set it again.
  if (pdeathsig) wrapped.push_back("--pdeathsig=INT");
  wrapped.push_back("--");
  wrapped.insert(wrapped.end(), argv.begin(), argv.end());
  return wrapped;
}

bool HasServer(const fs::path& dir) {
  return access((dir / "initdb").c_str(), X_OK) == 0 && access((dir / "postgres").c_str(), X_OK) == 0 &&
         access((dir / "psql").c_str(), X_OK) == 0;
}

std::string FindBinDir() {
  if (const char* env = std::getenv("MERVALE_PG_BIN"); env && *env) {
    if (HasServer(env)) return env;
    throw std::runtime_error(std::string("MERVALE_PG_BIN=") + env + " holds no initdb, postgres and psql");
  }
  const fs::path root = "/usr/lib/postgresql";
  if (HasServer(root / "15" / "bin")) return (root / "15" / "bin").string();
  // Any other installed major version will do; take the newest.
  std::vector<int> versions;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && std::all_of(name.begin(), name.end(), ::isdigit) && HasServer(entry.path() / "bin")) {
      versions.push_back(std::stoi(name));
    }
  }
  if (!versions.empty()) {
    return (root / std::to_string(*std::max_element(versions.begin(), versions.end())) / "bin").string();
  }
  throw std::runtime_error(
      "PostgreSQL server binaries not found in /usr/lib/postgresql/15/bin; install the "
      "postgresql package (scripts/install-deps.sh) or set MERVALE_PG_BIN");
}

std::string RandomPassword() {
  std::random_device rd;
  std::string s = "mv";
  const char* hex = "0123456789abcdef";
  for (int i = 0; i < 24; ++i) s += hex[rd() % 16];
  return s;
}

}  // namespace

PgServer& PgServer::Instance() {
  return static_cast<PgServer&>(g_slot.Get([] { return std::unique_ptr<TestServer>(new PgServer()); }));
}

void PgServer::Shutdown() { g_slot.Reset(); }

std::string PgServer::StartShared(const std::string& stateDir) {
  PgServer server;
  server.Share((fs::path(stateDir) / kStateFile).string());
  return server.Description();
}

void PgServer::StopShared(const std::string& stateDir) { StopSharedAt((fs::path(stateDir) / kStateFile).string()); }

// SIGINT is the fast shutdown: open sessions are cut, nothing is waited for.
PgServer::PgServer() : TestServer("PostgreSQL", SIGINT), password_(RandomPassword()) {}

void PgServer::SaveState(State& state) const {
  state["user"] = user_;
  state["password"] = password_;
  state["bin"] = binDir_;
}

void PgServer::LoadState(const State& state) {
  for (const char* name : {"user", "password", "bin"}) {
    if (!state.count(name) || state.at(name).empty())
      throw std::runtime_error(std::string("the state gives no ") + name);
  }
  user_ = state.at("user");
  password_ = state.at("password");
  binDir_ = state.at("bin");
}

void PgServer::Start() {
  binDir_ = FindBinDir();
  uid_t uid = 0;
  gid_t gid = 0;
  if (IsRoot()) {
    const passwd* pw = getpwnam("postgres");
    if (!pw) {
      throw std::runtime_error(
          "running as root, but there is no 'postgres' user to run the "
          "server as (install the postgresql package)");
    }
    uid = pw->pw_uid;
    gid = pw->pw_gid;
  }

  // As root the folder must be reachable by `postgres`, so it lives in /tmp rather than in
  // a TMPDIR that may sit inside root's home.
  MakeFolder(IsRoot() ? "/tmp" : fs::temp_directory_path().string(), "mervale-pg-");
  const fs::path folder = folder_;
  const fs::path data = folder / "data";
  const fs::path pwfile = folder / "pwfile";
  WriteFile(pwfile.string(), password_ + "\n");
  chmod(pwfile.c_str(), 0600);
  if (IsRoot() && (chown(folder.c_str(), uid, gid) != 0 || chown(pwfile.c_str(), uid, gid) != 0)) {
    throw std::runtime_error("chown " + folder.string() + ": " + std::strerror(errno));
  }

  // The test role is the bootstrap superuser, so it can create databases and schemas.
  std::vector<std::string> initdb = {
      binDir_ + "/initdb",    "-D", data.string(), "-U",         user_,       "--pwfile=" + pwfile.string(),
      "--auth=scram-sha-256", "-E", "UTF8",        "--locale=C", "--no-sync", "--no-instructions"};
  if (IsRoot()) initdb = AsServerUser(initdb);
  ProcessResult made = RunProcess(initdb, {"LC_ALL=C"}, {}, folder_);
  fs::remove(pwfile);
  if (made.status != 0) throw std::runtime_error(Describe(initdb, made));

  // The parent-death signal belongs to the thread that forks; set it only from the main
  // thread, whose end is the end of the test process, and never for a shared server.
  const bool pdeathsig = !shared_ && gettid() == getpid();
  Launch launch;
  launch.argv = [&](int port) {
    std::vector<std::string> argv = {binDir_ + "/postgres", "-D", data.string(), "-p", std::to_string(port), "-c",
                                     "listen_addresses=127.0.0.1", "-c", "unix_socket_directories=",
                                     // Throw-away data: durability only costs time.
                                     "-c", "fsync=off", "-c", "synchronous_commit=off", "-c", "full_page_writes=off",
                                     "-c", "max_connections=40"};
    return IsRoot() ? AsServerUser(argv, pdeathsig) : argv;
  };
  launch.ready = [this] {
    return RunProcess({binDir_ + "/pg_isready", "-q", "-h", "127.0.0.1", "-p", std::to_string(port_), "-t", "1"})
               .status == 0;
  };
  launch.outputLog = launch.log = (folder / "server.log").string();
  launch.portTaken = {"could not bind", "already in use"};
  launch.start = {{"LC_ALL=C"}, folder_, !IsRoot() && pdeathsig ? SIGINT : 0};
  StartServer(launch);
}

std::string PgServer::ConnectString(const std::string& database) const {
  const char* driver = std::getenv("MERVALE_PG_ODBC_DRIVER");
  return "DRIVER=" + std::string(driver && *driver ? driver : "{PostgreSQL ANSI}") +
         ";SERVER=127.0.0.1;PORT=" + std::to_string(port_) + ";DATABASE=" + database + ";UID=" + user_ +
         ";PWD=" + password_ + ";";
}

void PgServer::CreateDatabase(const std::string& name) {
  // FORCE: a connection a failed test left open must not keep the old database alive.
  RunSql("postgres", "DROP DATABASE IF EXISTS " + QuoteName(name, '"') + " WITH (FORCE);\n" + "CREATE DATABASE " +
                         QuoteName(name, '"') + ";\n");
}

void PgServer::DropDatabase(const std::string& name) {
  RunSql("postgres", "DROP DATABASE IF EXISTS " + QuoteName(name, '"') + " WITH (FORCE);\n");
}

std::string PgServer::RunScript(const std::string& database, const std::string& path) {
  if (access(path.c_str(), R_OK) != 0) {
    throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  }
  std::vector<std::string> argv = {binDir_ + "/psql",
                                   "-X",
                                   "-q",
                                   "-A",
                                   "-t",
                                   "-v",
                                   "ON_ERROR_STOP=1",
                                   "-h",
                                   "127.0.0.1",
                                   "-p",
                                   std::to_string(port_),
                                   "-U",
                                   user_,
                                   "-d",
                                   database,
                                   "-f",
                                   path};
  ProcessResult r =
      RunProcess(argv, {"PGPASSWORD=" + password_, "PGCONNECT_TIMEOUT=10", "PGOPTIONS=-c client_min_messages=warning"});
  if (r.status != 0) throw std::runtime_error("psql in database '" + database + "': " + Describe(argv, r));
  return r.out;
}

}  // namespace mv::dev
