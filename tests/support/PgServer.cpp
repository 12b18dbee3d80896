#include "support/PgServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace fs = std::filesystem;

namespace mv::test {
namespace {

std::mutex g_mutex;
std::unique_ptr<PgServer> g_server;  // its destructor stops the server at process exit
std::string g_failure;               // why the start failed; later calls fail the same way

struct Outcome {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

struct ChildSetup {
  std::string cwd;
  bool pdeathsig = false;
};

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string Which(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  throw std::runtime_error("'" + name + "' is not on PATH");
}

// The child gets our environment without any PG* variable (a developer's PGHOST or
// PGPASSWORD must not redirect the tests), plus `extra`.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "PG", 2) != 0) env.emplace_back(*e);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (auto& s : strings) p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

// Everything the child needs is prepared before fork(): other test threads may hold locks
// that the child must not touch, so between fork and exec only async-signal-safe calls run.
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, const ChildSetup& setup,
            int outFd, int errFd) {
  argv[0] = Which(argv[0]);
  std::vector<char*> args = Pointers(argv);
  std::vector<char*> envp = Pointers(env);
  int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (devNull < 0) throw std::runtime_error(SystemError("open /dev/null"));
  pid_t pid = fork();
  if (pid < 0) {
    close(devNull);
    throw std::runtime_error(SystemError("fork"));
  }
  if (pid == 0) {
    if (setup.pdeathsig) prctl(PR_SET_PDEATHSIG, SIGINT);
    dup2(devNull, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    // Inherited descriptors (other tests' sockets, other children's pipes) would keep
    // pipes open and connections alive as long as the server lives.
    close_range(3, ~0U, 0);
    if (!setup.cwd.empty() && chdir(setup.cwd.c_str()) != 0) _exit(126);
    execve(args[0], args.data(), envp.data());
    static const char msg[] = "exec failed\n";
    [[maybe_unused]] ssize_t n = write(2, msg, sizeof msg - 1);
    _exit(127);
  }
  close(devNull);
  return pid;
}

int WaitStatus(pid_t pid) {
  int raw = 0;
  while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

// Runs a command to its end and collects its standard output and error separately.
Outcome Run(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            const std::string& cwd = "") {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error(SystemError("pipe"));
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    throw std::runtime_error(SystemError("pipe"));
  }
  pid_t pid;
  try {
    pid = Spawn(argv, ChildEnvironment(extraEnv), ChildSetup{cwd, false}, out[1], err[1]);
  } catch (...) {
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    throw;
  }
  close(out[1]);
  close(err[1]);
  Outcome result;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  char buffer[8192];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (auto& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  result.status = WaitStatus(pid);
  return result;
}

std::string Describe(const std::vector<std::string>& argv, const Outcome& o) {
  std::string text = fs::path(argv[0]).filename().string() + " failed (status " +
                     std::to_string(o.status) + ")";
  std::string output = o.err + o.out;
  if (!output.empty()) text += ":\n" + output;
  return text;
}

bool IsRoot() { return geteuid() == 0; }

// initdb and postgres refuse to run as root; as root they run as `postgres` instead.
std::vector<std::string> AsServerUser(std::vector<std::string> argv, bool pdeathsig = false) {
  if (!IsRoot()) return argv;
  std::vector<std::string> wrapped = {"setpriv", "--reuid=postgres", "--regid=postgres",
                                      "--init-groups"};
  // setpriv drops the parent-death signal when it changes credentials; it can set it again.
  if (pdeathsig) wrapped.push_back("--pdeathsig=INT");
  wrapped.push_back("--");
  wrapped.insert(wrapped.end(), argv.begin(), argv.end());
  return wrapped;
}

bool HasServer(const fs::path& dir) {
  return access((dir / "initdb").c_str(), X_OK) == 0 &&
         access((dir / "postgres").c_str(), X_OK) == 0 &&
         access((dir / "psql").c_str(), X_OK) == 0;
}

std::string FindBinDir() {
  if (const char* env = std::getenv("MERVALE_PG_BIN"); env && *env) {
    if (HasServer(env)) return env;
    throw std::runtime_error(std::string("MERVALE_PG_BIN=") + env +
                             " holds no initdb, postgres and psql");
  }
  const fs::path root = "/usr/lib/postgresql";
  if (HasServer(root / "15" / "bin")) return (root / "15" / "bin").string();
  // Any other installed major version will do; take the newest.
  std::vector<int> versions;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && std::all_of(name.begin(), name.end(), ::isdigit) &&
        HasServer(entry.path() / "bin")) {
      versions.push_back(std::stoi(name));
    }
  }
  if (!versions.empty()) {
    return (root / std::to_string(*std::max_element(versions.begin(), versions.end())) / "bin")
        .string();
  }
  throw std::runtime_error(
      "PostgreSQL server binaries not found in /usr/lib/postgresql/15/bin; install the "
      "postgresql package (scripts/install-deps.sh) or set MERVALE_PG_BIN");
}

int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error(SystemError("socket"));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::string e = SystemError("bind 127.0.0.1:0");
    close(fd);
    throw std::runtime_error(e);
  }
  close(fd);
  return ntohs(addr.sin_port);
}

