// Free-form SQL runs against real databases: the demo SQLite database through the SQLite ODBC
// driver, and the PostgreSQL test server; in process and through mervale-batch --free-form.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "base/MemoryScriptWindow.h"
#include "run/RunController.h"
#include "support/PgServer.h"
#include "support/Process.h"
#include "support/RunHarness.h"
#include "support/UniqueName.h"

namespace mv::test {
namespace {

namespace fs = std::filesystem;

const std::string kDemoDb = MV_BINARY_DIR "/demo/demo.db";
// A SQLite connection is titled with its driver and file.
const std::string kDemoTitle = "SQLite3(" + kDemoDb + ")";
const std::regex kFooter("\r\n\r\nREM  --- End of Mervale --- Elapsed Time: \\d\\d:\\d\\d:\\d\\d ---\r\n$");

// The header a free-form run writes with remarks on, for a one-line statement.
std::string Header(const std::string& title, const std::string& sql) {
  return "REM  DATABASE:  " + title +
         "\r\n\r\n\r\nREM  The following scripts were created from the following free form statement:\r\nREM\r\n"
         "REM  " +
         sql + "\r\n\r\n\r\n";
}

// What lies between the header and the footer; fails the test when either is missing.
std::string Body(const std::string& script, const std::string& header) {
  EXPECT_EQ(script.rfind(header, 0), 0u) << script.substr(0, 400);
  std::smatch m;
  EXPECT_TRUE(std::regex_search(script, m, kFooter)) << script.substr(script.size() > 300 ? script.size() - 300 : 0);
  if (script.rfind(header, 0) != 0 || m.empty()) return "<no header or footer>";
  return script.substr(header.size(), static_cast<size_t>(m.position(0)) - header.size());
}

class FreeFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.profile().Substitutions.push_back({"'", "''"});
    h.Connect("DRIVER=SQLite3;Database=" + kDemoDb);
  }

  // Applies the profile as a configuration load does, then runs sql to its end.
  std::string Run(const std::string& sql) {
    RunController& o = *h.owner;
    ApplyWorkingProfile(o.session().profiles, o.session().opts.s_WorkingProfile, o.session().working);
    o.session().opts.s_GlobalPassSql = sql;
    h.host.window.Empty();
    if (!o.StartFreeFormRun()) return "<not started>";
    o.Wait();
    return h.host.window.WholeText();
  }

  RunHarness h;
};

TEST_F(FreeFormTest, RowsBecomeInsertsIntoTheTableTheReaderFinds) {
  const std::string sql = "SELECT customer_id, last_name, notes FROM customers WHERE customer_id IN (1, 2) ORDER BY 1";
  const std::string script = Run(sql);
  EXPECT_EQ(Body(script, Header(kDemoTitle, sql)),
            "INSERT INTO CUSTOMERS ( customer_id, last_name, notes )\t\t\r\nVALUES ( 1, 'O''Brien', NULL );\r\n\r\n"
            "INSERT INTO CUSTOMERS ( customer_id, last_name, notes )\t\t\r\n"
            "VALUES ( 2, 'Whitaker', 'Prefers delivery after 5 pm' );\r\n\r\n");
  EXPECT_TRUE(h.host.HasMessage("Mervale has finished scripting the database"));
  EXPECT_EQ(h.owner->session().lastSqlAvailable, 1);
  EXPECT_EQ(h.host.Titles().back(), "Ready - Mervale");
}

TEST_F(FreeFormTest, NoRowsAndInvalidStatementsStillEndWithTheFooter) {
  const std::string none = "SELECT * FROM customers WHERE 1 = 0";
  EXPECT_EQ(Body(Run(none), Header(kDemoTitle, none)), "REM  No data was found in statement. ");

  // The error block replaces the rows; there is no "no data" remark after it.
  const std::string bad = "SELECT * FROM no_such_table";
  const std::string body = Body(Run(bad), Header(kDemoTitle, bad));
  EXPECT_EQ(body.rfind("\r\nREM  The following error was received while processing statement ", 0), 0u) << body;
  EXPECT_NE(body.find("no such table: no_such_table"), std::string::npos) << body;
  EXPECT_EQ(body.substr(body.size() - 6), "\r\n\r\n\r\n");
  EXPECT_EQ(body.find("No data"), std::string::npos);
  EXPECT_TRUE(h.host.HasMessage("Mervale has finished scripting the database"));
}

