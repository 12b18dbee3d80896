// mervale-batch as a user runs it: the demo, a broken configuration, the SQLite load.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/PgServer.h"
#include "support/UniqueName.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out, err;
};

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mv-batch-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "home");
    fs::create_directories(dir / "xdg");
  }
  void TearDown() override { fs::remove_all(dir); }

  // before: shell commands run first (a umask); out: where standard output goes.
  Result Batch(const std::string& args, const std::string& before = "", std::string out = "") {
    if (out.empty()) out = (dir / "stdout").string();
    const std::string err = (dir / "stderr").string();
    const std::string cmd = before + " env MERVALE_HOME='" + (dir / "home").string() + "' XDG_CONFIG_HOME='" +
                            (dir / "xdg").string() + "' '" MV_BATCH_PATH "' " + args + " >'" + out + "' 2>'" + err +
                            "' </dev/null";
    Result r;
    int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = out == "/dev/full" ? "" : Slurp(out);
    r.err = Slurp(err);
    return r;
  }
  // The names in dir, sorted, so a leftover temporary file shows.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void Write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

  fs::path dir;
};

const std::string kDemo = MV_BINARY_DIR "/demo/demo.mvl";

TEST_F(BatchTest, ScriptsTheDemoToStandardOutputOrAFile) {
  // The built-in dialect: the program folder holds no profile.
  Result r = Batch("'" + kDemo + "' --profile Default");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string title = "SQLite3(" MV_BINARY_DIR "/demo/demo.db)";
  EXPECT_EQ(r.out.rfind("REM  DATABASE:  " + title + "\r\n\r\n\r\nREM  6 tables were found in " + title + "\r\n", 0),
            0u)
      << r.out.substr(0, 200);
  EXPECT_NE(r.out.find("REM  The following tables were not processed\r\nREM  \t\taudit_log\r\n"), std::string::npos);
  EXPECT_NE(r.out.find("'O''Brien'"), std::string::npos);
  EXPECT_NE(r.out.find("CREATE TABLE \"ORDER LINES\""), std::string::npos);
  EXPECT_NE(r.out.find("REM  --- End of Mervale --- Elapsed Time: "), std::string::npos);
  EXPECT_NE(r.err.find("Mervale has finished scripting the database"), std::string::npos);

  const fs::path file = dir / "demo.sql";
  Result f = Batch("'" + kDemo + "' --profile Default --output '" + file.string() + "'");
  ASSERT_EQ(f.status, 0) << f.err;
  EXPECT_TRUE(f.out.empty());
  // Same script but for the elapsed time.
  std::string a = r.out.substr(0, r.out.rfind("Elapsed")), b = Slurp(file);
  EXPECT_EQ(b.substr(0, b.rfind("Elapsed")), a);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::others_read, fs::perms::others_read);
}

