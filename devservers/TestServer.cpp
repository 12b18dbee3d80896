#include "devservers/TestServer.h"

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

}  // namespace

TestServer::Slot::Slot(std::string kind) : kind_(std::move(kind)) {}

TestServer& TestServer::Slot::Get(const std::function<std::unique_ptr<TestServer>()>& make) {
  std::lock_guard lock(mutex_);
  if (server_) return *server_;
  if (!failure_.empty()) throw std::runtime_error(failure_);
  try {
    std::unique_ptr<TestServer> server = make();
    server->Start();
    server_ = std::move(server);
  } catch (const std::exception& e) {
    failure_ = kind_ + " test server could not start: " + e.what();
    throw std::runtime_error(failure_);
  }
  return *server_;
}

void TestServer::Slot::Reset() {
  std::lock_guard lock(mutex_);
  server_.reset();
}

TestServer::~TestServer() { Stop(); }

std::string TestServer::RunSql(const std::string& database, const std::string& sql) {
  static std::atomic<int> counter{0};
  const fs::path script = fs::path(folder_) / ("run-" + std::to_string(++counter) + ".sql");
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
