// A script is whole and loads, or the run says it is not: names and conditions handled as data,
// values read by their type, failures that name the tables they cost.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/NameQuoting.h"
#include "db/RowReader.h"
#include "run/ScriptNames.h"
#include "run/ValueFormat.h"
#include "support/PgServer.h"
#include "support/Process.h"
#include "support/RunHarness.h"
#include "support/UniqueName.h"

namespace mv {
namespace {

using test::PgServer;
using test::RunHarness;

TEST(NamesAreData, SpecialNamesQuotesConditionsAndRemarks) {
  // No connection: the double quote, no driver keywords, no case folding.
  SourceNames source;
  ScriptNames q;
  struct Case {
    const char* name;
    bool special;
  };
  for (const Case& c : std::vector<Case>{{"plain_name1", false},
                                         {"Mixed", false},
                                         {"9lives", true},
                                         {"#tag", true},
                                         {"a\"b", true},
                                         {"semi;colon", true},
                                         {"t;\nDELETE", true},
                                         {"caf\xc3\xa9", true},
                                         {"order", true},
                                         {"User", true},
                                         {"select", true}})
    EXPECT_EQ(source.IsSpecial(c.name), c.special) << c.name;
  // Quote characters inside a quoted name are doubled, whatever the brackets.
  EXPECT_EQ(q.Bracket("a\"b"), "\"a\"\"b\"");
  EXPECT_EQ(QuoteName("x`y", "`", "`"), "`x``y`");
  EXPECT_EQ(QuoteName("x]y", "[", "]"), "[x]]y]");

  struct Condition {
    const char* text;
    bool separator;
  };
  for (const Condition& c : std::vector<Condition>{{"id = 1", false},
                                                   {"id = 1; DROP TABLE victim", true},
                                                   {"name = 'a;b'", false},
                                                   {"name = 'it''s'; DELETE FROM t", true},
                                                   {"\"semi;colon\" = 1", false},
                                                   {"name = '\\'; DROP TABLE t; --'", true},
                                                   {"id = 1 -- ; not run", false},
                                                   {"id = 1 /* ; */", false}})
    EXPECT_EQ(HasStatementSeparator(c.text), c.separator) << c.text;

  EXPECT_EQ(RemarkSafe("a\r\nb"), "a\\r\\nb");
  for (const char* number : {"1", "-2.5", "+.5", "1e-30", "12.", " 12 ", "6.02E+23"})
    EXPECT_TRUE(IsNumberLiteral(number));
  for (const char* text : {"NaN", "Infinity", "-Infinity", "$12.34", "1e", ".", "0x1F", "1 2"})
    EXPECT_FALSE(IsNumberLiteral(text)) << text;
}

// A SQLite table whose name is a statement, a quote, a line break; values of every kind.
TEST(NothingLost, HostileSqliteNamesAndValuesLoadWithSqlite3) {
  RunHarness h;
  const std::string db = h.Path("hostile.db"), copy = h.Path("copy.db");
  const std::string create =
      "CREATE TABLE important (id INTEGER); INSERT INTO important VALUES (1);"
      "CREATE TABLE \"t;\nDELETE\nFROM\nimportant\" (\"a\"\"b\" TEXT, \"order\" INTEGER);"
      "INSERT INTO \"t;\nDELETE\nFROM\nimportant\" VALUES ('x', 1);"
      "CREATE TABLE vals (id INTEGER, d DOUBLE, b BLOB, n NUMERIC(10,2), t TEXT);"
      "INSERT INTO vals VALUES (1, 0.1 + 0.2, x'00FF27', 2328.6, 'it''s'), (2, 1e300, x'', NULL, ''),"
      " (3, -2.2250738585072014e-308, NULL, 1, NULL);"
      "CREATE INDEX \"ix;x\" ON vals (d);";
  test::ProcessResult made = test::RunProcess({"sqlite3", "-bail", db, create}, {});
  ASSERT_EQ(made.status, 0) << made.err;
  h.profile().Substitutions.push_back({"'", "''"});
  h.profile().s_Remarks = "--";
  h.profile().s_DropTable = "DROP TABLE IF EXISTS";
  h.profile().s_DropIndex = "DROP INDEX IF EXISTS";
  h.profile().i_TableNameCase = h.profile().i_ColumnNameCase = h.profile().i_IndexNameCase =
      h.profile().i_IndexColumnCase = 2;
  h.profile().s_ScriptPrefix[kBinary] = h.profile().s_ScriptPrefix[kVarbinary] =
      h.profile().s_ScriptPrefix[kLongVarbinary] = "X";
  h.profile().b_FuncOnlyIfValue[kBinary] = h.profile().b_FuncOnlyIfValue[kVarbinary] =
      h.profile().b_FuncOnlyIfValue[kLongVarbinary] = 1;
  h.Connect("DRIVER=SQLite3;Database=" + db);
  h.owner->session().opts.b_DataType = 0;
  h.owner->session().opts.b_DeleteData = 0;
  const std::string script = h.Run();
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::Finished) << script;
  // The remark names the table on one line; the statements quote it whole.
  EXPECT_NE(script.find("--  Structure for table t;\\nDELETE\\nFROM\\nimportant\r\n"), std::string::npos) << script;
  EXPECT_NE(script.find("\"a\"\"b\""), std::string::npos);
  // Every digit of a double, binary values as blob literals.
  EXPECT_NE(script.find("0.30000000000000004"), std::string::npos) << script;
  EXPECT_NE(script.find("X'00FF27'"), std::string::npos);
  std::ofstream(h.Path("script.sql"), std::ios::binary) << script;
  test::ProcessResult loaded = test::RunProcess({"sqlite3", "-bail", copy}, {}, h.Path("script.sql"));
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  const std::string query =
      "SELECT count(*) FROM important; SELECT * FROM \"t;\nDELETE\nFROM\nimportant\";"
      "SELECT id, quote(d), hex(b), n, quote(t) FROM vals ORDER BY id;";
  const test::ProcessResult a = test::RunProcess({"sqlite3", db, query}, {});
  const test::ProcessResult b = test::RunProcess({"sqlite3", copy, query}, {});
  EXPECT_EQ(b.out, a.out);
  EXPECT_EQ(b.out.rfind("1\n", 0), 0u) << "the canary lost its row";
}

// Values read in place when they come in one piece and gathered when they do not: texts
// around the reader's piece sizes, apostrophes at both ends, arrive whole with the fast
// formatting and with the general one (trimming on).
TEST(NothingLost, TextsAroundThePieceSizesArriveWhole) {
  for (const int trim : {0, 1}) {
    RunHarness h;
    const std::string db = h.Path("long.db"), copy = h.Path("copy.db");
    std::string create = "CREATE TABLE t (id INTEGER, v TEXT);";
    int id = 0;
    for (const int n : {0, 1, 509, 510, 511, 1022, 65533, 65534, 70000})
      create += "INSERT INTO t VALUES (" + std::to_string(++id) + ", '''' || replace(hex(zeroblob(" +
                std::to_string(n) + ")), '00', 'x') || '''');";
    ASSERT_EQ(test::RunProcess({"sqlite3", "-bail", db, create}, {}).status, 0);
    h.profile().Substitutions.push_back({"'", "''"});
    h.profile().s_Remarks = "--";
    h.profile().s_DropTable = "DROP TABLE IF EXISTS";
    h.Connect("DRIVER=SQLite3;Database=" + db);
    h.owner->session().opts.b_DeleteData = 0;
    h.owner->session().opts.b_RightTrim = trim;
    const std::string script = h.Run();
    EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::Finished) << "trim " << trim;
    std::ofstream(h.Path("script.sql"), std::ios::binary) << script;
    const test::ProcessResult loaded = test::RunProcess({"sqlite3", "-bail", copy}, {}, h.Path("script.sql"));
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    const std::string query = "SELECT id, length(v), v FROM t ORDER BY id;";
    const test::ProcessResult a = test::RunProcess({"sqlite3", db, query}, {});
    const test::ProcessResult b = test::RunProcess({"sqlite3", copy, query}, {});
    EXPECT_EQ(b.out, a.out) << "trim " << trim;
    EXPECT_NE(a.out.find("|70002|"), std::string::npos);
  }
}