TEST_F(BatchTest, InterruptStopsTheRunWithTheStopNoteAndKeepsTheGoodFile) {
  const fs::path db = dir / "big.db";
  const std::string make = "sqlite3 '" + db.string() +
                           "' \"create table t (id integer, v text); with recursive c(x) as (select 1 union all "
                           "select x + 1 from c where x < 1500000) insert into t select x, 'value ' || x from c;\"";
  ASSERT_EQ(std::system(make.c_str()), 0);
  Write(dir / "big.mvl", "[Mervale]\r\nVersion=5.0\r\n[Database]\r\ns_ConnectString=DRIVER=SQLite3;Database=" +
                             db.string() + ";StepAPI=1\r\n");
  const std::string out = (dir / "big.sql").string();
  Write(out, "the last good script");
  const std::string home = "MERVALE_HOME=" + (dir / "home").string(), xdg = "XDG_CONFIG_HOME=" + (dir / "xdg").string();
  const std::string config = (dir / "big.mvl").string();
  char* argv[] = {const_cast<char*>(MV_BATCH_PATH), const_cast<char*>(config.c_str()), const_cast<char*>("--output"),
                  const_cast<char*>(out.c_str()), nullptr};
  char* envp[] = {const_cast<char*>(home.c_str()), const_cast<char*>(xdg.c_str()), nullptr};
  pid_t pid = 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, (dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_EQ(posix_spawn(&pid, MV_BATCH_PATH, &actions, nullptr, argv, envp), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Wait until the data phase is under way, then interrupt.
  for (int i = 0; i < 200; ++i) {
    bool writing = false;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string().rfind("big.sql.mervale-", 0) == 0 && fs::file_size(e.path()) > 100000)
        writing = true;
    if (writing) break;
    usleep(20000);
  }
  kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  const std::string err = Slurp(dir / "err");
  EXPECT_EQ(WEXITSTATUS(status), 5) << err;
  // FILE keeps the good script; the partial one is left beside it under the name given.
  EXPECT_EQ(Slurp(out), "the last good script");
  const std::string named = "the new script is " + out + ".incomplete-";
  const size_t at = err.find(named);
  ASSERT_NE(at, std::string::npos) << err;
  const std::string script = Slurp(err.substr(at + 18, err.find('\n', at) - at - 18));
  ASSERT_GE(script.size(), 30u);
  EXPECT_EQ(script.substr(script.size() - 30), "\r\n\r\nREM  Mervale Stopped ...\r\n");
  EXPECT_EQ(script.find("End of Mervale"), std::string::npos);
  EXPECT_NE(err.find("Mervale has been stopped."), std::string::npos);
}

TEST_F(BatchTest, AStopDuringALongStatementCancelsItOnTheServer) {
  mv::test::PgServer& pg = mv::test::PgServer::Instance();
  const std::string db = mv::test::UniqueDbName("mv_cancel");
  pg.CreateDatabase(db);
  pg.RunSql(db,
            "create table t (id int4); insert into t values (1); create function slow() returns boolean language sql "
            "volatile as $$ select pg_sleep(100) is not null $$;");
  Write(dir / "slow.mvl", "[Mervale]\r\nVersion=5.0\r\n[Database]\r\ns_ConnectString=" + pg.ConnectString(db) +
                              "\r\n[Where Statements]\r\nobj0=T\r\nwhere0=slow()\r\n");
  const std::string out = (dir / "slow.sql").string(), config = (dir / "slow.mvl").string();
  const std::string home = "MERVALE_HOME=" + (dir / "home").string(), xdg = "XDG_CONFIG_HOME=" + (dir / "xdg").string();
  char* argv[] = {const_cast<char*>(MV_BATCH_PATH), const_cast<char*>(config.c_str()), const_cast<char*>("--output"),
                  const_cast<char*>(out.c_str()), nullptr};
  char* envp[] = {const_cast<char*>(home.c_str()), const_cast<char*>(xdg.c_str()), nullptr};
  pid_t pid = 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, (dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_EQ(posix_spawn(&pid, MV_BATCH_PATH, &actions, nullptr, argv, envp), 0);
  posix_spawn_file_actions_destroy(&actions);
  const std::string running = "select count(*) from pg_stat_activity where datname = '" + db +
                              "' and state = 'active' and query like '%slow()%' and pid <> pg_backend_pid();";
  for (int i = 0; i < 300 && pg.RunSql("postgres", running) != "1\n"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(pg.RunSql("postgres", running), "1\n") << Slurp(dir / "err");
  const auto stopped = std::chrono::steady_clock::now();
  kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  // Not a timing: the statement alone would run for 100 seconds.
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(50));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 5) << Slurp(dir / "err");
  // A stopped run leaves its script beside FILE, under a name of its own.
  std::string script;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind("slow.sql.incomplete-", 0) == 0) script = Slurp(e.path());
  ASSERT_GE(script.size(), 30u) << Slurp(dir / "err");
  EXPECT_EQ(script.substr(script.size() - 30), "\r\n\r\nREM  Mervale Stopped ...\r\n") << script;
  EXPECT_EQ(script.find("The following error was received"), std::string::npos) << script;
  EXPECT_EQ(pg.RunSql("postgres", running), "0\n");
  pg.DropDatabase(db);
}