std::string RandomPassword() {
  std::random_device rd;
  std::string s = "mv";
  const char* hex = "0123456789abcdef";
  for (int i = 0; i < 24; ++i) s += hex[rd() % 16];
  return s;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string QuoteIdentifier(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

bool Exited(pid_t pid, int* status) {
  int raw = 0;
  pid_t r = waitpid(pid, &raw, WNOHANG);
  if (r != pid) return false;
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return true;
}

// Stops the server together with the test run, before static destruction begins.
class PgServerEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { PgServer::Shutdown(); }
};
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new PgServerEnvironment);

}  // namespace

PgServer& PgServer::Instance() {
  std::lock_guard lock(g_mutex);
  if (g_server) return *g_server;
  if (!g_failure.empty()) throw std::runtime_error(g_failure);
  try {
    std::unique_ptr<PgServer> server(new PgServer());
    server->Start();
    g_server = std::move(server);
  } catch (const std::exception& e) {
    g_failure = std::string("PostgreSQL test server could not start: ") + e.what();
    throw std::runtime_error(g_failure);
  }
  return *g_server;
}

void PgServer::Shutdown() {
  std::lock_guard lock(g_mutex);
  g_server.reset();
}

PgServer::PgServer() : password_(RandomPassword()) {}

PgServer::~PgServer() { Stop(); }

void PgServer::Start() {
  binDir_ = FindBinDir();
  uid_t uid = 0;
  gid_t gid = 0;
  if (IsRoot()) {
    const passwd* pw = getpwnam("postgres");
    if (!pw) {
      throw std::runtime_error("running as root, but there is no 'postgres' user to run the "
                               "server as (install the postgresql package)");
    }
    uid = pw->pw_uid;
    gid = pw->pw_gid;
  }

  // As root the folder must be reachable by `postgres`, so it lives in /tmp rather than in
  // a TMPDIR that may sit inside root's home.
  fs::path base = IsRoot() ? fs::path("/tmp") : fs::temp_directory_path();
  std::string templ = (base / "mervale-pg-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error(SystemError("mkdtemp in " + base.string()));
  folder_ = templ;
  const fs::path folder = folder_;
  const fs::path data = folder / "data";
  const fs::path pwfile = folder / "pwfile";
  WriteFile(pwfile, password_ + "\n");
  chmod(pwfile.c_str(), 0600);
  if (IsRoot() && (chown(folder.c_str(), uid, gid) != 0 || chown(pwfile.c_str(), uid, gid) != 0)) {
    throw std::runtime_error(SystemError("chown " + folder.string()));
  }

  // The test role is the bootstrap superuser, so it can create databases and schemas.
  std::vector<std::string> initdb = AsServerUser(
      {binDir_ + "/initdb", "-D", data.string(), "-U", user_, "--pwfile=" + pwfile.string(),
       "--auth=scram-sha-256", "-E", "UTF8", "--locale=C", "--no-sync", "--no-instructions"});
  Outcome made = Run(initdb, {"LC_ALL=C"}, folder_);
  fs::remove(pwfile);
  if (made.status != 0) throw std::runtime_error(Describe(initdb, made));

  const fs::path log = folder / "server.log";
  // The parent-death signal belongs to the thread that forks; set it only from the main
  // thread, whose end is the end of the test process.
  const bool pdeathsig = gettid() == getpid();
  std::string lastLog;
  for (int attempt = 0; attempt < 3; ++attempt) {
    // The port can be taken between our probe and the server's bind; then take another.
    port_ = FreeLoopbackPort();
    std::vector<std::string> argv = {binDir_ + "/postgres",
                                     "-D", data.string(),
                                     "-p", std::to_string(port_),
                                     "-c", "listen_addresses=127.0.0.1",
                                     "-c", "unix_socket_directories=",
                                     // Throw-away data: durability only costs time.
                                     "-c", "fsync=off",
                                     "-c", "synchronous_commit=off",
                                     "-c", "full_page_writes=off",
                                     "-c", "max_connections=40"};
    if (IsRoot()) argv = AsServerUser(argv, pdeathsig);
    int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (logFd < 0) throw std::runtime_error(SystemError("open " + log.string()));
    try {
      pid_ = Spawn(argv, ChildEnvironment({"LC_ALL=C"}),
                   ChildSetup{folder_, !IsRoot() && pdeathsig}, logFd, logFd);
    } catch (...) {
      close(logFd);
      throw;
    }
    close(logFd);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool exited = false;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (Exited(pid_, &status)) {
        pid_ = -1;
        exited = true;
        break;
      }
      Outcome ready = Run({binDir_ + "/pg_isready", "-q", "-h", "127.0.0.1", "-p",
                           std::to_string(port_), "-t", "1"},
                          {});
      if (ready.status == 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    lastLog = ReadFile(log);
    if (!exited) {
      Stop();
      throw std::runtime_error("the server did not accept connections within 60 s; its log:\n" +
                               lastLog);
    }
    if (lastLog.find("could not bind") == std::string::npos &&
        lastLog.find("already in use") == std::string::npos) {
      break;
    }
  }
  throw std::runtime_error("the server stopped during start-up; its log:\n" + lastLog);
}

void PgServer::Stop() noexcept {
  if (pid_ > 0) {
    // SIGINT is the fast shutdown: open sessions are cut, nothing is waited for.
    kill(pid_, SIGINT);
    int status = 0;
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
      gone = Exited(pid_, &status);
      if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!gone) {
      kill(pid_, SIGKILL);
      WaitStatus(pid_);
    }
    pid_ = -1;
  }
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    folder_.clear();
  }
}

