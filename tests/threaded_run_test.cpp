// The run controller under a host that behaves like a GUI: every worker call carried to a UI
// thread and waited for, commands given on that thread, the worker collected after RunEnded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "base/SettingsStore.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/RunController.h"
#include "support/ThreadedHost.h"

namespace mv {
namespace {

namespace fs = std::filesystem;
using test::ThreadedHost;

const std::string kDemoDb = MV_BINARY_DIR "/demo/demo.db";

std::string WithoutElapsed(const std::string& text) {
  return std::regex_replace(text, std::regex("Elapsed Time: [0-9:]+"), "Elapsed Time: -");
}

class ThreadedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mv-threaded-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    settings_ = std::make_unique<SettingsStore>((dir_ / "settings.ini").string());
  }
  void TearDown() override {
    host_.OnUi([&] { host_.owner.reset(); });
    fs::remove_all(dir_);
  }

  // A new owner on the UI thread, connected to the demo database.
  void MakeOwner() {
    host_.OnUi([&] {
      host_.owner = std::make_unique<RunController>(host_, *settings_, dir_.string());
      Profile p;
      SetBuiltInDefaults(p);
      p.s_Name = "Default";
      host_.owner->session().profiles.Append(p);
      host_.owner->ReplaceConnection(
          DbConnection::ConnectWithString(host_, "DRIVER=SQLite3;Database=" + kDemoDb, "", "0"));
      return 0;
    });
  }

  // Waits until `count` runs have ended; a deadlock shows as a failure, not a hang.
  bool WaitForRuns(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (host_.OnUi([&] { return host_.outcomes.size(); }) < count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  std::string Text() {
    return host_.OnUi([&] { return host_.window().WholeText(); });
  }

  fs::path dir_;
  std::unique_ptr<SettingsStore> settings_;
  ThreadedHost host_;
};

TEST_F(ThreadedRun, HundredsOfStartsPausesSkipsAndStopsNeitherDeadlockNorLoseText) {
  MakeOwner();
  ASSERT_TRUE(host_.OnUi([&] { return host_.owner->StartRun(); }));
  ASSERT_TRUE(WaitForRuns(1));
  const std::string baseline = WithoutElapsed(Text());
  ASSERT_NE(baseline.find("INSERT INTO"), std::string::npos);
  ASSERT_NE(baseline.find("End of Mervale"), std::string::npos);

  constexpr int kCycles = 240;
  int cycles = 0;
  for (int i = 0; i < kCycles; ++i) {
    const int scenario = i % 8;
    SCOPED_TRACE("cycle " + std::to_string(i) + ", scenario " + std::to_string(scenario));
    size_t ended = host_.OnUi([&] {
      host_.onTitle = nullptr;
      host_.onMessage = nullptr;
      host_.onEnded = nullptr;
      host_.messages.clear();
      return host_.outcomes.size();
    });
    bool destroyed = false;
    host_.OnUi([&] {
      RunController& o = *host_.owner;
      switch (scenario) {
        case 1:  // pause in the data phase; the test resumes below
          host_.onTitle = [&](const std::string& t) {
            if (t.rfind("Scripting Data", 0) == 0) o.PauseCommand();
          };
          break;
        case 2:
          host_.onTitle = [&](const std::string& t) {
            if (t.rfind("Scripting Data", 0) == 0) o.SkipCommand();
          };
          break;
        case 3:
          host_.onTitle = [&](const std::string& t) {
            if (t.rfind("Scripting Structures", 0) == 0) o.StopCommand(false);
          };
          break;
        case 4:  // stop while the finish message box is open
          host_.onMessage = [&](const std::string& m) {
            if (m == "Mervale has finished scripting the database") o.StopCommand(false);
          };
          break;
        case 5:
          host_.onTitle = [&](const std::string& t) {
            if (t.rfind("Analyzing Database", 0) == 0) {
              EXPECT_FALSE(o.StartRun());
            }
          };
          break;
        case 6:  // a new start as soon as the last one has ended
          host_.onEnded = [&](RunOutcome) {
            host_.onEnded = nullptr;
            EXPECT_TRUE(o.StartRun());
          };
          break;
        case 7:  // the window closes during a run: the owner goes on the UI thread
          host_.onTitle = [&](const std::string& t) {
            if (t.rfind("Scripting Data", 0) == 0 && host_.owner)
              host_.Post([&] {
                host_.owner.reset();
                destroyed = true;
              });
          };
          break;
        default:
          break;
      }
      return host_.owner->StartRun();
    });
    if (scenario == 1) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!host_.OnUi([&] { return host_.owner->Status().paused; }) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      // A title the worker sent before the pause must not overwrite it.
      EXPECT_EQ(host_.OnUi([&] { return host_.titles.back(); }), "Paused - Mervale");
      host_.OnUi([&] { host_.owner->ResumeCommand(); });
    }
    if (scenario == 7) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (!host_.OnUi([&] { return destroyed; })) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the owner was never destroyed";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      const std::string text = WithoutElapsed(Text());
      EXPECT_NE(text.find("Mervale Stopped ..."), std::string::npos);
      EXPECT_EQ(baseline.rfind(text.substr(0, text.find("\r\n\r\nREM  Mervale Stopped")), 0), 0u);
      MakeOwner();
      ++cycles;
      continue;
    }
    ASSERT_TRUE(WaitForRuns(ended + (scenario == 6 ? 2 : 1))) << "deadlock";
    const std::string text = WithoutElapsed(Text());
    const RunOutcome outcome = host_.OnUi([&] { return host_.outcomes.back(); });
    switch (scenario) {
      case 2:
        EXPECT_NE(text.find("Table Skipped ..."), std::string::npos);
        EXPECT_EQ(outcome, RunOutcome::Finished);
        break;
      case 3:
        EXPECT_EQ(text.substr(text.size() - 21), "Mervale Stopped ...\r\n");
        EXPECT_EQ(outcome, RunOutcome::Stopped);
        // What was written before the stop is the baseline's beginning: nothing lost on the way.
        EXPECT_EQ(baseline.rfind(text.substr(0, text.size() - 28), 0), 0u);
        break;
      case 5:
        EXPECT_EQ(text, baseline);
        EXPECT_EQ(host_.OnUi([&] { return host_.messages.front(); }).rfind("You cannot start another Mervale", 0), 0u);
        break;
      default:
        EXPECT_EQ(text, baseline);
        EXPECT_EQ(outcome, RunOutcome::Finished);
    }
    EXPECT_FALSE(host_.OnUi([&] { return host_.owner->Status().workerActive || host_.lastActive; }));
    ++cycles;
  }
  EXPECT_EQ(cycles, kCycles);
  EXPECT_FALSE(host_.OnUi([&] { return host_.wrongThread; }));
  std::printf("threaded host: %d start/stop cycles without a deadlock\n", cycles);
}

}  // namespace
}  // namespace mv
