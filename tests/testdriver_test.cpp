// The test ODBC driver, driven the way the application drives a real one: unixODBC's
// ANSI entry points, ODBC 2 style (SQLAllocEnv, SQLError, ...), DRIVER=/path connect.
#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

std::string tempPath(const std::string& name) {
  static int counter = 0;
  return "/tmp/mvtestodbc_" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" + name;
}

// Fixture lines are written with '|' for the tab separator, which keeps them readable.
class FixtureFile {
 public:
  explicit FixtureFile(const std::vector<std::string>& lines) : path_(tempPath("fixture.txt")) {
    std::ofstream out(path_, std::ios::binary);
    for (std::string line : lines) {
      for (char& c : line)
        if (c == '|') c = '\t';
      out << line << '\n';
    }
  }
  ~FixtureFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string connectString(const std::string& fixture, const std::string& extra = "") {
  return std::string("DRIVER=") + MV_TESTDRIVER_PATH + ";FIXTURE=" + fixture + extra;
}

class Statement {
 public:
  Statement(SQLHENV env, SQLHDBC dbc) : env_(env), dbc_(dbc) { EXPECT_EQ(SQLAllocStmt(dbc, &stmt_), SQL_SUCCESS); }
  ~Statement() { SQLFreeStmt(stmt_, SQL_DROP); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  SQLHSTMT handle() const { return stmt_; }

  // The next ODBC 2 diagnostic as "SQLSTATE message", empty when there is none.
  std::string error() {
    SQLCHAR state[6] = {};
    SQLCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLError(env_, dbc_, stmt_, state, &native, message, sizeof message, &length))) return "";
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
  }

  SQLRETURN tables(const char* cat, const char* schem, const char* table, const char* type) {
    return SQLTables(stmt_, sqlText(cat), SQL_NTS, sqlText(schem), SQL_NTS, sqlText(table), SQL_NTS, sqlText(type),
                     SQL_NTS);
  }
  SQLRETURN columns(const char* cat, const char* schem, const char* table) {
    return SQLColumns(stmt_, sqlText(cat), SQL_NTS, sqlText(schem), SQL_NTS, sqlText(table), SQL_NTS, nullptr, 0);
  }
  SQLRETURN statistics(const char* cat, const char* schem, const char* table) {
    return SQLStatistics(stmt_, sqlText(cat), SQL_NTS, sqlText(schem), SQL_NTS, sqlText(table), SQL_NTS, SQL_INDEX_ALL,
                         SQL_ENSURE);
  }
  SQLRETURN exec(const std::string& sql) { return SQLExecDirect(stmt_, sqlText(sql.c_str()), SQL_NTS); }

  // Fetches every remaining row through SQLGetData; `status` receives the final SQLFetch result.
  Rows rows(SQLRETURN* status = nullptr) {
    Rows out;
    SQLSMALLINT count = 0;
    EXPECT_EQ(SQLNumResultCols(stmt_, &count), SQL_SUCCESS);
    SQLRETURN rc;
    while ((rc = SQLFetch(stmt_)) == SQL_SUCCESS) {
      std::vector<Cell> row;
      for (SQLUSMALLINT c = 1; c <= count; ++c) row.push_back(cell(c));
      out.push_back(std::move(row));
    }
    if (status)
      *status = rc;
    else
      EXPECT_EQ(rc, SQL_NO_DATA) << error();
    // As the application does; the driver manager refuses a new call on an open cursor.
    // After a failed fetch the caller reads the diagnostic first, then closes.
    if (rc == SQL_NO_DATA) {
      EXPECT_EQ(SQLFreeStmt(stmt_, SQL_CLOSE), SQL_SUCCESS);
    }
    return out;
  }

  Cell cell(SQLUSMALLINT column) {
    char buffer[512];
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    EXPECT_EQ(rc, SQL_SUCCESS) << error();
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    return std::string(buffer);
  }

  std::string textAttribute(SQLUSMALLINT column, SQLUSMALLINT field) {
    char buffer[256] = {};
    SQLSMALLINT length = 0;
    EXPECT_EQ(SQLColAttribute(stmt_, column, field, buffer, sizeof buffer, &length, nullptr), SQL_SUCCESS);
    return buffer;
  }

  SQLLEN numberAttribute(SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLLEN value = -12345;
    EXPECT_EQ(SQLColAttribute(stmt_, column, field, nullptr, 0, nullptr, &value), SQL_SUCCESS);
    return value;
  }