TEST_F(FreeFormTest, CsvStartsWithTheQuotedHeaderAndNeverCommits) {
  RunController& o = *h.owner;
  o.session().opts.b_DataCSV = 1;
  Profile& p = h.profile();
  p.s_Commit = "COMMIT";
  p.i_CommitLines = 0;  // would commit after every INSERT
  p.b_CommitEachTable = 1;
  const std::string sql = "SELECT customer_id, last_name FROM customers WHERE customer_id <= 2 ORDER BY 1";
  EXPECT_EQ(Body(Run(sql), Header(kDemoTitle, sql)),
            "\"customer_id\",\"last_name\"\r\n\"1\",\"'O''Brien'\"\r\n\"2\",\"'Whitaker'\"\r\n");

  // The same profile without CSV commits after every INSERT; the table-end COMMIT follows only
  // rows written since the last one, so here there is none.
  o.session().opts.b_DataCSV = 0;
  p.b_CommitNeedsExecute = 1;
  const std::string body = Body(Run(sql), Header(kDemoTitle, sql));
  EXPECT_EQ(body,
            "INSERT INTO CUSTOMERS ( customer_id, last_name )\t\t\r\nVALUES ( 1, 'O''Brien' );\r\n\r\nCOMMIT;\r\n\r\n"
            "INSERT INTO CUSTOMERS ( customer_id, last_name )\t\t\r\nVALUES ( 2, 'Whitaker' );\r\n\r\nCOMMIT;\r\n\r\n");
}

// A script window that lets a test act when a given piece of text is written.
class HookedWindow : public MemoryScriptWindow {
 public:
  void Insert(std::string_view text, Color color) override {
    MemoryScriptWindow::Insert(text, color);
    if (onInsert) onInsert(text);
  }
  std::function<void(std::string_view)> onInsert;
};

class HookedHost : public ScriptedHost {
 public:
  ScriptWindow& Script() override { return hooked; }
  HookedWindow hooked;
};

