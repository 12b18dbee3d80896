// The SQL library model: the folder scan with its limits, command numbers, statement files,
// the library folder setting and the commands that load and run an entry.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/SqlLibrary.h"
#include "run/LibraryCommands.h"
#include "support/RunHarness.h"

namespace mv::test {
namespace {

namespace fs = std::filesystem;

class SqlLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mv-lib-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  void File(const fs::path& p, const std::string& text = "SELECT 1") {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  static std::string Numbered(const char* prefix, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02d.sql", prefix, i);
    return name;
  }

  fs::path dir;
};

TEST_F(SqlLibraryTest, SixtyFilesListFortySixNumberedInNameOrder) {
  for (int i = 59; i >= 0; --i) File(dir / Numbered("q", i));
  SqlLibrary lib;
  lib.Rebuild(dir.string());
  // 45 added while the count is below the limit, then the match current at that moment.
  ASSERT_EQ(lib.Entries().size(), 46u);
  for (int i = 0; i < 46; ++i) {
    EXPECT_EQ(lib.Entries()[i].name, Numbered("q", i));
    EXPECT_EQ(lib.Entries()[i].command, SqlLibrary::kFirstCommand + i);
    EXPECT_FALSE(lib.Entries()[i].isFolder);
  }
  EXPECT_EQ(lib.PathFor(48046), (dir / "q45.sql").string());
  EXPECT_EQ(lib.PathFor(48047), "");
}

TEST_F(SqlLibraryTest, FilesOfFirstLevelFoldersShareTheCountAndDeeperFoldersAreLeftOut) {
  // Names sort byte-wise: upper case before lower case.
  File(dir / "Reports" / "b.sql");
  File(dir / "Reports" / "a.sql");
  File(dir / "Reports" / "Deeper" / "hidden.sql");
  fs::create_directories(dir / "Empty");
  File(dir / "z.sql");
  SqlLibrary lib;
  lib.Rebuild(dir.string());
  ASSERT_EQ(lib.Entries().size(), 3u);
  const LibraryEntry& empty = lib.Entries()[0];
  EXPECT_EQ(empty.name, "Empty");
  EXPECT_TRUE(empty.isFolder);
  EXPECT_TRUE(empty.files.empty());
  EXPECT_EQ(empty.command, SqlLibrary::kFolderMarker);
  const LibraryEntry& reports = lib.Entries()[1];
  ASSERT_EQ(reports.files.size(), 2u);
  EXPECT_EQ(reports.files[0].name, "a.sql");
  EXPECT_EQ(reports.files[0].command, 48001);
  EXPECT_EQ(reports.files[1].command, 48002);
  EXPECT_EQ(reports.command, SqlLibrary::kFolderMarker);
  EXPECT_EQ(lib.Entries()[2].name, "z.sql");
  EXPECT_EQ(lib.Entries()[2].command, 48003);
  EXPECT_EQ(lib.PathFor(48002), (dir / "Reports" / "b.sql").string());
  EXPECT_EQ(lib.PathFor(SqlLibrary::kFolderMarker), "");

  // A folder of 50 files reaches the limit inside it: 45 and its own final match, then the
  // top level adds its final match once more.
  fs::remove_all(dir);
  for (int i = 0; i < 50; ++i) File(dir / "A" / Numbered("f", i));
  for (int i = 0; i < 5; ++i) File(dir / Numbered("t", i));
  lib.Rebuild(dir.string());
  ASSERT_EQ(lib.Entries().size(), 2u);
  EXPECT_EQ(lib.Entries()[0].files.size(), 46u);
  EXPECT_EQ(lib.Entries()[0].files.back().name, "f45.sql");
  EXPECT_EQ(lib.Entries()[1].name, "t00.sql");
  EXPECT_EQ(lib.Entries()[1].command, 48047);

  // A missing folder gives no entries.
  lib.Rebuild((dir / "nowhere").string());
  EXPECT_TRUE(lib.Entries().empty());
}

TEST_F(SqlLibraryTest, StatementFilesReadTheSameWithWindowsOrUnixLineEnds) {
  File(dir / "unix.sql", "SELECT name\nFROM t\nWHERE a = 'x'");
  File(dir / "windows.sql", "SELECT name\r\nFROM t\r\nWHERE a = 'x'\r\n");
  std::string unix, windows;
  ASSERT_TRUE(SqlLibrary::ReadStatement((dir / "unix.sql").string(), unix));
  ASSERT_TRUE(SqlLibrary::ReadStatement((dir / "windows.sql").string(), windows));
  EXPECT_EQ(unix, "SELECT name\nFROM t\nWHERE a = 'x'\n");
  EXPECT_EQ(windows, unix);
  // A carriage return inside a line is text, not a line end.
  File(dir / "cr.sql", "a\rb\r\n");
  ASSERT_TRUE(SqlLibrary::ReadStatement((dir / "cr.sql").string(), unix));
  EXPECT_EQ(unix, "a\rb\n");
  EXPECT_FALSE(SqlLibrary::ReadStatement((dir / "missing.sql").string(), unix));
}

TEST_F(SqlLibraryTest, TheLibraryFolderSettingIsWrittenBackWhenMissing) {
  SettingsStore settings((dir / "settings.ini").string());
  EXPECT_EQ(SqlLibrary::LibraryFolder(settings, "/opt/mervale"), "/opt/mervale/SQL Library");
  EXPECT_EQ(settings.GetString("LibDir", "NOTFOUND"), "/opt/mervale/SQL Library");
  settings.WriteString("LibDir", "/srv/queries");
  EXPECT_EQ(SqlLibrary::LibraryFolder(settings, "/opt/mervale"), "/srv/queries");

  EXPECT_FALSE(SqlLibrary::AutoRun(settings));
  SqlLibrary::ToggleAutoRun(settings);
  EXPECT_EQ(settings.GetInt("LibAutoRun", -1), 1);
  SqlLibrary::ToggleAutoRun(settings);
  EXPECT_FALSE(SqlLibrary::AutoRun(settings));
}

// The view's commands, on the demo database.
TEST_F(SqlLibraryTest, OpeningAnEntryLoadsItAndRunsItOnlyWithAutoRun) {
  File(dir / "lib" / "cities.sql", "SELECT city\r\nFROM customers WHERE customer_id = 2\r\n");
  File(dir / "lib" / "gone.sql");
  SqlLibrary lib;
  lib.Rebuild((dir / "lib").string());
  RunHarness h;
  h.Connect("DRIVER=SQLite3;Database=" MV_BINARY_DIR "/demo/demo.db");
  RunController& o = *h.owner;
  ApplyWorkingProfile(o.session().profiles, o.session().opts.s_WorkingProfile, o.session().working);

  // Numbers without an entry, and above the fifty the view handles, do nothing.
  o.session().opts.s_GlobalPassSql = "unchanged";
  for (int number : {48000, 48003, 48051, SqlLibrary::kFolderMarker}) EXPECT_EQ(OpenLibraryEntry(o, lib, number), 0);
  EXPECT_EQ(o.session().opts.s_GlobalPassSql, "unchanged");
  EXPECT_TRUE(h.host.messages.empty());

  // Auto Run off: the statement only waits for the Sql Script dialog.
  EXPECT_EQ(OpenLibraryEntry(o, lib, 48001), 1);
  EXPECT_EQ(o.session().opts.s_GlobalPassSql, "SELECT city\nFROM customers WHERE customer_id = 2\n");
  EXPECT_FALSE(o.Status().running);
  EXPECT_TRUE(h.host.window.IsEmpty());

  // A file removed after the menu was built.
  fs::remove(dir / "lib" / "gone.sql");
  EXPECT_EQ(OpenLibraryEntry(o, lib, 48002), 0);
  EXPECT_TRUE(h.host.HasMessage("Could not open file '" + (dir / "lib" / "gone.sql").string() + "'"));

  // Auto Run on: the entry runs as a free-form statement.
  SqlLibrary::ToggleAutoRun(*h.settings);
  EXPECT_EQ(OpenLibraryEntry(o, lib, 48001), 1);
  o.Wait();
  const std::string script = h.host.window.WholeText();
  EXPECT_NE(script.find("REM  SELECT city\r\nREM  FROM customers WHERE customer_id = 2\r\n"), std::string::npos)
      << script;
  EXPECT_NE(script.find("INSERT INTO CUSTOMERS ( city )\t\t\r\nVALUES ( 'Leeds' );"), std::string::npos) << script;

  // The finished script is not saved: a new run asks first, and Cancel keeps it.
  ASSERT_FALSE(o.Output().Saved());
  h.host.answers.push_back(Host::Answer::Cancel);
  EXPECT_FALSE(RunLibraryStatement(o, "SELECT 1"));
  EXPECT_TRUE(h.host.HasMessage("The report has not been saved. Do you wish to save it?"));
  EXPECT_EQ(h.host.window.WholeText(), script);
}

}  // namespace
}  // namespace mv::test