 private:
  static SQLCHAR* sqlText(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }

  SQLHENV env_;
  SQLHDBC dbc_;
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

// One application-style connection: ODBC 2 handles, driver cursors, full connect string.
class Connection {
 public:
  Connection() {
    EXPECT_EQ(SQLAllocEnv(&env_), SQL_SUCCESS);
    EXPECT_EQ(SQLAllocConnect(env_, &dbc_), SQL_SUCCESS);
    EXPECT_EQ(SQLSetConnectOption(dbc_, SQL_ODBC_CURSORS, SQL_CUR_USE_DRIVER), SQL_SUCCESS);
  }
  ~Connection() {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeConnect(dbc_);
    SQLFreeEnv(env_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  SQLRETURN connect(const std::string& text) {
    SQLCHAR out[1024] = {};
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
                                          SQL_NTS, out, sizeof out, &outLength, SQL_DRIVER_COMPLETE);
    connected_ = SQL_SUCCEEDED(rc);
    if (connected_) completed_ = reinterpret_cast<char*>(out);
    return rc;
  }

  void open(const FixtureFile& fixture, const std::string& extra = "") {
    const SQLRETURN rc = connect(connectString(fixture.path(), extra));
    ASSERT_EQ(rc, SQL_SUCCESS) << diag();
  }

  // The first connection diagnostic as "SQLSTATE message".
  std::string diag() {
    SQLCHAR state[6] = {};
    SQLCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, dbc_, 1, state, &native, message, sizeof message, &length)))
      return "";
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
  }

  std::string info(SQLUSMALLINT type) {
    char buffer[256] = {};
    SQLSMALLINT length = 0;
    EXPECT_EQ(SQLGetInfo(dbc_, type, buffer, sizeof buffer, &length), SQL_SUCCESS) << diag();
    return buffer;
  }

  SQLHENV env() const { return env_; }
  SQLHDBC dbc() const { return dbc_; }
  const std::string& completed() const { return completed_; }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  std::string completed_;
};

Rows rowsOf(std::initializer_list<std::vector<Cell>> rows) { return Rows(rows); }

const Cell null = std::nullopt;