TEST(FreeFormSkip, SkipKeepsTheRowsWrittenAndCommitsThoseSinceTheLastCommit) {
  const fs::path dir = fs::temp_directory_path() / ("mv-ffskip-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  HookedHost host;
  SettingsStore settings((dir / "settings.ini").string());
  RunController owner(host, settings, dir.string());
  Profile p;
  SetBuiltInDefaults(p);
  p.s_Name = "Default";
  p.s_Commit = "COMMIT";
  p.i_CommitLines = 2;
  p.b_CommitEachTable = 1;
  p.b_CommitNeedsExecute = 1;
  owner.session().profiles.Append(p);
  ApplyWorkingProfile(owner.session().profiles, owner.session().opts.s_WorkingProfile, owner.session().working);
  owner.ReplaceConnection(DbConnection::ConnectWithString(host, "DRIVER=SQLite3;Database=" + kDemoDb, "", "0"));
  ASSERT_TRUE(owner.session().HasUsableConnection());

  // Skip while the third row is being written: the worker looks at it before the fourth.
  int values = 0;
  host.hooked.onInsert = [&](std::string_view text) {
    if (text == "VALUES" && ++values == 3) owner.SkipCommand();
  };
  const std::string sql = "SELECT customer_id FROM customers ORDER BY 1";
  owner.session().opts.s_GlobalPassSql = sql;
  ASSERT_TRUE(owner.StartFreeFormRun());
  owner.Wait();
  const std::string row = "INSERT INTO CUSTOMERS ( customer_id )\t\t\r\nVALUES ( ";
  EXPECT_EQ(Body(host.hooked.WholeText(), Header(kDemoTitle, sql)),
            row + "1 );\r\n\r\n" + row + "2 );\r\n\r\nCOMMIT;\r\n\r\n" + row +
                "3 );\r\n\r\nREM  Statement Skipped ...\r\n\r\nCOMMIT;\r\n\r\n");
  EXPECT_EQ(owner.session().lastOutcome, RunOutcome::Finished);
  fs::remove_all(dir);
}

// On PostgreSQL, whose driver reports the table of every result column.
class FreeFormPgTest : public FreeFormTest {
 protected:
  void SetUp() override {
    PgServer& pg = PgServer::Instance();
    const std::string db = UniqueDbName("ff_shop");
    pg.CreateDatabase(db);
    pg.RunSql(db,
              "CREATE TABLE orders (id integer PRIMARY KEY, customer_id integer, total numeric(8,2));\n"
              "CREATE TABLE customers (id integer PRIMARY KEY, name varchar(30), \"home town\" varchar(30));\n"
              "INSERT INTO customers VALUES (1, 'O''Brien', 'Cork'), (2, 'Nowak', NULL);\n"
              "INSERT INTO orders VALUES (10, 2, 9.5), (11, 1, 120);\n");
    h.profile().Substitutions.push_back({"'", "''"});
    h.Connect(pg.ConnectString(db), "public");
    title = h.owner->session().connection.get()->Target().title;
  }
  std::string title;
};

TEST_F(FreeFormPgTest, SeveralTablesGiveTheFirstColumnsTableAndNoFromGivesNone) {
  // The first column comes from the second table named: the reader asks the driver, and the
  // text after FROM is only its last resort.
  const std::string join =
      "SELECT c.name, c.\"home town\", o.total FROM orders o JOIN customers c ON c.id = o.customer_id ORDER BY o.id";
  EXPECT_EQ(
      Body(Run(join), Header(title, join)),
      "INSERT INTO CUSTOMERS ( name, \"home town\", total )\t\t\r\nVALUES ( 'Nowak', NULL, 9.50 );\r\n\r\n"
      "INSERT INTO CUSTOMERS ( name, \"home town\", total )\t\t\r\nVALUES ( 'O''Brien', 'Cork', 120.00 );\r\n\r\n");

  const std::string noFrom = "SELECT 1 AS one, 'it''s'::text AS two";
  EXPECT_EQ(Body(Run(noFrom), Header(title, noFrom)),
            "INSERT INTO  ( one, two )\t\t\r\nVALUES ( 1, 'it''s' );\r\n\r\n");
}

// mervale-batch --free-form as a user runs it, with the shipped SQLite profile.
class FreeFormBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mv-ffbatch-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "xdg" / "Quillfen");
    config = (dir / "demo.mvl").string();
    std::ofstream(config, std::ios::binary)
        << "[Mervale]\nVersion=5.0\ns_WorkingProfile=SQLite\nb_DataType=0\n"
           "s_GlobalPassSql=SELECT product_id, sku FROM products WHERE product_id < 3 ORDER BY 1\n"
           "[Database]\ns_ConnectString=DRIVER=SQLite3;Database=" +
               kDemoDb + "\n";
  }
  void TearDown() override { fs::remove_all(dir); }

  ProcessResult Batch(std::vector<std::string> args) {
    args.insert(args.begin(), MV_BATCH_PATH);
    return RunProcess(args, {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg").string()});
  }

  fs::path dir;
  std::string config;
};

TEST_F(FreeFormBatchTest, RunsTheConfigurationsStatementOrTheOneGiven) {
  ProcessResult r = Batch({"--free-form", config});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("--  SELECT product_id, sku FROM products WHERE product_id < 3 ORDER BY 1\r\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("INSERT INTO products ( product_id, sku )\t\t\r\nVALUES ( 1, 'TEA-EB-250' );\r\n\r\n"
                       "INSERT INTO products ( product_id, sku )\t\t\r\nVALUES ( 2, 'TEA-GR-100' );\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\r\n\r\n--  --- End of Mervale --- Elapsed Time: "), std::string::npos);

  // CSV comes from the user's settings.
  std::ofstream((dir / "xdg" / "Quillfen" / "Mervale.ini").string(), std::ios::binary) << "[Settings]\nDataCSV=1\n";
  ProcessResult csv = Batch({"--free-form", config, "--sql", "SELECT sku, name FROM products WHERE product_id = 4"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find("\r\n\r\n\"sku\",\"name\"\r\n\"'MUG-ST-001'\",\"'Stoneware mug \"\"Harbour\"\"'\"\r\n"),
            std::string::npos)
      << csv.out;
  EXPECT_EQ(csv.out.find("INSERT"), std::string::npos);
}

TEST_F(FreeFormBatchTest, AStatementFileOfSeveralLinesGivesAScriptThatRuns) {
  // A library file written on Windows: every line of it must stay a remark, and the table's
  // special name must be bracketed, or the script would not run.
  const std::string file = (dir / "lines.sql").string();
  std::ofstream(file, std::ios::binary) << "SELECT *\r\nFROM \"Order Lines\"\r\nWHERE order_id > 1003\r\n";
  const std::string out = (dir / "lines-out.sql").string();
  ProcessResult r = Batch({"--free-form", config, "--sql-file", file, "--output", out});
  ASSERT_EQ(r.status, 0) << r.err;
  std::stringstream ss;
  ss << std::ifstream(out, std::ios::binary).rdbuf();
  const std::string script = ss.str();
  EXPECT_NE(
      script.find(
          "--  SELECT *\r\n--  FROM \"Order Lines\"\r\n--  WHERE order_id > 1003\r\n\r\n\r\nBEGIN;\r\nINSERT INTO "
          "\"Order Lines\" ("),
      std::string::npos)
      << script.substr(0, 600);

  const fs::path db = dir / "target.db";
  std::ofstream((dir / "table.sql").string())
      << "CREATE TABLE \"Order Lines\" (order_id INTEGER, line_no INTEGER, product_id INTEGER, quantity INTEGER,"
         " unit_price NUMERIC(10,2), discount REAL);\n";
  ASSERT_EQ(RunProcess({"sqlite3", "-bail", db.string()}, {}, (dir / "table.sql").string()).status, 0);
  ProcessResult loaded = RunProcess({"sqlite3", "-bail", db.string()}, {}, out);
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  ProcessResult count = RunProcess({"sqlite3", db.string(), "SELECT count(*), sum(quantity) FROM \"Order Lines\""});
  EXPECT_EQ(count.out, "6|22\n");
}

}  // namespace
}  // namespace mv::test