TEST_F(BatchTest, LinksNoQtLibrary) {
  const std::string cmd = "ldd '" MV_BATCH_PATH "' > '" + (dir / "ldd").string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string libs = Slurp(dir / "ldd");
  EXPECT_NE(libs.find("libodbc"), std::string::npos);
  EXPECT_EQ(libs.find("Qt"), std::string::npos) << libs;
}

TEST_F(BatchTest, FailuresExitNonZeroWithTheReason) {
  Result usage = Batch("");
  EXPECT_EQ(usage.status, 1);
  EXPECT_NE(usage.err.find("Usage: mervale-batch CONFIG.mvl"), std::string::npos);
  const Result help = Batch("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("6 finished with errors"), std::string::npos) << help.out;

  Result missing = Batch("'" + (dir / "nope.mvl").string() + "'");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("nope.mvl"), std::string::npos);

  const fs::path bad = dir / "bad.mvl";
  Write(bad, "[Mervale]\r\nVersion=5.0\r\n[Database]\r\ns_ConnectString=DRIVER=SQLite3;Database=" +
                 (dir / "no" / "such.db").string() + ";NoCreat=1\r\n");
  Write(dir / "x.sql", "an earlier script");
  Result conn = Batch("'" + bad.string() + "' --output '" + (dir / "x.sql").string() + "'");
  EXPECT_EQ(conn.status, 3) << conn.err;
  EXPECT_EQ(Slurp(dir / "x.sql"), "an earlier script");  // no run: the old script stays
  for (const auto& e : fs::directory_iterator(dir))      // and no temporary file is left behind
    EXPECT_EQ(e.path().filename().string().find(".mervale-"), std::string::npos) << e.path();
  EXPECT_NE(conn.err.find("Could not connect to data source."), std::string::npos) << conn.err;

  const fs::path empty = dir / "noconn.mvl";
  Write(empty, "[Mervale]\r\nVersion=5.0\r\n");
  EXPECT_EQ(Batch("'" + empty.string() + "'").status, 3);
}

