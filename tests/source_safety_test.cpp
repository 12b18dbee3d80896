// A configuration from anyone run against a SQLite source: nothing is written over the source,
// an unreadable source or table is an error that keeps FILE, no password shows anywhere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/ConnectSafety.h"
#include "db/DbConnection.h"
#include "run/StartRules.h"
#include "support/BatchScript.h"
#include "support/RunHarness.h"

namespace mv {
namespace {

using test::RunHarness;

namespace fs = std::filesystem;

struct Batch {
  fs::path dir;
  Batch()
      : dir(fs::temp_directory_path() / ("mv-safety-" + std::to_string(getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(dir);
    fs::create_directories(dir / "xdg");
  }
  ~Batch() { fs::remove_all(dir); }
  fs::path Path(const std::string& name) const { return dir / name; }
  // A configuration of the source with extra [Mervale] keys, run with the arguments given.
  test::ProcessResult Run(const fs::path& source, const std::string& keys, std::vector<std::string> args,
                          const std::string& connectExtra = {}, std::vector<std::string> env = {}) const {
    const fs::path config = Path("run.mvl");
    test::WriteText(config, "[Mervale]\nVersion=5.0\ns_WorkingProfile=SQLite\n" + keys +
                                "[Database]\ns_ConnectString=DRIVER=SQLite3;Database=" + source.string() +
                                connectExtra + "\nb_IsCatalog=0\n");
    args.insert(args.begin(), {MV_BATCH_PATH, config.string()});
    env.push_back("MERVALE_HOME=" MV_BINARY_DIR);
    env.push_back("XDG_CONFIG_HOME=" + Path("xdg").string());
    return test::RunProcess(args, env);
  }
};

void MakeDb(const fs::path& db, const std::string& sql) {
  ASSERT_EQ(test::RunProcess({"sqlite3", db.string(), sql}, {}).status, 0);
}

TEST(SourceSafety, NoScriptOrConfigurationIsWrittenOverTheSource) {
  Batch b;
  const fs::path db = b.Path("src.db");
  MakeDb(db, "CREATE TABLE t (id INTEGER); INSERT INTO t VALUES (1);");
  const std::string before = test::Slurp(db);
  fs::create_symlink(db, b.Path("link.db"));
  fs::create_hard_link(db, b.Path("hard.db"));
  struct Case {
    const char* what;
    std::string keys;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"--output", "", {"--output", db.string()}},
      {"--output", "", {"--output", b.Path("link.db").string()}},
      {"--output", "", {"--output", b.Path("hard.db").string()}},
      {"--save-config", "", {"--save-config", db.string()}},
      {"s_AutoSaveFile", "b_AutoSave=1\ns_AutoSaveFile=" + db.string() + "\n", {}},
      {"s_AutoSaveFile", "b_OnlyToFile=1\ns_AutoSaveFile=" + b.Path("link.db").string() + "\n", {}},
  };
  for (const Case& c : cases) {
    const test::ProcessResult r = b.Run(db, c.keys, c.args);
    EXPECT_EQ(r.status, 4) << c.what << "\n" << r.err;
    EXPECT_NE(r.err.find(std::string(c.what) + " "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("is the source database"), std::string::npos) << r.err;
    EXPECT_EQ(test::Slurp(db), before) << c.what;
  }

  // The window's Save Script and a run's auto-save file, as the desktop reaches them.
  RunHarness h;
  h.Connect("DRIVER=SQLite3;Database=" + db.string());
  EXPECT_NE(h.Run().find("INSERT INTO"), std::string::npos);
  EXPECT_FALSE(SaveScript(*h.owner, b.Path("link.db").string()));
  EXPECT_TRUE(
      h.host.HasMessage("The script was not saved: " + b.Path("link.db").string() + " is the source database."));
  h.owner->session().opts.b_AutoSave = 1;
  h.owner->session().opts.s_AutoSaveFile = db.string();
  EXPECT_EQ(h.Run(), "<not started>");
  EXPECT_TRUE(
      h.host.HasMessage("The script file " + db.string() + " is the source database: the run was not started."));
  EXPECT_EQ(test::Slurp(db), before);
}

TEST(SourceSafety, AnUnreadableSourceOrTableIsAnErrorAndKeepsFile) {
  Batch b;
  const fs::path out = b.Path("out.sql");
  const std::string good = "-- the good script\n";
  // Locked by a writer: the listing answers with nothing.
  const fs::path locked = b.Path("locked.db");
  MakeDb(locked, "CREATE TABLE t (id INTEGER);");
  // Not a database at all.
  const fs::path damaged = b.Path("damaged.db");
  test::WriteText(damaged, std::string(8192, 'x'));
  // A table name the driver's column catalog cannot take by itself; read with every table's
  // columns in one call, it is scripted whole.
  const fs::path longName = b.Path("long.db");
  const std::string name(600, 'n');
  MakeDb(longName, "CREATE TABLE " + name + " (id INTEGER); INSERT INTO " + name + " VALUES (1);");
  {
    test::WriteText(out, good);
    const test::ProcessResult r = b.Run(longName, "b_DropTable=1\nb_DeleteData=1\n", {"--output", out.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string script = test::Slurp(out);
    EXPECT_NE(script.find("CREATE TABLE " + name), std::string::npos) << script;
    EXPECT_NE(script.find("INSERT INTO " + name + " ( id )\t\t\r\nVALUES ( 1 );"), std::string::npos) << script;
  }

  RunHarness holder;
  DbConnection& lock = holder.Connect("DRIVER=SQLite3;Database=" + locked.string());
  Statement hold;
  ASSERT_EQ(lock.Execute(hold, "BEGIN EXCLUSIVE TRANSACTION"), "");

  struct Case {
    fs::path source;
    const char* remark;
  };
  // The run's snapshot is refused first for a file that cannot be read at all.
  const Case cases[] = {{locked, "ERROR: The database could not be read"},
                        {damaged, "ERROR: The database could not be read"}};
  for (const Case& c : cases) {
    test::WriteText(out, good);
    const test::ProcessResult r =
        b.Run(c.source, "b_DropTable=1\nb_DeleteData=1\n", {"--output", out.string()}, ";Timeout=100");
    EXPECT_EQ(r.status, 6) << c.source << "\n" << r.err;
    EXPECT_EQ(test::Slurp(out), good) << c.source;
    std::string script;
    for (const auto& e : fs::directory_iterator(b.dir))
      if (e.path().filename().string().rfind("out.sql.incomplete-", 0) == 0) {
        script = test::Slurp(e.path());
        fs::remove(e.path());
      }
    EXPECT_NE(script.find(c.remark), std::string::npos) << script;
    EXPECT_EQ(script.find("DROP TABLE"), std::string::npos) << script;
    EXPECT_EQ(script.find("DELETE FROM"), std::string::npos) << script;
  }
}

TEST(SourceSafety, NoPasswordSpellingShows) {
  // The sixteen spellings, each with the secret "s3cr3t" (braced ones holding more).
  const std::vector<std::string> spellings = {
      "PWD=s3cr3t",      "pwd=s3cr3t",       "Pwd=s3cr3t",         "PASSWORD=s3cr3t",
      "password=s3cr3t", "Password=s3cr3t",  " PWD = s3cr3t",      "PWD\t=\ts3cr3t",
      "PWD={s3cr3t}",    "PWD={a;s3cr3t;b}", "PWD={a}}s3cr3t}",    "Password = {x s3cr3t}",
      "PASSWD=s3cr3t",   "TLSKEYPWD=s3cr3t", "SSLPASSWORD=s3cr3t", "pwd=s3cr3t;PWD=s3cr3t",
  };
  for (const std::string& s : spellings) {
    for (const std::string& cs : {"DRIVER=x;UID=u;" + s + ";SERVER=h", s, "DSN=d;" + s}) {
      const std::string masked = MaskPasswords(cs);
      EXPECT_EQ(masked.find("s3cr3t"), std::string::npos) << cs << " -> " << masked;
      EXPECT_NE(masked.find("***"), std::string::npos) << cs;
    }
    ConnectionTarget t;
    t.connectString = s + ";DRIVER=x";
    EXPECT_EQ(ConnectionTitle(t).find("s3cr3t"), std::string::npos) << s;
  }
  EXPECT_EQ(MaskPasswords("UID=u;SERVER=h;DATABASE=pwdb"), "UID=u;SERVER=h;DATABASE=pwdb");

  // Through the driver manager's errors, the messages and the trace of a real program.
  Batch b;
  const fs::path trace = b.Path("trace.txt");
  for (const std::string& s : spellings) {
    const fs::path config = b.Path("pw.mvl");
    test::WriteText(config, "[Mervale]\nVersion=5.0\n[Database]\ns_ConnectString=DRIVER=" +
                                b.Path("nolib.so").string() + ";" + s + ";UID=u\n");
    const test::ProcessResult r = test::RunProcess(
        {MV_BATCH_PATH, config.string()}, {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + b.Path("xdg").string(),
                                           "MERVALE_ODBC_TRACE=" + trace.string()});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("nolib.so"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("s3cr3t"), std::string::npos) << s << "\n" << r.err;
  }
  const std::string traced = test::Slurp(trace);
  EXPECT_NE(traced.find("SQLDriverConnect"), std::string::npos);
  EXPECT_EQ(traced.find("s3cr3t"), std::string::npos) << traced;
}

}  // namespace
}  // namespace mv
