#include "devservers/TestServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace mv::dev {
namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error(SystemError("socket"));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A state file: one "name=value" per line.
std::map<std::string, std::string> ReadState(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error(SystemError("cannot read " + path));
  std::map<std::string, std::string> state;
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) state[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return state;
}

// Written beside its place and renamed over it, so a reader never sees half a file. Only the
// owner may read it: it holds the server's password.
void WriteState(const std::string& path, const std::map<std::string, std::string>& state) {
  std::string text;
  for (const auto& [name, value] : state) text += name + "=" + value + "\n";
  const std::string temporary = path + ".new-" + std::to_string(getpid());
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error(SystemError("cannot write " + temporary));
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string e = SystemError("cannot write " + path);
    unlink(temporary.c_str());
    throw std::runtime_error(e);
  }
}

const std::string& Text(const std::map<std::string, std::string>& state, const std::string& name,
                        const std::string& path) {
  const auto it = state.find(name);
  if (it == state.end() || it->second.empty()) throw std::runtime_error(path + " gives no " + name);
  return it->second;
}

unsigned long long Number(const std::map<std::string, std::string>& state, const std::string& name,
                          const std::string& path) {
  const std::string& text = Text(state, name, path);
  try {
    return std::stoull(text);
  } catch (const std::exception&) {
    throw std::runtime_error(path + " gives " + name + "=" + text + ", not a number");
  }
}

}  // namespace

TestServer::Slot::Slot(std::string kind, std::string stateFile)
    : kind_(std::move(kind)), stateFile_(std::move(stateFile)) {}

TestServer& TestServer::Slot::Get(const std::function<std::unique_ptr<TestServer>()>& make) {
  std::lock_guard lock(mutex_);
  if (server_) return *server_;
  if (!failure_.empty()) throw std::runtime_error(failure_);
  if (const char* none = std::getenv(kNoServerVariable); none && *none) {
    throw std::runtime_error("this test uses the " + kind_ +
                             " test server but is registered as needing none: add it to the server "
                             "tests in tests/CMakeLists.txt");
  }
  const char* stateDir = std::getenv(kStateDirVariable);
  const bool shared = stateDir && *stateDir;
  try {
    std::unique_ptr<TestServer> server = make();
    if (shared) {
      server->Attach((fs::path(stateDir) / stateFile_).string());
    } else {
      server->Start();
    }
    server_ = std::move(server);
  } catch (const std::exception& e) {
    failure_ = shared ? "the shared " + kind_ + " test server ($" + kStateDirVariable + ") cannot be used: " + e.what()
                      : kind_ + " test server could not start: " + e.what();
    throw std::runtime_error(failure_);
  }
  return *server_;
}

void TestServer::Slot::Reset() {
  std::lock_guard lock(mutex_);
  server_.reset();
}

TestServer::~TestServer() { Stop(); }

void TestServer::Share(const std::string& statePath) {
  std::error_code ec;
  if (fs::exists(statePath, ec)) {
    // Left by an earlier run: stopped, unless the process that asked for it still runs.
    const State old = ReadState(statePath);
    const pid_t owner = static_cast<pid_t>(Number(old, "owner", statePath));
    if (owner != getppid() && ProcessStartTime(owner) == Number(old, "owner-start", statePath)) {
      throw std::runtime_error(statePath + " describes a server that process " + std::to_string(owner) +
                               " still uses (another ctest run in this build folder?); stop it first with: "
                               "mervale-devserver stop " +
                               statePath);
    }
    StopSharedAt(statePath);
  }
  fs::create_directories(fs::path(statePath).parent_path());
  shared_ = true;
  Start();
  // The owner is the process that asked for the server: ctest, or a developer's shell.
  State state = {{"kind", kind_},
                 {"port", std::to_string(port_)},
                 {"pid", std::to_string(pid_)},
                 {"pid-start", std::to_string(ProcessStartTime(pid_))},
                 {"folder", folder_},
                 {"stop-signal", std::to_string(stopSignal_)},
                 {"owner", std::to_string(getppid())},
                 {"owner-start", std::to_string(ProcessStartTime(getppid()))}};
  SaveState(state);
  WriteState(statePath, state);
  owned_ = false;
}

