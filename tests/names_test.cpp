// What mervale-batch does with the names a user gives it: one that matches nothing is an error
// that leaves FILE as it was, a SQLite file that is not there is not created, the user's own
// profiles are found, and without a profile the source's engine chooses one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/BatchScript.h"
#include "support/Process.h"

namespace mv::test {
namespace {

namespace fs = std::filesystem;

class BatchNames : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mv-names-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "xdg");
    fs::create_directories(dir / "data");
    db = dir / "src.db";
    SqliteRun(db, "CREATE TABLE staff (id INTEGER PRIMARY KEY, name TEXT); INSERT INTO staff VALUES (1, 'O''Hara');",
              dir);
    connect = "DRIVER=SQLite3;Database=" + db.string();
  }
  void TearDown() override { fs::remove_all(dir); }

  // mervale-batch with the build's program folder and this test's own user folders.
  ProcessResult Batch(std::vector<std::string> args) {
    args.insert(args.begin(), MV_BATCH_PATH);
    return RunProcess(args, {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg").string(),
                             "XDG_DATA_HOME=" + (dir / "data").string()});
  }

  fs::path dir, db;
  std::string connect;
};

TEST_F(BatchNames, ANameThatMatchesNothingIsAnErrorAndFileKeepsWhatItHeld) {
  const fs::path config = dir / "missing-profile.mvl";
  WriteText(config,
            "[Mervale]\nVersion=5.0\ns_WorkingProfile=NoSuchProfile\n[Database]\ns_ConnectString=" + connect + "\n");
  const fs::path typo = dir / "typo.db";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"--connect", connect, "--owner", "nosuchschema", "--schema"}, 1, "The owner nosuchschema was not found"},
      {{"--connect", connect, "--table", "staff", "--table", "nosuch%"},
       1,
       "This table name matches no table of SQLite3(" + db.string() + "):\n    nosuch%"},
      {{"--connect", connect, "--profile", "NoSuchProfile"}, 1, "The profile NoSuchProfile was not found."},
      {{config.string()}, 2, "The profile NoSuchProfile was not found."},
      {{"--connect", "DRIVER=SQLite3;Database=" + typo.string()}, 3, "Could not connect to data source."},
  };
  const fs::path out = dir / "good.sql";
  for (const Case& c : cases) {
    WriteText(out, "the last good script");
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--output", out.string()});
    const ProcessResult r = Batch(args);
    EXPECT_EQ(r.status, c.status) << c.args[1] << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("finished"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(out), "the last good script") << c.args[1];
  }
  // The SQLite file that was not there is still not there.
  EXPECT_FALSE(fs::exists(typo));
}

TEST_F(BatchNames, TheProfileIsTheUsersTheEnginesOrTheBuiltInOne) {
  const fs::path users = dir / "data" / "Quillfen" / "Mervale" / "profiles";
  fs::create_directories(users);
  fs::copy_file(fs::path(MV_BINARY_DIR) / "SQLite.pfl", users / "Mine.pfl");
  struct Case {
    std::vector<std::string> extra;
    bool loads;          // the script loads into a new SQLite database
    std::string notice;  // on standard error ("" none)
  };
  const Case cases[] = {
      {{"--profile", "Mine"}, true, ""},
      {{}, true, "no profile named: writing in the SQLite profile, the source's engine"},
      {{"--profile", "Default"}, false, ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    const fs::path out = dir / ("script" + std::to_string(++n) + ".sql");
    std::vector<std::string> args = {"--connect", connect, "--output", out.string()};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ProcessResult r = Batch(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("source's engine") != std::string::npos, !c.notice.empty()) << r.err;
    if (!c.notice.empty()) {
      EXPECT_NE(r.err.find(c.notice), std::string::npos) << r.err;
    }
    const std::string script = Slurp(out);
    // The built-in dialect keeps its REM remarks; a SQLite profile's script loads.
    EXPECT_EQ(script.rfind("REM  DATABASE:", 0) == 0, !c.loads) << script.substr(0, 200);
    if (!c.loads) continue;
    const fs::path copy = dir / ("copy" + std::to_string(n) + ".db");
    SqliteRun(copy, script, dir);
    EXPECT_EQ(SqliteRun(copy, "SELECT name FROM staff;", dir), "O'Hara\n");
  }
}

TEST_F(BatchNames, VersionNamesTheProgramAndTheDriverManager) {
  const ProcessResult r = Batch({"--version"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("mervale-batch ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nunixODBC 2."), std::string::npos) << r.out;
}

}  // namespace
}  // namespace mv::test
