#pragma once
#include <sys/types.h>

#include <functional>
#include <map>
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
//
// A server can also be shared between processes (ctest runs every test case as a process of
// its own): one process starts it with Share, which writes a state file (port, pid, folder,
// credentials, binaries) into a state folder, and the others find that file through
// $MERVALE_DEVSERVER_STATE_DIR and use the server without owning it; StopSharedAt ends it.
inline constexpr char kStateDirVariable[] = "MERVALE_DEVSERVER_STATE_DIR";
// Set by ctest for the test cases registered as needing no server: a Get then fails at once
// instead of starting one, so a case that uses a server without saying so is found.
inline constexpr char kNoServerVariable[] = "MERVALE_DEVSERVER_NONE";

class TestServer {
 public:
  // The one server of a kind in a process: started by the first Get, stopped by Reset (the
  // tests call it from a GoogleTest environment when the run ends) or at process exit. When
  // $MERVALE_DEVSERVER_STATE_DIR is set, Get uses the shared server that the file `stateFile`
  // in that folder describes instead, and Reset leaves that server running. A failed start is
  // remembered and every later Get fails at once with the same message. With
  // $MERVALE_DEVSERVER_NONE set, Get fails without starting anything.
  class Slot {
   public:
    // kind ("PostgreSQL") is named in failures; stateFile is the name of its state file.
    Slot(std::string kind, std::string stateFile);
    TestServer& Get(const std::function<std::unique_ptr<TestServer>()>& make);
    void Reset();

   private:
    std::string kind_;
    std::string stateFile_;
    std::mutex mutex_;
    std::unique_ptr<TestServer> server_;
    std::string failure_;
  };

  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;
  virtual ~TestServer();

  int Port() const { return port_; }
  // "PostgreSQL server on 127.0.0.1:PORT (pid PID, folder FOLDER)", for messages.
  std::string Description() const;

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

  // What a state file holds, name by name.
  using State = std::map<std::string, std::string>;

  // kind: "PostgreSQL", as the Slot names it. stopSignal asks the server to shut down;
  // SIGKILL follows if it has not within 15 s.
  TestServer(std::string kind, int stopSignal) : kind_(std::move(kind)), stopSignal_(stopSignal) {}

  virtual void Start() = 0;
  // Starts the server for other processes: without a parent-death signal, so that it outlives
  // this one, and statePath then describes it (written whole or not at all). A server that an
  // interrupted run left at statePath is stopped first; one that a running process (another
  // ctest) still owns is not, and Share throws.
  void Share(const std::string& statePath);
  // Stops the shared server that statePath describes (if that process still runs), removes
  // its folder and the file. Nothing happens when there is no such file. Throws when the
  // server does not end or the file names no folder of ours.
  static void StopSharedAt(const std::string& statePath);
  // What a kind adds to the state file (user, password, binaries) and takes back from it.
  virtual void SaveState(State& state) const {}
  virtual void LoadState(const State& state) {}
  // Creates folder_ as a new folder in `base` whose name starts with `prefix`.
  void MakeFolder(const std::string& base, const std::string& prefix);
  // Starts the server on a free loopback port (port_, pid_) and waits up to 60 s for it.
  void StartServer(const Launch& launch);
  // Stops the server and removes folder_; nothing happens for what never started, or for a
  // shared server this process only uses.
  void Stop() noexcept;

  static bool IsRoot();
  static void WriteFile(const std::string& path, const std::string& text);
  // `name` between two `mark`s, a mark inside it doubled.
  static std::string QuoteName(const std::string& name, char mark);

  std::string folder_;
  int port_ = 0;
  pid_t pid_ = -1;
  bool shared_ = false;  // started by Share: no parent-death signal

 private:
  // Takes over the shared server that statePath describes, without owning it.
  void Attach(const std::string& statePath);

  std::string kind_;
  int stopSignal_;
  bool owned_ = true;  // this process stops the server and removes its folder
};

}  // namespace mv::dev