TEST(NothingLost, AConditionWithASecondStatementIsRefusedAndTheSourceKept) {
  // SQLite.
  RunHarness h;
  const std::string db = h.Path("src.db");
  ASSERT_EQ(test::RunProcess({"sqlite3", db,
                              "CREATE TABLE t (id INTEGER); INSERT INTO t VALUES (1);"
                              "CREATE TABLE victim (id INTEGER);"},
                             {})
                .status,
            0);
  h.Connect("DRIVER=SQLite3;Database=" + db);
  h.owner->session().opts.WhereStatements["T"] = "id = 1; DROP TABLE victim";
  std::string text = h.Run();
  EXPECT_NE(text.find("REM  ERROR: The condition for table T holds a statement separator"), std::string::npos) << text;
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::FinishedWithErrors);
  EXPECT_EQ(h.owner->session().ErrorTables(), std::vector<std::string>{"t"});
  EXPECT_EQ(test::RunProcess({"sqlite3", db, "SELECT count(*) FROM victim;"}, {}).out, "0\n");
  // The read-only session refuses a write even where a driver would let one through.
  Statement stmt;
  EXPECT_EQ(h.owner->session().connection.get()->SetReadOnly(true), "");
  EXPECT_NE(h.owner->session().connection.get()->Execute(stmt, "DROP TABLE victim"), "");

  // PostgreSQL, whose driver runs both statements of a string.
  PgServer& pg = PgServer::Instance();
  const std::string victimDb = test::UniqueDbName("mv_victim");
  pg.CreateDatabase(victimDb);
  pg.RunSql(victimDb, "create table t (id int4); insert into t values (1); create table victim (id int4);");
  RunHarness p;
  p.Connect(pg.ConnectString(victimDb));
  p.owner->session().opts.WhereStatements["T"] = "id = 1; DROP TABLE victim";
  text = p.Run();
  EXPECT_NE(text.find("holds a statement separator"), std::string::npos) << text;
  EXPECT_EQ(pg.RunSql(victimDb, "select count(*) from victim;"), "0\n");
  pg.DropDatabase(victimDb);
}

