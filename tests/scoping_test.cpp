// A run scripts only the tables it can name: without an owner, those the session reaches by
// their names alone; the others are listed with the owner that reaches them, and the engines'
// own catalogs are never listed at all.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "support/BatchScript.h"
#include "support/MariaDbServer.h"
#include "support/PgServer.h"
#include "support/Process.h"
#include "support/UniqueName.h"

namespace mv::test {
namespace {

namespace fs = std::filesystem;

class Scoping : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mv-scope-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "xdg");
  }
  void TearDown() override { fs::remove_all(dir); }

  // Scripts with mervale-batch and the engine's shipped profile; the script must be complete.
  std::string Script(const std::string& connect, const std::string& profile) {
    script = (dir / "script.sql").string();
    const ProcessResult r = RunProcess({MV_BATCH_PATH, "--connect", connect, "--profile", profile, "--output", script},
                                       {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string text = Slurp(script);
    EXPECT_EQ(text.find("There are no columns"), std::string::npos) << text;
    EXPECT_EQ(text.find("ERROR"), std::string::npos) << text;
    return text;
  }

  fs::path dir;
  std::string script;
};

TEST_F(Scoping, SqlitesInternalTablesAreNeverListed) {
  const fs::path src = dir / "src.db", dst = dir / "dst.db";
  SqliteRun(src,
            "CREATE TABLE counter (id INTEGER PRIMARY KEY AUTOINCREMENT, n INTEGER);\n"
            "CREATE INDEX counter_n ON counter (n);\n"
            "INSERT INTO counter (n) VALUES (1), (2);\nANALYZE;\n",
            dir);
  ASSERT_NE(SqliteRun(src, "SELECT count(*) FROM sqlite_stat1;", dir), "0\n");
  const std::string text = Script("DRIVER=SQLite3;Database=" + src.string(), "SQLite");
  // Never scripted as tables of their own (the target's sequence row for the AUTOINCREMENT
  // table is written into the engine's table, not created as one).
  std::string lower = text;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const char* own : {"table sqlite_sequence", "table sqlite_stat", "into sqlite_stat"})
    EXPECT_EQ(lower.find(own), std::string::npos) << own << "\n" << text;
  EXPECT_NE(text.find("1 table was found"), std::string::npos) << text;
  SqliteRun(dst, text, dir);
  EXPECT_EQ(SqliteRun(dst, "SELECT group_concat(n) FROM counter;", dir), "1,2\n");
}

TEST_F(Scoping, PostgresqlWithoutAnOwnerScriptsTheCurrentSchemaAndNamesTheOthers) {
  PgServer& pg = PgServer::Instance();
  const std::string src = UniqueDbName("scope_pg_src"), dst = UniqueDbName("scope_pg_dst");
  pg.CreateDatabase(src);
  pg.CreateDatabase(dst);
  pg.RunSql(src,
            "CREATE TABLE t (id integer PRIMARY KEY, v text);\nINSERT INTO t VALUES (1, 'one');\n"
            "CREATE SCHEMA sales;\nCREATE TABLE sales.customer (id integer, name text);\n"
            "INSERT INTO sales.customer VALUES (7, 'Kim');\n");
  const std::string text = Script(pg.ConnectString(src), "PostgreSQL");
  EXPECT_NE(text.find("customer (owner sales)"), std::string::npos) << text;
  EXPECT_EQ(text.find("TABLE IF EXISTS customer"), std::string::npos) << text;
  EXPECT_EQ(text.find("FROM customer"), std::string::npos) << text;
  EXPECT_EQ(text.find("pg_catalog"), std::string::npos);
  pg.RunScript(dst, script);
  EXPECT_EQ(pg.RunSql(dst, "SELECT v FROM t; SELECT count(*) FROM pg_tables WHERE tablename = 'customer';"),
            "one\n0\n");
}

TEST_F(Scoping, MariadbWithoutADatabaseScriptsNoneOfTheServersOwnTables) {
  MariaDbServer& m = MariaDbServer::Instance();
  const std::string src = UniqueDbName("scope_maria_src");
  m.CreateDatabase(src);
  m.RunSql(src, "CREATE TABLE t (id INT PRIMARY KEY);\nINSERT INTO t VALUES (1);\n");
  const std::string text = Script(m.ConnectString(""), "MariaDB");
  EXPECT_NE(text.find("t (owner " + src + ")"), std::string::npos) << text;
  for (const char* own : {"(owner mysql)", "(owner information_schema)", "(owner performance_schema)", "(owner sys)"})
    EXPECT_EQ(text.find(own), std::string::npos) << own;
  EXPECT_EQ(text.find("DROP TABLE"), std::string::npos) << text;
  EXPECT_NE(text.find("0 tables were found"), std::string::npos) << text;
}

}  // namespace
}  // namespace mv::test