std::string PgServer::ConnectString(const std::string& database) const {
  const char* driver = std::getenv("MERVALE_PG_ODBC_DRIVER");
  return "DRIVER=" + std::string(driver && *driver ? driver : "{PostgreSQL ANSI}") +
         ";SERVER=127.0.0.1;PORT=" + std::to_string(port_) + ";DATABASE=" + database +
         ";UID=" + user_ + ";PWD=" + password_ + ";";
}

void PgServer::CreateDatabase(const std::string& name) {
  // FORCE: a connection a failed test left open must not keep the old database alive.
  RunSql("postgres", "DROP DATABASE IF EXISTS " + QuoteIdentifier(name) + " WITH (FORCE);\n" +
                         "CREATE DATABASE " + QuoteIdentifier(name) + ";\n");
}

void PgServer::DropDatabase(const std::string& name) {
  RunSql("postgres", "DROP DATABASE IF EXISTS " + QuoteIdentifier(name) + " WITH (FORCE);\n");
}

std::string PgServer::RunSql(const std::string& database, const std::string& sql) {
  static std::atomic<int> counter{0};
  const fs::path script = fs::path(folder_) / ("run-" + std::to_string(++counter) + ".sql");
  WriteFile(script, sql);
  try {
    std::string out = Psql(database, script.string());
    fs::remove(script);
    return out;
  } catch (...) {
    std::error_code ec;
    fs::remove(script, ec);
    throw;
  }
}

std::string PgServer::RunScript(const std::string& database, const std::string& path) {
  if (access(path.c_str(), R_OK) != 0) throw std::runtime_error(SystemError("cannot read " + path));
  return Psql(database, path);
}

std::string PgServer::Psql(const std::string& database, const std::string& scriptPath) {
  std::vector<std::string> argv = {binDir_ + "/psql", "-X", "-q", "-A", "-t",
                                   "-v", "ON_ERROR_STOP=1",
                                   "-h", "127.0.0.1", "-p", std::to_string(port_),
                                   "-U", user_, "-d", database, "-f", scriptPath};
  Outcome o = Run(argv, {"PGPASSWORD=" + password_, "PGCONNECT_TIMEOUT=10",
                         "PGOPTIONS=-c client_min_messages=warning"});
  if (o.status != 0) {
    throw std::runtime_error("psql in database '" + database + "': " + Describe(argv, o));
  }
  return o.out;
}

}  // namespace mv::test