TEST_F(BatchTest, ADemoScriptWithoutRemarksDropsOrDeletesLoadsIntoSqlite) {
  // A profile whose remark marker sqlite3 understands, written by the program's own writer
  // through a configuration: copy the demo configuration and add the run settings.
  const fs::path settings = dir / "xdg" / "Quillfen" / "Mervale.ini";
  fs::create_directories(settings.parent_path());
  Write(settings, "[Settings]\r\ndre=0\r\ndrt=0\r\ndet=0\r\ndri=0\r\nbdt=1\r\n");
  // The default profile, but with "--" as the remark marker.
  std::string pfl;
  auto str = [&](const std::string& s) {
    pfl += static_cast<char>(s.size());
    pfl += s;
  };
  auto num = [&](int v) {
    for (int i = 0; i < 4; ++i) pfl += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  str("VER5.0");
  str("--");
  str(";");
  num(1);
  str("");
  str("DROP TABLE");
  str("CREATE TABLE");
  str("NULL");
  str("NOT NULL");
  num(0);
  num(0);
  num(0);
  num(0);
  str("DELETE FROM");
  str("INSERT INTO");
  str("VALUES");
  str("NULL");
  str("NULL");
  str("''");
  str("'");
  str("");
  num(0);
  num(0);
  num(0);
  str("DROP INDEX");
  str("CREATE UNIQUE INDEX");
  str("CREATE INDEX");
  str("ON");
  num(0);
  num(0);
  num(0);
  num(1);
  for (int i = 0; i < 5 * 23; ++i) str("");
  for (int i = 0; i < 23; ++i) num(0);
  num(0);
  num(1);
  str("'");
  str("''");
  Write(dir / "home" / "Lite.pfl", pfl);

  // The demo configuration, with ODBC standard type names: the SQLite driver's own names
  // already carry their lengths.
  std::string config = Slurp(kDemo);
  const size_t at = config.find("b_DataType=0");
  ASSERT_NE(at, std::string::npos);
  config.replace(at, 12, "b_DataType=1");
  const size_t profile = config.find("s_WorkingProfile=SQLite");
  ASSERT_NE(profile, std::string::npos);
  config.replace(profile, 23, "s_WorkingProfile=Lite");
  Write(dir / "demo.mvl", config);
  const fs::path script = dir / "load.sql";
  Result r = Batch("'" + (dir / "demo.mvl").string() + "' --output '" + script.string() + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = Slurp(script);
  EXPECT_EQ(text.find("REM"), std::string::npos);
  EXPECT_EQ(text.find("DROP "), std::string::npos);
  EXPECT_EQ(text.find("DELETE"), std::string::npos);
  const fs::path db = dir / "copy.db";
  const std::string load =
      "sqlite3 -bail '" + db.string() + "' < '" + script.string() + "' 2>'" + (dir / "load.err").string() + "'";
  ASSERT_EQ(std::system(load.c_str()), 0) << Slurp(dir / "load.err") << text.substr(0, 2000);
  // Every processed table arrived with all its rows.
  for (const char* table : {"customers", "products", "orders", "\"order lines\"", "staff"}) {
    std::string count = "sqlite3 '" + db.string() + "' 'select count(*) from " + table + "' > '" +
                        (dir / "n1").string() + "' && sqlite3 '" MV_BINARY_DIR "/demo/demo.db' 'select count(*) from " +
                        table + "' > '" + (dir / "n2").string() + "'";
    ASSERT_EQ(std::system(count.c_str()), 0) << table;
    EXPECT_EQ(Slurp(dir / "n1"), Slurp(dir / "n2")) << table;
    EXPECT_NE(Slurp(dir / "n1"), "0\n") << table;
  }
}

unsigned ModeOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

TEST_F(BatchTest, CommandLineOptionsRunWithoutAFileOverrideOneAndSaveTheirConfiguration) {
  fs::copy_file(MV_BINARY_DIR "/SQLite.pfl", dir / "home" / "SQLite.pfl");
  const std::string demoDb = MV_BINARY_DIR "/demo/demo.db";
  // The README's first command: one table's script, no file needed.
  const Result one = Batch("--connect 'DRIVER=SQLite3;Database=" + demoDb + "' --profile SQLite --table customers");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.out.find("CREATE TABLE customers"), std::string::npos) << one.out.substr(0, 500);
  EXPECT_NE(one.out.find(",\r\n       ( 6, "), std::string::npos);
  EXPECT_EQ(one.out.find("CREATE TABLE orders"), std::string::npos);
  EXPECT_NE(one.out.find("--  \t\taudit_log"), std::string::npos);  // listed as not processed

  // The connect string from the environment; the same options saved, then run from the file
  // with a settings store that says otherwise: the file alone decides.
  const std::string env = "export MERVALE_CONNECT='DRIVER=SQLite3;Database=" + demoDb + "';";
  const std::string options =
      "--profile SQLite --no-remarks --no-drop --rows-per-insert 4 --table 'order%' --where 'orders=order_id > 2' "
      "--data-case upper";
  const Result direct = Batch(options, env);
  ASSERT_EQ(direct.status, 0) << direct.err;
  // Only the footer, and the keys to tables left out, which no remark option hides.
  std::istringstream lines(direct.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("--  ", 0) == 0 && line.rfind("--  --- End of Mervale", 0) != 0) {
      EXPECT_EQ(line.rfind("--  NOT SCRIPTED: foreign key ", 0), 0u) << line;
    }
  }
  EXPECT_EQ(direct.out.find("DROP "), std::string::npos);
  EXPECT_NE(direct.out.find("CREATE TABLE \"Order Lines\""), std::string::npos) << direct.out.substr(0, 800);
  EXPECT_EQ(direct.out.find("VALUES ( 1, "), std::string::npos);  // orders 1 and 2 are not selected
  EXPECT_NE(direct.out.find("),\r\n       ( "), std::string::npos);

  const fs::path saved = dir / "saved.mvl";
  const Result save = Batch(options + " --save-config '" + saved.string() + "'", env);
  ASSERT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(save.out, "");
  EXPECT_EQ(ModeOf(saved), 0600u);
  fs::create_directories(dir / "xdg" / "Quillfen");
  Write(dir / "xdg" / "Quillfen" / "Mervale.ini", "[Settings]\r\ndre=1\r\ndrt=1\r\ndvc=2\r\nrpi=9\r\n");
  const Result fromFile = Batch("'" + saved.string() + "'");
  ASSERT_EQ(fromFile.status, 0) << fromFile.err;
  EXPECT_EQ(fromFile.out.substr(0, fromFile.out.rfind("Elapsed")), direct.out.substr(0, direct.out.rfind("Elapsed")));

  // Over a configuration file: the options change what they name, the rest stays the file's.
  const Result over = Batch("'" + kDemo + "' --no-data --no-indexes --name-case upper");
  ASSERT_EQ(over.status, 0) << over.err;
  EXPECT_NE(over.out.find("CREATE TABLE CUSTOMERS"), std::string::npos);  // the profile writes them as they are
  EXPECT_EQ(over.out.find("INSERT INTO"), std::string::npos);
  EXPECT_EQ(over.out.find("CREATE INDEX"), std::string::npos);
  EXPECT_NE(over.out.find("not processed\r\n--  \t\taudit_log"), std::string::npos);

  // A bad value: the reason and status 1, nothing run.
  const Result bad = Batch("'" + kDemo + "' --rows-per-insert 0");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("--rows-per-insert"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.out, "");
}

