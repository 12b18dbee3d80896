// A condition from a configuration someone else wrote: read by each engine's own lexical rules,
// one expression that cannot write, lock, wait or leave the read-only run. The bypasses run
// against real engines, the source counted before and after.
#include "db/ConditionCheck.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/MariaDbServer.h"
#include "support/PgServer.h"
#include "support/Process.h"
#include "support/RunHarness.h"
#include "support/UniqueName.h"

namespace mv {
namespace {

using test::RunHarness;

TEST(ConditionCheck, EachEngineReadsItsOwnQuotesCommentsAndCalls) {
  const Engine S = Engine::SQLite, P = Engine::PostgreSQL, M = Engine::MariaDB, O = Engine::Other;
  struct Case {
    Engine engine;
    const char* condition;
    const char* refusal;  // what the refusal starts with; "" when the condition may run
  };
  const Case cases[] = {
      {P, "name <> 'a;b' and id > 0", ""},
      {P, "name <> $$'$$; commit; begin read write; insert into audit(note) values ($$x$$); commit",
       "holds a statement"},
      {P, "name <> $q$;$q$", ""},
      {P, "a$b = 1 and x = $1", ""},
      {P, "id = 1 --\r; insert into audit values (1)", "holds a statement"},
      {P, "id = 1 /* /* */ ; */", ""},
      {P, "id = 1 /* /* */ */ ; x", "holds a statement"},
      {P, "name = E'\\'; x'", ""},
      {P, "name = E'\\\\'; x", "holds a statement"},
      {P, "name = 'a\\'; x'", "holds a statement"},  // a server that reads backslashes
      {P, "set_config('default_transaction_read_only','off',false) is not null", "calls set_config"},
      {P, "\"set_config\" ('transaction_read_only', 'off', false) is not null", "calls set_config"},
      {P, "pg_catalog.nextval('s1') > 0", "calls nextval"},
      {P, "lo_create(0) > 0", "calls lo_create"},
      {P, "dblink_exec('dbname=x', 'insert') is not null", "calls dblink_exec"},
      {P, "id in (select 1 from pg_sleep(100))", "calls pg_sleep"},
      {P, "query_to_xml('select 1', true, true, '') is not null", "calls query_to_xml"},
      {P, "name = 'set_config(x)' and lower(name) = 'a'", ""},
      {P, "id = 1 into x", "holds INTO"},
      {P, "name = 'open", "holds an unterminated"},
      {P, "id = 1 /* open", "holds an unterminated"},
      {M, "name = 'a' # '\n; insert into audit values (1)", "holds a statement"},
      {M, "name = 'it''s' and id--1 > 0", ""},
      {M, "name = \"a\\\";\"", "holds a statement"},  // a server without backslash escapes
      {M, "id = 1 /*!; insert */", "holds an executable comment"},
      {M, "id = 1 into outfile '/tmp/x'", "holds INTO"},
      {M, "sleep(20) = 0", "calls sleep"},
      {M, "`benchmark`(1000, md5('a')) = 0", "calls benchmark"},
      {S, "load_extension('/tmp/evil.so') is null", "calls load_extension"},
      {S, "[load_extension]('/tmp/evil.so') is null", "calls load_extension"},
      {S, "name = 'a\\'; x'", "holds a statement"},
      {S, "name = 'a\\' and [x;y] = 1", ""},
      {S, "id = 1 -- x\n", ""},
      {O, "name <> $$'$$; x", "holds a statement"},
      {O, "sleep(1) = 0", "calls sleep"},
  };
  for (const Case& c : cases) {
    const std::string why = ConditionRefusal(c.condition, c.engine);
    if (*c.refusal == '\0')
      EXPECT_EQ(why, "") << c.condition;
    else
      EXPECT_EQ(why.rfind(c.refusal, 0), 0u) << c.condition << " -> " << why;
  }
}

// Each table's condition in a run; the run goes on past a refused one, so one run tries them all.
void SetConditions(RunHarness& h, const std::vector<std::pair<std::string, std::string>>& conditions) {
  for (const auto& [table, condition] : conditions) h.owner->session().opts.WhereStatements[table] = condition;
}

TEST(ConditionCheck, BypassesOnEachEngineLeaveTheSourceUnchanged) {
  using test::PgServer;
  PgServer& pg = PgServer::Instance();
  const std::string db = test::UniqueDbName("mv_bypass");
  pg.CreateDatabase(db);
  std::string tables;
  for (int i = 1; i <= 6; ++i)
    tables += "create table t" + std::to_string(i) + " (id int4, name text); insert into t" + std::to_string(i) +
              " select g, 'n' from generate_series(1, 20) g;";
  pg.RunSql(db, tables + "create table audit (note text); create sequence s1;");
  const std::string counts =
      "select (select count(*) from audit), (select last_value from s1), (select count(*) from "
      "pg_largeobject_metadata);";
  const std::string before = pg.RunSql(db, counts);
  {
    RunHarness h;
    h.Connect(pg.ConnectString(db));
    SetConditions(h, {{"T1", "name <> $$'$$; commit; begin read write; insert into audit(note) values ($$x$$); commit"},
                      {"T2", "id > 0 --\r; insert into audit values ('cr')"},
                      {"T3", "set_config('default_transaction_read_only','off',false) is not null"},
                      {"T4", "nextval('s1') > 0"},
                      {"T5", "lo_create(0) > 0"},
                      {"T6", "id > 0"}});
    const std::string text = h.Run();
    for (const char* refused : {"T1 holds a statement separator", "T2 holds a statement separator",
                                "T3 calls set_config", "T4 calls nextval", "T5 calls lo_create"})
      EXPECT_NE(text.find(std::string("REM  ERROR: The condition for table ") + refused), std::string::npos)
          << refused << "\n"
          << text;
    EXPECT_EQ(h.owner->session().ErrorTables(), (std::vector<std::string>{"t1", "t2", "t3", "t4", "t5"}));
    EXPECT_NE(text.find("INSERT INTO T6"), std::string::npos) << text;
  }
  EXPECT_EQ(pg.RunSql(db, counts), before);
  pg.DropDatabase(db);

  using test::MariaDbServer;
  MariaDbServer& maria = MariaDbServer::Instance();
  const std::string mdb = test::UniqueDbName("mv_bypass");
  maria.CreateDatabase(mdb);
  maria.RunSql(mdb,
               "create table t1 (id int, name text); insert into t1 values (1, 'a'); create table t2 like t1; "
               "insert into t2 select * from t1; create table audit (note text);");
  const std::string outfile = "/tmp/mv_outfile_" + std::to_string(getpid());
  {
    RunHarness h;
    h.Connect(maria.ConnectString(mdb));
    SetConditions(h, {{"T1", "name = 'a' # '\n; insert into audit values ('x')"},
                      {"T2", "id = 1 into outfile '" + outfile + "'"}});
    const std::string text = h.Run();
    EXPECT_NE(text.find("T1 holds a statement separator"), std::string::npos) << text;
    EXPECT_NE(text.find("T2 holds INTO"), std::string::npos) << text;
  }
  EXPECT_EQ(maria.RunSql(mdb, "select count(*) from audit;"), "0\n");
  // The driver's multi-statement option is taken out of a connect string that sets it.
  RunHarness m;
  m.Connect(maria.ConnectString(mdb) + ";OPTION=67108864");
  Statement stmt;
  EXPECT_NE(m.owner->session().connection.get()->Execute(stmt, "select 1; insert into audit values ('x')"), "");
  EXPECT_EQ(maria.RunSql(mdb, "select count(*) from audit;"), "0\n");
  EXPECT_FALSE(std::filesystem::exists(outfile));
}

TEST(ConditionCheck, SqliteLoadsNoExtensionFromACondition) {
  RunHarness h;
  const std::string db = h.Path("src.db");
  ASSERT_EQ(test::RunProcess({"sqlite3", db, "CREATE TABLE t (id INTEGER); INSERT INTO t VALUES (1);"}, {}).status, 0);
  h.Connect("DRIVER=SQLite3;Database=" + db);
  h.owner->session().opts.WhereStatements["T"] = "load_extension('" + h.Path("evil.so") + "') is null";
  const std::string text = h.Run();
  EXPECT_NE(text.find("REM  ERROR: The condition for table T calls load_extension"), std::string::npos) << text;
  // Past the check too, the program's connection loads nothing.
  Statement stmt;
  DbConnection& c = *h.owner->session().connection.get();
  std::string error = c.Execute(stmt, "select load_extension('" + h.Path("evil.so") + "')");
  // A driver that steps rows as they are fetched runs the call only at the fetch.
  if (error.empty() && !Succeeded(SQLFetch(stmt.get()))) {
    c.ReadDiagnostics(stmt.get());
    error = c.LastError().text;
  }
  EXPECT_NE(error.find("extension loading is off"), std::string::npos) << error;
}

}  // namespace
}  // namespace mv