TEST(NothingLost, ALostConnectionEndsTheRunAndNamesTheTables) {
  PgServer& pg = PgServer::Instance();
  const std::string lostDb = test::UniqueDbName("mv_lost");
  pg.CreateDatabase(lostDb);
  pg.RunSql(lostDb,
            "create table a (id int4); insert into a values (1); create table b (id int4); insert into b values (2);");
  RunHarness h;
  h.Connect(pg.ConnectString(lostDb));
  // The backend is terminated once the data phase begins.
  h.host.onTitle = [&](const std::string& title) {
    if (title.rfind("Scripting Data", 0) == 0)
      pg.RunSql("postgres", "select pg_terminate_backend(pid) from pg_stat_activity where datname = '" + lostDb +
                                "' and pid <> pg_backend_pid();");
  };
  const std::string text = h.Run();
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::FinishedWithErrors) << text;
  EXPECT_EQ(h.owner->session().ErrorTables(), (std::vector<std::string>{"a", "b"}));
  EXPECT_NE(text.find("REM  ERROR: The connection to the database was lost"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 21), "Mervale Stopped ...\r\n");
  EXPECT_FALSE(h.host.HasMessage("Mervale has finished scripting the database"));
  pg.DropDatabase(lostDb);
}

TEST(NothingLost, ALockedSqliteFileIsAnErrorNotAnEmptyTable) {
  RunHarness h;
  const std::string db = h.Path("locked.db");
  ASSERT_EQ(test::RunProcess({"sqlite3", db, "CREATE TABLE t1 (id INTEGER); INSERT INTO t1 VALUES (1);"}, {}).status,
            0);
  h.Connect("DRIVER=SQLite3;Timeout=100;Database=" + db);
  // Another connection holds the file when the run begins; once the run holds its read
  // transaction no other connection can lock it.
  std::unique_ptr<DbConnection> other =
      DbConnection::ConnectWithString(h.host, "DRIVER=SQLite3;Timeout=100;Database=" + db, "", "0");
  Statement lock;
  ASSERT_EQ(other->Execute(lock, "BEGIN EXCLUSIVE TRANSACTION"), "");
  const std::string text = h.Run();
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::FinishedWithErrors) << text;
  EXPECT_NE(text.find("REM  ERROR: The database could not be read: "), std::string::npos) << text;
  EXPECT_EQ(text.find("tables were found"), std::string::npos) << text;
  EXPECT_NE(h.host.messages.back().find("database is locked"), std::string::npos) << h.host.messages.back();
}

}  // namespace
}  // namespace mv

namespace mv {
namespace {

TEST(NothingLost, PostgresqlValuesAreReadByTheirType) {
  PgServer& pg = PgServer::Instance();
  const std::string db = test::UniqueDbName("mv_types");
  pg.CreateDatabase(db);
  pg.RunSql(db,
            "create table v (id int4, d float8, r float4, b bool, x bytea);"
            "insert into v values (1, 0.1::float8 + 0.2::float8, 3.4028235e38, true, '\\x00ff27'::bytea),"
            " (2, null, null, null, null), (3, 'NaN', '-Infinity', false, ''::bytea);");
  RunHarness h;
  h.Connect(pg.ConnectString(db) + "BoolsAsChar=0;");
  h.owner->session().opts.b_DoTabStruct = 0;
  h.owner->session().opts.b_DoIndex = 0;
  h.owner->session().opts.b_DeleteData = 0;
  const std::string text = h.Run();
  // Every digit of a double; the largest float in digits a target's range check accepts.
  EXPECT_NE(text.find("VALUES ( 1, 0.30000000000000004, 3.4028234663852886e+38, 1, '00FF27' );"), std::string::npos)
      << text;
  // A NULL after a value is NULL, never the value before it.
  EXPECT_NE(text.find("VALUES ( 2, NULL, NULL, NULL, NULL );"), std::string::npos) << text;
  // Not-a-number values are strings; a zero-length binary value is not NULL.
  EXPECT_NE(text.find("VALUES ( 3, 'NaN', '-Infinity', 0, '' );"), std::string::npos) << text;
  pg.DropDatabase(db);
}

}  // namespace
}  // namespace mv