TEST(TestDriver, LoadsThroughTheDriverManagerAndAnswersConnectionQueries) {
  FixtureFile fixture({"# connection facts", "SERVER_NAME|db-host\\t7", "USER_NAME|alice", "DATABASE_NAME|sales"});
  Connection c;
  c.open(fixture);
  EXPECT_EQ(c.completed(), connectString(fixture.path()));
  EXPECT_EQ(c.info(SQL_SERVER_NAME), "db-host\t7");
  EXPECT_EQ(c.info(SQL_USER_NAME), "alice");
  EXPECT_EQ(c.info(SQL_DRIVER_ODBC_VER), "03.00");
  EXPECT_EQ(c.info(SQL_DATABASE_NAME), "sales");

  // The driver manager only forwards what SQLGetFunctions confirmed.
  for (SQLUSMALLINT f : {SQL_API_SQLTABLES, SQL_API_SQLCOLUMNS, SQL_API_SQLSTATISTICS, SQL_API_SQLGETDATA,
                         SQL_API_SQLCOLATTRIBUTE, SQL_API_SQLBINDCOL, SQL_API_SQLEXECDIRECT}) {
    SQLUSMALLINT supported = SQL_FALSE;
    EXPECT_EQ(SQLGetFunctions(c.dbc(), f, &supported), SQL_SUCCESS);
    EXPECT_EQ(supported, SQL_TRUE) << "function " << f;
  }

  const char* catalog = "archive";
  EXPECT_EQ(SQLSetConnectAttr(c.dbc(), SQL_ATTR_CURRENT_CATALOG, const_cast<char*>(catalog), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(c.info(SQL_DATABASE_NAME), "archive");
}

TEST(TestDriver, ConnectFailuresReportTheirCause) {
  {
    FixtureFile fixture({"CONNECT_ERROR|Login failed for user 'bob'"});
    Connection c;
    EXPECT_EQ(c.connect(connectString(fixture.path())), SQL_ERROR);
    EXPECT_EQ(c.diag(), "08001 Login failed for user 'bob'");
  }
  {
    FixtureFile fixture({"SERVER_NAME|x", "TABLE|a|b|c"});
    Connection c;
    EXPECT_EQ(c.connect(connectString(fixture.path())), SQL_ERROR);
    EXPECT_EQ(c.diag(), "08001 fixture " + fixture.path() + " line 2: TABLE takes 4 to 5 tab-separated fields, got 3");
  }
  {
    FixtureFile fixture({"QUERY|SELECT 1", "COL|x|4", "ROW|1"});
    Connection c;
    EXPECT_EQ(c.connect(connectString(fixture.path())), SQL_ERROR);
    EXPECT_NE(c.diag().find("QUERY block starting at line 1 has no END"), std::string::npos) << c.diag();
  }
  {
    FixtureFile fixture({"SERVER_NAME|a\\qb"});
    Connection c;
    EXPECT_EQ(c.connect(connectString(fixture.path())), SQL_ERROR);
    EXPECT_EQ(c.diag(), "08001 fixture " + fixture.path() + " line 1: unknown escape \\q");
  }
  {
    Connection c;
    EXPECT_EQ(c.connect(connectString("/nonexistent/fixture.txt")), SQL_ERROR);
    EXPECT_EQ(c.diag(), "08001 cannot open fixture /nonexistent/fixture.txt");
  }
}

TEST(TestDriver, ListsSchemasAndCatalogsOrFailsTheProbe) {
  FixtureFile fixture({"SCHEMA|dbo", "SCHEMA|hr|payroll", "CATALOG|payroll", "CATALOG|master"});
  Connection c;
  c.open(fixture);
  {
    Statement s(c.env(), c.dbc());
    ASSERT_EQ(s.tables("", "%", "", nullptr), SQL_SUCCESS) << s.error();
    EXPECT_EQ(s.rows(), rowsOf({{null, "dbo", null, null, null}, {"payroll", "hr", null, null, null}}));
  }
  {
    Statement s(c.env(), c.dbc());
    ASSERT_EQ(s.tables("%", "", "", nullptr), SQL_SUCCESS) << s.error();
    EXPECT_EQ(s.rows(), rowsOf({{"payroll", null, null, null, null}, {"master", null, null, null, null}}));
  }

  FixtureFile failing({"SCHEMAS_ERROR|schemas are secret", "CATALOGS_ERROR|catalogs are secret"});
  Connection f;
  f.open(failing);
  Statement s(f.env(), f.dbc());
  EXPECT_EQ(s.tables("", "%", "", nullptr), SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 schemas are secret");
  EXPECT_EQ(s.tables("%", "", "", nullptr), SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 catalogs are secret");
}

TEST(TestDriver, ListsTablesByOwnerAndTypeAndLogsTheArguments) {
  const std::string log = tempPath("calls.log");
  FixtureFile fixture({
      "TABLE|sales|dbo|Staff Data|TABLE|people",
      "TABLE|sales|dbo|Orders\\tOld|TABLE",
      "TABLE|sales|dbo|Recent|VIEW",
      "TABLE|\\N|hr|Payroll|TABLE|\\N",
      "TABLES_ERROR|WITH_OWNER|owner lookups are broken",
  });
  Connection c;
  c.open(fixture, ";CALLLOG=" + log);
  {
    Statement s(c.env(), c.dbc());
    ASSERT_EQ(s.tables(nullptr, nullptr, nullptr, "'TABLE'"), SQL_SUCCESS) << s.error();
    EXPECT_EQ(s.rows(), rowsOf({{"sales", "dbo", "Staff Data", "TABLE", "people"},
                                {"sales", "dbo", "Orders\tOld", "TABLE", null},
                                {null, "hr", "Payroll", "TABLE", null}}));
    EXPECT_EQ(s.tables(nullptr, "hr", nullptr, "'TABLE'"), SQL_ERROR);
    EXPECT_EQ(s.error(), "S1000 owner lookups are broken");
  }
  EXPECT_EQ(readFile(log), "SQLDriverConnect\t" + connectString(fixture.path(), ";CALLLOG=" + log) +
                               "\nSQLTables\t\\N\t\\N\t\\N\t'TABLE'\nSQLTables\t\\N\thr\t\\N\t'TABLE'\n");
  std::remove(log.c_str());

  // Without the fault, owners filter: the schema here, the catalog in the second call.
  FixtureFile plain({"TABLE|sales|dbo|A|TABLE", "TABLE|sales|hr|B|TABLE", "TABLE|hist|dbo|C|TABLE",
                     "TABLES_ERROR|WITHOUT_OWNER|full listing refused"});
  Connection p;
  p.open(plain);
  Statement s(p.env(), p.dbc());
  ASSERT_EQ(s.tables("", "%", "", nullptr), SQL_SUCCESS) << s.error();
  EXPECT_TRUE(s.rows().empty());  // no SCHEMA lines: an empty list, not a failure
  ASSERT_EQ(s.tables(nullptr, "dbo", nullptr, "'TABLE'"), SQL_SUCCESS) << s.error();
  EXPECT_EQ(s.rows().size(), 2u);
  ASSERT_EQ(s.tables("sales", nullptr, nullptr, "'TABLE'"), SQL_SUCCESS) << s.error();
  Rows rows = s.rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][2], "B");
  EXPECT_EQ(s.tables(nullptr, nullptr, nullptr, "'TABLE'"), SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 full listing refused");
}

TEST(TestDriver, FillsBoundCatalogColumnsWithConversions) {
  FixtureFile fixture({
      "COLUMN|sales|dbo|T|id|-11|uniqueidentifier|0|16|\\N|\\N|0|row key",
      "COLUMN|sales|dbo|T|note|-1|text|1000000|1000000|\\N|\\N|2|\\N",
      "COLUMN|sales|dbo|T|oddity|12|varchar|-5|0|0|10|1|",
      "COLUMN|sales|dbo|U|other|4|int|10|4|0|10|1|",
  });
  Connection c;
  c.open(fixture);
  Statement s(c.env(), c.dbc());
  ASSERT_EQ(s.columns("sales", "dbo", "T"), SQL_SUCCESS) << s.error();

  char name[5];
  SQLSMALLINT dataType = 0, nullable = 0;
  SQLINTEGER size = 0, ordinal = 0;
  char isNullable[8];
  SQLLEN nameInd = 0, typeInd = 0, sizeInd = 0, nullableInd = 0, ordinalInd = 0, isNullableInd = 0;
  ASSERT_EQ(SQLBindCol(s.handle(), 4, SQL_C_CHAR, name, sizeof name, &nameInd), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(s.handle(), 5, SQL_C_SSHORT, &dataType, 0, &typeInd), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(s.handle(), 7, SQL_C_SLONG, &size, 0, &sizeInd), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(s.handle(), 11, SQL_C_SSHORT, &nullable, 0, &nullableInd), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(s.handle(), 17, SQL_C_SLONG, &ordinal, 0, &ordinalInd), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(s.handle(), 18, SQL_C_CHAR, isNullable, sizeof isNullable, &isNullableInd), SQL_SUCCESS);

  ASSERT_EQ(SQLFetch(s.handle()), SQL_SUCCESS) << s.error();
  EXPECT_STREQ(name, "id");
  EXPECT_EQ(nameInd, 2);
  EXPECT_EQ(dataType, -11);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(nullable, 0);
  EXPECT_EQ(ordinal, 1);
  EXPECT_STREQ(isNullable, "NO");
  EXPECT_EQ(s.cell(6), "uniqueidentifier");  // unbound columns still come through SQLGetData
  EXPECT_EQ(s.cell(9), null);

  ASSERT_EQ(SQLFetch(s.handle()), SQL_SUCCESS) << s.error();
  EXPECT_EQ(size, 1000000);
  EXPECT_EQ(nullable, 2);
  EXPECT_EQ(ordinal, 2);
  EXPECT_EQ(isNullableInd, 0);  // unknown nullability: empty IS_NULLABLE
  EXPECT_EQ(s.cell(12), null);

  // A name longer than the buffer: cut, terminated, full length in the indicator.
  ASSERT_EQ(SQLFetch(s.handle()), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(s.error(), "01004 String data, right truncated");
  EXPECT_STREQ(name, "oddi");
  EXPECT_EQ(nameInd, 6);
  EXPECT_EQ(size, -5);
  EXPECT_STREQ(isNullable, "YES");
  EXPECT_EQ(SQLFetch(s.handle()), SQL_NO_DATA);

  // A NULL into a bound number sets only the indicator.
  ASSERT_EQ(SQLFreeStmt(s.handle(), SQL_CLOSE), SQL_SUCCESS);
  SQLSMALLINT digits = 77;
  SQLLEN digitsInd = 0;
  ASSERT_EQ(SQLBindCol(s.handle(), 9, SQL_C_SSHORT, &digits, 0, &digitsInd), SQL_SUCCESS);
  ASSERT_EQ(s.columns(nullptr, nullptr, "T"), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(s.handle()), SQL_SUCCESS);
  EXPECT_EQ(digitsInd, SQL_NULL_DATA);
  EXPECT_EQ(digits, 77);
}

TEST(TestDriver, ColumnsAndStatisticsFaults) {
  FixtureFile fixture({
      "COLUMN|\\N|dbo|T|a|4|int|10|4|0|10|0",
      "COLUMN|\\N|dbo|T|b|4|int|10|4|0|10|0",
      "COLUMN|\\N|dbo|T|c|4|int|10|4|0|10|0",
      "COLUMN|\\N|dbo|U|x|4|int|10|4|0|10|0",
      "COLUMNS_ERROR|U|WITH_OWNER|no owner access",
      "COLUMNS_FETCH_ERROR|T|2|connection reset while reading columns",
      "STATISTIC|\\N|dbo|T|\\N|\\N|\\N|0|\\N|\\N|\\N|120|4",
      "STATISTIC|\\N|dbo|T|0|\\N|PK_T|1|1|a|A|\\N|\\N",
      "STATISTIC|\\N|dbo|T|1|\\N|IX_T|3|1|b|D|\\N|\\N",
      "STATISTIC|\\N|dbo|T|0|\\N|PK_T|1|2|c|A|\\N|\\N",
      "STATISTIC|\\N|dbo|U|1|\\N|IX_U|3|1|x|A|\\N|\\N|x > 0",
      "STATISTICS_ERROR|*|WITHOUT_OWNER|statistics need an owner",
      "STATISTICS_FETCH_ERROR|U|0|index scan failed",
  });
  Connection c;
  c.open(fixture);
  Statement s(c.env(), c.dbc());

  ASSERT_EQ(s.columns(nullptr, "dbo", "T"), SQL_SUCCESS);
  SQLRETURN status = SQL_SUCCESS;
  EXPECT_EQ(s.rows(&status).size(), 2u);
  EXPECT_EQ(status, SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 connection reset while reading columns");
  ASSERT_EQ(SQLFreeStmt(s.handle(), SQL_CLOSE), SQL_SUCCESS);

  EXPECT_EQ(s.columns(nullptr, "dbo", "U"), SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 no owner access");
  ASSERT_EQ(s.columns(nullptr, nullptr, "U"), SQL_SUCCESS);
  EXPECT_EQ(s.rows().size(), 1u);

  EXPECT_EQ(s.statistics(nullptr, nullptr, "T"), SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 statistics need an owner");
  ASSERT_EQ(s.statistics(nullptr, "dbo", "T"), SQL_SUCCESS) << s.error();
  EXPECT_EQ(s.rows(), rowsOf({
                          {null, "dbo", "T", null, null, null, "0", null, null, null, "120", "4", null},
                          {null, "dbo", "T", "0", null, "PK_T", "1", "1", "a", "A", null, null, null},
                          {null, "dbo", "T", "1", null, "IX_T", "3", "1", "b", "D", null, null, null},
                          {null, "dbo", "T", "0", null, "PK_T", "1", "2", "c", "A", null, null, null},
                      }));
  ASSERT_EQ(s.statistics(nullptr, "dbo", "U"), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(s.handle()), SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 index scan failed");
}

TEST(TestDriver, ServesStatementsWithMetadataAndFaults) {
  FixtureFile fixture({
      "QUERY|SELECT * FROM \"Staff Data\"",
      "  COL|id|4|Staff Data",
      "  COL|name|12|Staff Data",
      "  COL|hired|11",
      "  ROW|1|Ann|2020-01-02 03:04:05",
      "  ROW|2||\\N",
      "END",
      "QUERY_PREFIX|SELECT big",
      "  COL|blob|-1|docs",
      "  ROW|\\R300000*x",
      "  ROW|\\R3*ab\\t",
      "END",
      "QUERY|USE sales",
      "  INFO|Changed database context to 'sales'.",
      "END",
      "QUERY|SELECT broken",
      "  ERROR|Invalid object name 'broken'.",
      "END",
      "QUERY|SELECT n FROM many",
      "  COL|n|4",
      "  ROW|1",
      "  ROW|2",
      "  ROW|3",
      "  FETCH_ERROR|1|lost connection",
      "END",
  });
  Connection c;
  c.open(fixture);
  Statement s(c.env(), c.dbc());

  ASSERT_EQ(s.exec("SELECT * FROM \"Staff Data\""), SQL_SUCCESS) << s.error();
  SQLSMALLINT count = 0;
  ASSERT_EQ(SQLNumResultCols(s.handle(), &count), SQL_SUCCESS);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(s.textAttribute(2, SQL_DESC_NAME), "name");
  EXPECT_EQ(s.textAttribute(1, SQL_COLUMN_TABLE_NAME), "Staff Data");
  EXPECT_EQ(s.textAttribute(2, SQL_DESC_BASE_TABLE_NAME), "Staff Data");
  EXPECT_EQ(s.textAttribute(3, SQL_DESC_BASE_TABLE_NAME), "");
  EXPECT_EQ(s.numberAttribute(1, SQL_DESC_TYPE), SQL_INTEGER);
  EXPECT_EQ(s.numberAttribute(3, SQL_DESC_TYPE), SQL_TIMESTAMP);
  EXPECT_EQ(s.rows(), rowsOf({{"1", "Ann", "2020-01-02 03:04:05"}, {"2", "", null}}));
  const char* staff = "SELECT * FROM \"Staff Data\"";
  ASSERT_EQ(SQLPrepare(s.handle(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(staff)), SQL_NTS), SQL_SUCCESS);
  ASSERT_EQ(SQLExecute(s.handle()), SQL_SUCCESS) << s.error();
  EXPECT_EQ(s.rows().size(), 2u);

  // A long value arrives in pieces; each indicator gives what is still left.
  ASSERT_EQ(s.exec("SELECT big FROM docs"), SQL_SUCCESS) << s.error();
  ASSERT_EQ(SQLFetch(s.handle()), SQL_SUCCESS);
  std::string value;
  char piece[4097];
  SQLLEN indicator = 0;
  SQLRETURN rc;
  int pieces = 0;
  while ((rc = SQLGetData(s.handle(), 1, SQL_C_CHAR, piece, sizeof piece, &indicator)) != SQL_NO_DATA) {
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << s.error();
    ASSERT_EQ(indicator, static_cast<SQLLEN>(300000 - value.size()));
    if (rc == SQL_SUCCESS_WITH_INFO) {
      EXPECT_EQ(s.error(), "01004 String data, right truncated");
      ASSERT_EQ(std::string(piece).size(), 4096u);
    }
    value += piece;
    ++pieces;
  }
  EXPECT_EQ(value, std::string(300000, 'x'));
  EXPECT_EQ(pieces, 74);
  ASSERT_EQ(SQLFetch(s.handle()), SQL_SUCCESS);
  EXPECT_EQ(s.cell(1), "ab\tab\tab\t");
  EXPECT_EQ(SQLFetch(s.handle()), SQL_NO_DATA);

  EXPECT_EQ(s.exec("USE sales"), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(s.error(), "01000 Changed database context to 'sales'.");
  EXPECT_EQ(s.exec("SELECT broken"), SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 Invalid object name 'broken'.");
  EXPECT_EQ(s.exec("SELECT nothing"), SQL_ERROR);
  EXPECT_EQ(s.error(), "37000 statement not in fixture: SELECT nothing");

  ASSERT_EQ(s.exec("SELECT n FROM many"), SQL_SUCCESS);
  SQLRETURN status = SQL_SUCCESS;
  EXPECT_EQ(s.rows(&status), rowsOf({{"1"}}));
  EXPECT_EQ(status, SQL_ERROR);
  EXPECT_EQ(s.error(), "S1000 lost connection");
}

TEST(TestDriver, ConnectionsOnSeparateThreadsAreIndependent) {
  std::vector<std::unique_ptr<FixtureFile>> fixtures;
  for (int i = 0; i < 4; ++i)
    fixtures.push_back(std::make_unique<FixtureFile>(std::vector<std::string>{
        "SERVER_NAME|server" + std::to_string(i), "QUERY|SELECT v", "COL|v|12", "ROW|" + std::to_string(i), "END"}));
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&fixtures, i] {
      Connection c;
      c.open(*fixtures[i]);
      EXPECT_EQ(c.info(SQL_SERVER_NAME), "server" + std::to_string(i));
      Statement s(c.env(), c.dbc());
      for (int round = 0; round < 25; ++round) {
        ASSERT_EQ(s.exec("SELECT v"), SQL_SUCCESS);
        ASSERT_EQ(s.rows(), rowsOf({{std::to_string(i)}}));
      }
    });
  }
  for (std::thread& t : threads) t.join();
}

}  // namespace