void TestServer::Attach(const std::string& statePath) {
  // Whatever goes wrong here, the server stays as it is.
  owned_ = false;
  const State state = ReadState(statePath);
  if (Text(state, "kind", statePath) != kind_) {
    throw std::runtime_error(statePath + " describes a " + state.at("kind") + " server, not " + kind_);
  }
  port_ = static_cast<int>(Number(state, "port", statePath));
  pid_ = static_cast<pid_t>(Number(state, "pid", statePath));
  folder_ = Text(state, "folder", statePath);
  if (ProcessStartTime(pid_) != Number(state, "pid-start", statePath)) {
    throw std::runtime_error("the server that " + statePath + " describes (pid " + std::to_string(pid_) +
                             ") is not running");
  }
  LoadState(state);
}

void TestServer::StopSharedAt(const std::string& statePath) {
  std::error_code ec;
  if (!fs::exists(statePath, ec)) return;
  const State state = ReadState(statePath);
  // Often run as root: remove only a folder this library made, whatever a damaged file says.
  const fs::path folder = Text(state, "folder", statePath);
  if (!folder.is_absolute() || folder.filename().string().rfind("mervale-", 0) != 0) {
    throw std::runtime_error(statePath + " names " + folder.string() + ", which is no server folder of ours");
  }
  const pid_t pid = static_cast<pid_t>(Number(state, "pid", statePath));
  if (!StopOtherProcess(pid, Number(state, "pid-start", statePath), 15000,
                        static_cast<int>(Number(state, "stop-signal", statePath)))) {
    throw std::runtime_error("the server that " + statePath + " describes (pid " + std::to_string(pid) +
                             ") did not stop");
  }
  fs::remove_all(folder, ec);
  if (ec) throw std::runtime_error("cannot remove " + folder.string() + ": " + ec.message());
  fs::remove(statePath);
}

std::string TestServer::Description() const {
  return kind_ + " server on 127.0.0.1:" + std::to_string(port_) + " (pid " + std::to_string(pid_) + ", folder " +
         folder_ + ")";
}

std::string TestServer::RunSql(const std::string& database, const std::string& sql) {
  static std::atomic<int> counter{0};
  // Other processes may use the same server folder.
  const fs::path script =
      fs::path(folder_) / ("run-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".sql");
  WriteFile(script.string(), sql);
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

void TestServer::MakeFolder(const std::string& base, const std::string& prefix) {
  std::string templ = (fs::path(base) / (prefix + "XXXXXX")).string();
  if (!mkdtemp(templ.data())) throw std::runtime_error(SystemError("mkdtemp in " + base));
  folder_ = templ;
}

void TestServer::StartServer(const Launch& launch) {
  std::string lastLog;
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = FreeLoopbackPort();
    pid_ = StartProcess(launch.argv(port_), launch.outputLog, launch.start);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool ended = false;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (ProcessEnded(pid_, &status)) {
        pid_ = -1;
        ended = true;
        break;
      }
      if (launch.ready()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    lastLog = ReadFile(launch.log);
    if (!ended) {
      Stop();
      throw std::runtime_error("the server did not accept connections within 60 s; its log:\n" + lastLog);
    }
    // The port can be taken between our probe and the server's bind; then take another.
    bool taken = false;
    for (const std::string& text : launch.portTaken) taken = taken || lastLog.find(text) != std::string::npos;
    if (!taken) break;
  }
  throw std::runtime_error("the server stopped during start-up; its log:\n" + lastLog);
}

void TestServer::Stop() noexcept {
  if (!owned_) return;
  if (pid_ > 0) {
    StopProcess(pid_, 15000, stopSignal_);
    pid_ = -1;
  }
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    folder_.clear();
  }
}

bool TestServer::IsRoot() { return geteuid() == 0; }

void TestServer::WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string TestServer::QuoteName(const std::string& name, char mark) {
  std::string q(1, mark);
  for (char c : name) {
    if (c == mark) q += mark;
    q += c;
  }
  return q + mark;
}

}  // namespace mv::dev