namespace mv {
namespace {

// psqlODBC's rows are read in blocks of bound arrays: values around a column's array and past
// what the arrays may grow to, NULL and empty between them, over several blocks, arrive whole.
TEST(NothingLost, PostgresqlRowsReadInBlocksArriveWhole) {
  PgServer& pg = PgServer::Instance();
  const std::string db = test::UniqueDbName("mv_blocks"), copy = test::UniqueDbName("mv_blocks_copy");
  pg.CreateDatabase(db);
  pg.CreateDatabase(copy);
  pg.RunSql(db,
            "create table b (id int primary key, s varchar(10), t text, x bytea, n numeric);"
            "insert into b select i, left(repeat('\u00e9', i % 12), 10), case i % 50 when 7 then null when 8 then ''"
            " else repeat(E'a\\tb\\\\', (i * 37) % 700) end, decode(repeat('00ff', (i * 13) % 900), 'hex'),"
            " i * 1.5 from generate_series(1, 1000) i;"
            "update b set t = repeat('x', 70000), x = decode(repeat('ab', 20000), 'hex') where id in (300, 301, 900);");
  RunHarness h;
  const std::string config = h.Path("blocks.mvl"), script = h.Path("blocks.sql"), trace = h.Path("trace.txt");
  std::ofstream(config, std::ios::binary) << "[Mervale]\nVersion=5.0\ns_WorkingProfile=PostgreSQL\n[Database]\n"
                                             "s_ConnectString="
                                          << pg.ConnectString(db) << "\ns_DatabaseUser=public\nb_IsCatalog=0\n";
  for (const char* format : {"--copy", "--inserts"}) {
    const test::ProcessResult r = test::RunProcess(
        {MV_BATCH_PATH, config, format, "--output", script},
        {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + h.Path("xdg"), "MERVALE_ODBC_TRACE=" + trace});
    ASSERT_EQ(r.status, 0) << r.err;
    pg.RunSql(copy, "drop table if exists b");
    pg.RunScript(copy, script);
    const std::string query =
        "select count(*), md5(string_agg(concat_ws('|', id, md5(coalesce(s, '~')), coalesce(md5(t), '~'), md5(x), n),"
        " ',' order by id)) from b";
    EXPECT_EQ(pg.RunSql(copy, query), pg.RunSql(db, query)) << format;
    // The long values were read again from their blocks: read a row at a time, none would be.
    std::ifstream in(trace);
    int positioned = 0;
    for (std::string line; std::getline(in, line);) positioned += line.rfind("SQLSetPos(", 0) == 0;
    EXPECT_GE(positioned, 3) << format;
    std::filesystem::remove(trace);
  }
  pg.DropDatabase(db);
  pg.DropDatabase(copy);
}

TEST(NothingLost, ALongValueIsReadInAFewPiecesAndWhole) {
  // The SQLite driver measures the whole value on every call: pieces of a fixed size would make
  // the read grow with the square of the value's size. The trace counts the calls.
  RunHarness h;
  const std::string db = h.Path("long.db"), script = h.Path("long.sql"), trace = h.Path("trace.txt");
  ASSERT_EQ(test::RunProcess({"sqlite3", db,
                              "CREATE TABLE t (id INTEGER, v TEXT); INSERT INTO t VALUES (1, "
                              "replace(hex(zeroblob(10000000)), '00', 'ab'));"},
                             {})
                .status,
            0);
  const std::string config = h.Path("long.mvl");
  std::ofstream(config, std::ios::binary) << "[Mervale]\nVersion=5.0\ns_WorkingProfile=SQLite\n[Database]\n"
                                             "s_ConnectString=DRIVER=SQLite3;Database="
                                          << db << "\n";
  const test::ProcessResult r = test::RunProcess(
      {MV_BATCH_PATH, config, "--output", script},
      {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + h.Path("xdg"), "MERVALE_ODBC_TRACE=" + trace});
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream in(trace);
  // Every value's first call asks for 512 bytes; what follows it is the long value's rest.
  int pieces = 0;
  for (std::string line; std::getline(in, line);)
    pieces += line.rfind("SQLGetData(", 0) == 0 && line.find(", 512, ") == std::string::npos;
  EXPECT_LE(pieces, 2);
  const std::string copy = h.Path("copy.db");
  ASSERT_EQ(test::RunProcess({"sqlite3", "-bail", copy, ".read " + script}, {}).status, 0);
  EXPECT_EQ(test::RunProcess({"sqlite3", copy,
                              "SELECT length(v), v = replace(hex(zeroblob(10000000)), '00', 'ab') "
                              "FROM t;"},
                             {})
                .out,
            "20000000|1\n");
}

}  // namespace
}  // namespace mv