TEST_F(BatchTest, OutputFollowsTheUmaskKeepsModesAndLinksAndIsCheckedBeforeConnecting) {
  const std::string demo = "'" + kDemo + "' --profile Default --output ";
  // A new file gets what the umask allows; an existing one keeps its mode; a link is followed.
  ASSERT_EQ(Batch(demo + "'" + (dir / "new.sql").string() + "'", "umask 027;").status, 0);
  EXPECT_EQ(ModeOf(dir / "new.sql"), 0640u);
  Write(dir / "private.sql", "old");
  ASSERT_EQ(chmod((dir / "private.sql").c_str(), 0600), 0);
  ASSERT_EQ(Batch(demo + "'" + (dir / "private.sql").string() + "'").status, 0);
  EXPECT_EQ(ModeOf(dir / "private.sql"), 0600u);
  EXPECT_EQ(Slurp(dir / "private.sql").rfind("REM  DATABASE:  SQLite3", 0), 0u);
  fs::create_symlink("private.sql", dir / "link.sql");
  ASSERT_EQ(Batch(demo + "'" + (dir / "link.sql").string() + "'").status, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "link.sql"));
  EXPECT_EQ(Slurp(dir / "private.sql").rfind("REM  DATABASE:  SQLite3", 0), 0u);
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"home", "link.sql", "new.sql", "private.sql", "stderr", "stdout", "xdg"}));

  // A path that cannot take the script is refused before the connection is tried (this
  // configuration's connection would fail with status 3).
  const fs::path bad = dir / "bad.mvl";
  Write(bad, "[Mervale]\r\nVersion=5.0\r\n[Database]\r\ns_ConnectString=DRIVER=SQLite3;Database=" +
                 (dir / "no" / "such.db").string() + ";NoCreat=1\r\n");
  fs::create_directory(dir / "folder");
  const std::pair<fs::path, const char*> refused[] = {
      {dir / "folder", "Is a directory"},
      {dir / "missing" / "x.sql", "No such file or directory"},
      {"/proc/mervale.sql", "cannot write the script to /proc/mervale.sql"},
  };
  for (const auto& [path, reason] : refused) {
    const Result r = Batch("'" + bad.string() + "' --output '" + path.string() + "'");
    EXPECT_EQ(r.status, 4) << path;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Could not connect"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(fs::is_empty(dir / "folder"));

  // A full device: the real cause, status 4, and no word of having finished.
  for (const bool toStdout : {false, true}) {
    const Result r = toStdout ? Batch("'" + kDemo + "' --profile Default", "", "/dev/full") : Batch(demo + "/dev/full");
    EXPECT_EQ(r.status, 4) << toStdout;
    EXPECT_NE(r.err.find("could not be written to " + std::string(toStdout ? "standard output" : "/dev/full") +
                         ": No space left on device"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("finished"), std::string::npos) << r.err;
  }
}

TEST_F(BatchTest, ASignalWhileConnectingLeavesNoTemporaryFile) {
  // A server that accepts the connection and never answers keeps the driver connecting.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 8), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  Write(dir / "silent.mvl",
        "[Mervale]\r\nVersion=5.0\r\n[Database]\r\ns_ConnectString=DRIVER={PostgreSQL "
        "ANSI};SERVER=127.0.0.1;PORT=" +
            std::to_string(ntohs(addr.sin_port)) + ";DATABASE=x;UID=x\r\n");
  const std::string out = (dir / "x.sql").string(), config = (dir / "silent.mvl").string();
  const std::string home = "MERVALE_HOME=" + (dir / "home").string(), xdg = "XDG_CONFIG_HOME=" + (dir / "xdg").string();
  for (const int sig : {SIGINT, SIGTERM}) {
    Write(out, "old");
    char* argv[] = {const_cast<char*>(MV_BATCH_PATH), const_cast<char*>(config.c_str()), const_cast<char*>("--output"),
                    const_cast<char*>(out.c_str()), nullptr};
    char* envp[] = {const_cast<char*>(home.c_str()), const_cast<char*>(xdg.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, MV_BATCH_PATH, nullptr, nullptr, argv, envp), 0);
    // The temporary file exists before the connection is tried; then the driver waits.
    auto temporaries = [&] {
      return std::count_if(fs::directory_iterator(dir), fs::directory_iterator(), [](const fs::directory_entry& e) {
        return e.path().string().find(".mervale-") != std::string::npos;
      });
    };
    for (int i = 0; i < 500 && temporaries() == 0; ++i) usleep(10000);
    EXPECT_EQ(temporaries(), 1);
    usleep(300000);
    kill(pid, sig);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 5) << sig << " " << status;
    EXPECT_EQ(temporaries(), 0) << sig;
    EXPECT_EQ(Slurp(out), "old");
  }
  close(listener);
}

