#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/SettingsStore.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/RunController.h"
#include "run/Scripters.h"
#include "support/ScriptedHost.h"

namespace mv::test {

// A run owner with a recording host, its own settings file and one profile ("Default", the
// built-in defaults without substitutions unless a test adds them), connected to whatever
// a test names: the test ODBC driver with a fixture, SQLite or PostgreSQL.
class RunHarness {
 public:
  RunHarness() {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("mv-run-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    settings = std::make_unique<SettingsStore>((dir_ / "settings.ini").string());
    owner = std::make_unique<RunController>(host, *settings, dir_.string());
    Profile p;
    SetBuiltInDefaults(p);
    p.s_Name = "Default";
    owner->session().profiles.Append(p);
    owner->session().opts.s_WorkingProfile = "Default";
  }
  ~RunHarness() {
    owner.reset();
    std::filesystem::remove_all(dir_);
  }

  Profile& profile() { return owner->session().profiles[0]; }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Writes a fixture for the test driver (fields separated by tabs) and connects to it.
  DbConnection& ConnectFixture(const std::string& fixture, const std::string& extra = {}, const std::string& owner = {},
                               const std::string& catalogFlag = "0") {
    const std::string path = Path("fixture.txt");
    std::ofstream(path, std::ios::binary) << fixture;
    return Connect("DRIVER=" MV_TESTDRIVER_PATH ";FIXTURE=" + path + extra, owner, catalogFlag);
  }

  DbConnection& Connect(const std::string& connectString, const std::string& ownerName = {},
                        const std::string& catalogFlag = "0") {
    owner->ReplaceConnection(DbConnection::ConnectWithString(host, connectString, ownerName, catalogFlag));
    return *owner->session().connection.get();
  }

  // Runs a scripting run to its end and returns the script text.
  std::string Run() {
    host.window.Empty();
    if (!owner->StartRun()) return "<not started>";
    owner->Wait();
    return host.window.WholeText();
  }

  // The tables of the last run with their kept columns, and its SELECT for one of them.
  std::vector<RunTable>& Tables() {
    static std::vector<RunTable> none;
    return owner->session().lastRun.get() ? owner->session().lastRun.get()->tables : none;
  }
  SelectParts Select(const RunTable& t) { return BuildSelect(*owner->session().lastRun.get(), t); }

  ScriptedHost host;
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<RunController> owner;

 private:
  std::filesystem::path dir_;
};

// The lines of a script (split at "\r\n"; the last piece may be partial).
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t p = text.find("\r\n", start);
    if (p == std::string::npos) {
      out.push_back(text.substr(start));
      return out;
    }
    out.push_back(text.substr(start, p - start));
    start = p + 2;
  }
}

}  // namespace mv::test
