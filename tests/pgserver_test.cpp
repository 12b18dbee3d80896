// The PostgreSQL fixture itself: every other PostgreSQL test trusts that it gives a real
// server reached through psqlODBC, and a database of its own per test.
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/PgServer.h"
#include "support/UniqueName.h"

namespace mv::test {
namespace {

// A bare ODBC 2 session, independent of the program's own connection code, so that a fault
// there cannot hide a fault here.
class Session {
 public:
  explicit Session(const std::string& connect) {
    SQLAllocEnv(&env_);
    SQLAllocConnect(env_, &dbc_);
    SQLCHAR out[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)connect.c_str(), SQL_NTS, out, sizeof out, &outLen,
                                    SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) throw std::runtime_error("connect: " + Error(SQL_NULL_HSTMT));
    connected_ = true;
  }
  ~Session() {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeConnect(dbc_);
    SQLFreeEnv(env_);
  }

  std::string Info(SQLUSMALLINT what) {
    char buf[256] = {};
    SQLSMALLINT len = 0;
    SQLGetInfo(dbc_, what, buf, sizeof buf, &len);
    return buf;
  }

  // First column of every row, NULL as "<null>".
  std::vector<std::string> Column(const std::string& sql) {
    return Fetch([&](SQLHSTMT st) { return SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS); });
  }

  // Table names of a schema, as the catalog reports them.
  std::vector<std::string> Tables(const std::string& schema) {
    return Fetch(
        [&](SQLHSTMT st) {
          return SQLTables(st, nullptr, 0, (SQLCHAR*)schema.c_str(), SQL_NTS, (SQLCHAR*)"%", SQL_NTS, (SQLCHAR*)"TABLE",
                           SQL_NTS);
        },
        3);
  }

 private:
  template <class Call>
  std::vector<std::string> Fetch(Call call, SQLUSMALLINT column = 1) {
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocStmt(dbc_, &st);
    std::vector<std::string> rows;
    if (!SQL_SUCCEEDED(call(st))) {
      std::string e = Error(st);
      SQLFreeStmt(st, SQL_DROP);
      throw std::runtime_error(e);
    }
    while (SQL_SUCCEEDED(SQLFetch(st))) {
      char buf[512];
      SQLLEN ind = 0;
      SQLGetData(st, column, SQL_C_CHAR, buf, sizeof buf, &ind);
      rows.push_back(ind == SQL_NULL_DATA ? "<null>" : buf);
    }
    SQLFreeStmt(st, SQL_DROP);
    return rows;
  }

  std::string Error(SQLHSTMT st) {
    SQLCHAR state[6] = {}, text[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLError(env_, dbc_, st, state, &native, text, sizeof text, &len);
    return std::string((char*)state) + " " + (char*)text;
  }

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

TEST(PgServerTest, ServesPostgresThroughPsqlOdbcOnLoopback) {
  PgServer& pg = PgServer::Instance();
  const std::string db = UniqueDbName("pgfixture_basic");
  pg.CreateDatabase(db);
  const std::string cs = pg.ConnectString(db);
  EXPECT_NE(cs.find("PORT=" + std::to_string(pg.Port()) + ";"), std::string::npos) << cs;

  Session s(cs);
  EXPECT_EQ(s.Info(SQL_DBMS_NAME), "PostgreSQL");
  EXPECT_EQ(s.Column("select 1"), std::vector<std::string>{"1"});
  EXPECT_EQ(s.Column("select current_database()"), std::vector<std::string>{db});
  // Superuser, so tests can create schemas and owners of their own.
  EXPECT_EQ(s.Column("select rolsuper::int from pg_roles where rolname = current_user"), std::vector<std::string>{"1"});
  EXPECT_EQ(s.Column("show listen_addresses"), std::vector<std::string>{"127.0.0.1"});

  // A wrong password is refused: the server really checks what the connect string carries.
  std::string bad = cs;
  bad.replace(bad.find("PWD="), 4, "PWD=x");
  EXPECT_THROW(Session{bad}, std::runtime_error);
}

TEST(PgServerTest, DatabasesAreIndependentAndRecreatedEmpty) {
  PgServer& pg = PgServer::Instance();
  const std::string dbA = UniqueDbName("pgfixture_a"), dbB = UniqueDbName("pgfixture_b");
  pg.CreateDatabase(dbA);
  pg.CreateDatabase(dbB);
  pg.RunSql(dbA,
            "create schema sales;\n"
            "create table sales.orders (id integer primary key, customer varchar(40));\n"
            "insert into sales.orders values (1, 'O''Brien'), (2, NULL);\n");

  {
    Session a(pg.ConnectString(dbA));
    EXPECT_EQ(a.Tables("sales"), std::vector<std::string>{"orders"});
    EXPECT_EQ(a.Column("select customer from sales.orders order by id"),
              (std::vector<std::string>{"O'Brien", "<null>"}));
    Session b(pg.ConnectString(dbB));
    EXPECT_TRUE(b.Tables("sales").empty());
    EXPECT_EQ(b.Column("select count(*) from information_schema.schemata "
                       "where schema_name = 'sales'"),
              std::vector<std::string>{"0"});

    // Re-creating a database while a session still holds it open gives an empty one.
    pg.CreateDatabase(dbA);
  }
  EXPECT_EQ(pg.RunSql(dbA,
                      "select count(*) from information_schema.schemata "
                      "where schema_name = 'sales'"),
            "0\n");
  pg.DropDatabase(dbA);
  pg.DropDatabase(dbB);
  EXPECT_EQ(pg.RunSql("postgres", "select count(*) from pg_database where datname in ('" + dbA + "', '" + dbB + "')"),
            "0\n");
}

TEST(PgServerTest, RunsScriptsAndReportsTheirErrors) {
  PgServer& pg = PgServer::Instance();
  const std::string db = UniqueDbName("pgfixture_script");
  pg.CreateDatabase(db);
  const auto path = std::filesystem::temp_directory_path() / ("mervale-" + db + ".sql");
  {
    std::ofstream f(path);
    f << "create table t (k integer, v text);\n"
         "insert into t values (1, 'x'), (2, NULL);\n"
         "select k, v from t order by k;\n";
  }
  EXPECT_EQ(pg.RunScript(db, path.string()), "1|x\n2|\n");
  std::filesystem::remove(path);

  // The first error stops the script and reaches the test with psql's message.
  try {
    pg.RunSql(db,
              "insert into t values (3, 'y');\nselect * from missing;\n"
              "insert into t values (4, 'z');\n");
    ADD_FAILURE() << "a failing statement did not throw";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("\"missing\" does not exist"), std::string::npos) << e.what();
  }
  EXPECT_EQ(pg.RunSql(db, "select max(k) from t"), "3\n");
  EXPECT_THROW(pg.RunScript(db, "/nonexistent/script.sql"), std::runtime_error);
}

}  // namespace
}  // namespace mv::test