TEST_F(BatchTest, ARunWithErrorsExitsSixAndLeavesTheNewScriptBeside) {
  const fs::path db = dir / "src.db";
  ASSERT_EQ(
      std::system(("sqlite3 '" + db.string() + "' 'CREATE TABLE t (id INTEGER); INSERT INTO t VALUES (1);'").c_str()),
      0);
  Write(dir / "where.mvl", "[Mervale]\r\nVersion=5.0\r\n[Database]\r\ns_ConnectString=DRIVER=SQLite3;Database=" +
                               db.string() + "\r\n[Where Statements]\r\nobj0=t\r\nwhere0=id = 1; DROP TABLE t\r\n");
  const std::string config = "'" + (dir / "where.mvl").string() + "'";
  const Result plain = Batch(config);
  EXPECT_EQ(plain.status, 6) << plain.err;
  // Named once, in the run's last message.
  const std::string named = "These could not be read whole (the ERROR remarks in the script say why):\n    t\n";
  EXPECT_NE(plain.err.find(named), std::string::npos) << plain.err;
  EXPECT_EQ(plain.err.find("could not be read whole", plain.err.find(named) + named.size()), std::string::npos)
      << plain.err;
  EXPECT_NE(plain.out.find("REM  ERROR: "), std::string::npos);

  Write(dir / "good.sql", "the last good script");
  const Result r = Batch(config + " --output '" + (dir / "good.sql").string() + "'");
  EXPECT_EQ(r.status, 6) << r.err;
  EXPECT_EQ(Slurp(dir / "good.sql"), "the last good script");
  const std::string beside = "the new script is " + (dir / "good.sql.incomplete-").string();
  const size_t at = r.err.find(beside);
  ASSERT_NE(at, std::string::npos) << r.err;
  const std::string kept = r.err.substr(at + 18, r.err.find('\n', at) - at - 18);
  const std::string script = Slurp(kept);
  EXPECT_EQ(script.substr(0, script.rfind("Elapsed")), plain.out.substr(0, plain.out.rfind("Elapsed")));
  EXPECT_EQ(Names().size(), 8u);  // no temporary file beside the two scripts
}

}  // namespace
