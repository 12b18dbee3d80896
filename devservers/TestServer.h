#pragma once
#include <sys/types.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devservers/Process.h"

namespace mv::dev {

// What the throw-away database servers of the tests and the benchmark share: a temporary
// folder of their own, a server process on a free loopback port, the wait until it accepts
// connections, and the stop (folder removed) when the process is done with it. Failures throw
// std::runtime_error with the tool's own output, so a test that needs a server fails with a
// readable reason instead of being skipped.
class TestServer {
 public:
  // The one server of a kind in a process: started by the first Get, stopped by Reset (the
  // tests call it from a GoogleTest environment when the run ends) or at process exit. A
  // failed start is remembered and every later Get fails at once with the same message.
  class Slot {
   public:
    explicit Slot(std::string kind);  // "PostgreSQL": named when the start fails
    TestServer& Get(const std::function<std::unique_ptr<TestServer>()>& make);
    void Reset();

   private:
    std::string kind_;
    std::mutex mutex_;
    std::unique_ptr<TestServer> server_;
    std::string failure_;
  };

  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;
  virtual ~TestServer();

  int Port() const { return port_; }

  // Runs SQL as RunScript runs a file, through a script written to the server's folder.
  std::string RunSql(const std::string& database, const std::string& sql);
  virtual std::string RunScript(const std::string& database, const std::string& path) = 0;

 protected:
  // How StartServer starts the server process and tells that it is up.
  struct Launch {
    std::function<std::vector<std::string>(int port)> argv;
    std::function<bool()> ready;         // whether the server accepts connections yet
    std::string outputLog;               // the server's standard output and error
    std::string log;                     // shown when the start fails (may be outputLog)
    std::vector<std::string> portTaken;  // log text saying the port was taken after our probe
    StartOptions start;
  };

  // stopSignal asks the server to shut down; SIGKILL follows if it has not within 15 s.
  explicit TestServer(int stopSignal) : stopSignal_(stopSignal) {}

  virtual void Start() = 0;
  // Creates folder_ as a new folder in `base` whose name starts with `prefix`.
  void MakeFolder(const std::string& base, const std::string& prefix);
  // Starts the server on a free loopback port (port_, pid_) and waits up to 60 s for it.
  void StartServer(const Launch& launch);
  // Stops the server and removes folder_; nothing happens for what never started.
  void Stop() noexcept;

  static bool IsRoot();
  static void WriteFile(const std::string& path, const std::string& text);
  // `name` between two `mark`s, a mark inside it doubled.
  static std::string QuoteName(const std::string& name, char mark);

  std::string folder_;
  int port_ = 0;
  pid_t pid_ = -1;

 private:
  int stopSignal_;
};

}  // namespace mv::dev
