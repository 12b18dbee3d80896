// Structure, index and data scripters against the test driver: odd catalogs and faults.
#include <gtest/gtest.h>

#include "base/TextRules.h"
#include "db/ConditionTest.h"
#include "db/RowReader.h"
#include "run/ScriptOutput.h"
#include "run/Statements.h"
#include "settings/Filters.h"
#include "support/BatchScript.h"
#include "support/RunHarness.h"
#include "support/TempDir.h"

namespace mv {
namespace {

using test::RunHarness;

std::string Pad(const std::string& s, size_t w) { return PadToWidth(s, w, false); }
std::string ColumnLine(const std::string& name, const std::string& definition) {
  return "\t" + Pad(name, 25) + "\t\t" + Pad(definition, 30);
}

const char kHead[] = "SERVER_NAME\tdb01\nUSER_NAME\tAPPUSER\n";

TEST(StructureScripter, OddCatalogValuesAndTheScaleOfDecimals) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                   "TABLE\t\\N\t\\N\tODD\tTABLE\n"
                   "COLUMN\t\\N\t\\N\tODD\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "COLUMN\t\\N\t\\N\tODD\tguid\t-11\tuniqueidentifier\t16\t16\t\\N\t\\N\t2\n"
                   "COLUMN\t\\N\t\\N\tODD\tzero\t12\tvarchar\t0\t0\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\tODD\tneg\t12\tvarchar\t-5\t0\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\tODD\thuge\t-1\ttext\t1000000\t0\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\tODD\tprice\t3\tdecimal\t10\t12\t2\t10\t0\n");
  h.owner->session().opts.b_DataType = 1;
  h.owner->session().opts.b_DoTabData = 0;
  h.owner->session().opts.b_DoIndex = 0;
  h.owner->session().opts.b_DropTable = 0;
  h.profile().i_LengthRule = 0;
  const std::string text = h.Run();
  const std::string expected =
      "CREATE TABLE ODD\t\t\r\n(\t\t\r\n" + ColumnLine("ID", "INTEGER(10)    \tNOT NULL") + ",\t\t\r\n" +
      ColumnLine("GUID", "UNIQUEIDENTIFIER(16)\t") + ",\t\t\r\n" +  // unknown code: the driver's name, in the type case
      ColumnLine("ZERO", "VARCHAR        \tNULL    ") + ",\t\t\r\n" + ColumnLine("NEG", "VARCHAR        \tNULL    ") +
      ",\t\t\r\n" + ColumnLine("HUGE", "LONG VARCHAR   \tNULL    ") + ",\t\t\r\n" +
      ColumnLine("PRICE", "DECIMAL(10,2)  \tNOT NULL") + "\t\t\r\n);\r\n\r\n";
  EXPECT_NE(text.find(expected), std::string::npos) << text;

  // Null before type: unknown nullability leaves the definition starting with a tab.
  h.profile().b_NullBeforeType = 1;
  h.owner->session().opts.b_Optimize = 1;
  const std::string optimized = h.Run();
  EXPECT_NE(optimized.find(ColumnLine("GUID", "\tUNIQUEIDENTIFIER(16)")), std::string::npos);
  // Nullable columns move after the others; the commas still sit between every two.
  auto& cols = h.Tables()[0].columns;
  std::vector<std::string> order;
  for (const auto& c : cols) order.push_back(c.name);
  EXPECT_EQ(order, (std::vector<std::string>{"id", "guid", "price", "zero", "neg", "huge"}));
  EXPECT_NE(optimized.find(ColumnLine("HUGE", "NULL    \tLONG VARCHAR") + "\t\t\r\n);"), std::string::npos)
      << optimized;
}

TEST(StructureScripter, FetchErrorsCloseTheTableAndFailingCatalogsAbortThePass) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                       "SCHEMA\tHR\n"
                       "TABLE\t\\N\tHR\tA\tTABLE\nTABLE\t\\N\tHR\tB\tTABLE\nTABLE\t\\N\tHR\tC\tTABLE\n"
                       "COLUMN\t\\N\tHR\tA\tx\t4\tint\t10\t4\t0\t10\t1\n"
                       "COLUMN\t\\N\tHR\tA\ty\t4\tint\t10\t4\t0\t10\t1\n"
                       "COLUMNS_FETCH_ERROR\tA\t1\tcommunication link failure\n"
                       "COLUMNS_ERROR\tB\tWITH_OWNER\tno owner filter here\n"
                       "COLUMN\t\\N\tHR\tB\tz\t4\tint\t10\t4\t0\t10\t1\n"
                       "COLUMNS_ERROR\tC\tALWAYS\tcolumns of C are locked\n",
                   "", "HR", "0");
  h.owner->session().opts.b_DoTabData = 0;
  h.owner->session().opts.b_DoIndex = 0;
  const std::string text = h.Run();
  // A: one column, then the fetch error remark, then the table is closed.
  EXPECT_NE(text.find(ColumnLine("X", "INT            \tNULL    ") +
                      "\r\n\tREM  ERROR: Could not get information for some/all columns for table A in database "
                      "HR:APPUSER@(db01)\t\t\r\n);"),
            std::string::npos)
      << text;
  // B: the owner-filtered call fails and the plain one is used.
  EXPECT_NE(text.find("CREATE TABLE B"), std::string::npos);
  // C: both calls fail: a message, and the pass ends.
  EXPECT_TRUE(h.host.HasMessage("columns of C are locked"));
  EXPECT_EQ(text.find("CREATE TABLE C"), std::string::npos);
  EXPECT_NE(text.find("REM  Structure for table C"), std::string::npos);
  EXPECT_NE(text.find("--- End of Mervale ---"), std::string::npos);
}

TEST(StructureScripter, IgnoredColumnsAndTypesLeaveCreateAndInsert) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                   "TABLE\t\\N\t\\N\tT\tTABLE\nTABLE\t\\N\t\\N\tSKIPPED\tTABLE\nTABLE\t\\N\t\\N\tEMPTY\tTABLE\n"
                   "COLUMN\t\\N\t\\N\tT\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "COLUMN\t\\N\t\\N\tT\tsecret\t12\tvarchar\t10\t10\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\tT\tnotes\t-1\ttext\t0\t0\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\tEMPTY\tnotes\t-1\ttext\t0\t0\t\\N\t\\N\t1\n"
                   "QUERY\tselect id from T\n COL\tid\t4\n ROW\t1\n ROW\t2\nEND\n"
                   "QUERY\tselect id from T where id > 1\n COL\tid\t4\n ROW\t2\nEND\n");
  h.owner->session().opts.IgnoreColumns = {"SEC%"};
  h.owner->session().opts.IgnoreDataTypes = {"LONG VARCHAR"};
  h.owner->session().opts.IgnoreTables = {"skipped"};
  h.owner->session().opts.b_DoIndex = 0;
  std::string text = h.Run();
  EXPECT_EQ(text.find("SECRET"), std::string::npos);
  EXPECT_EQ(text.find("NOTES"), std::string::npos);
  EXPECT_NE(text.find("INSERT INTO T ( ID )\t\t\r\nVALUES ( 2 );\r\n\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("REM  \t\tSKIPPED\r\n"), std::string::npos);
  EXPECT_EQ(text.find("TABLE SKIPPED"), std::string::npos);
  EXPECT_NE(text.find("REM  There are no columns to create table EMPTY\r\n\r\n"), std::string::npos);
  EXPECT_NE(text.find("REM  There are no columns to select from table EMPTY\r\n\r\n"), std::string::npos);

  // A condition restricts the rows, and is shown in the remark.
  h.owner->session().opts.WhereStatements["T"] = "WHERE id > 1";
  text = h.Run();
  EXPECT_NE(text.find("REM  Data for table    T\r\nREM  Condition clause  id > 1\r\n\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("VALUES ( 1 )"), std::string::npos);
  EXPECT_NE(text.find("VALUES ( 2 )"), std::string::npos);
}

TEST(IndexScripter, GroupsConsecutiveRowsAndReportsFetchErrors) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                   "TABLE\t\\N\t\\N\tEMP\tTABLE\nTABLE\t\\N\t\\N\tBAD\tTABLE\nTABLE\t\\N\t\\N\tNONE\tTABLE\n"
                   "TABLE\t\\N\t\\N\tFIRST\tTABLE\n"
                   "STATISTIC\t\\N\t\\N\tEMP\t\\N\t\\N\t\\N\t0\t\\N\t\\N\t\\N\t12\t1\n"
                   "STATISTIC\t\\N\t\\N\tEMP\t0\t\\N\tPK_EMP\t3\t1\tID\tA\t\\N\t\\N\n"
                   "STATISTIC\t\\N\t\\N\tEMP\t0\t\\N\tPK_EMP\t3\t2\tDEPT\tA\t\\N\t\\N\n"
                   "STATISTIC\t\\N\t\\N\tEMP\t1\t\\N\tIX_NAME\t3\t1\tNAME\tD\t\\N\t\\N\n"
                   "STATISTIC\t\\N\t\\N\tEMP\t0\t\\N\tPK_EMP\t3\t3\tX\tA\t\\N\t\\N\n"
                   "STATISTIC\t\\N\t\\N\tBAD\t1\t\\N\tIX_B\t3\t1\tB1\tA\t\\N\t\\N\n"
                   "STATISTIC\t\\N\t\\N\tBAD\t1\t\\N\tIX_B\t3\t2\tB2\tA\t\\N\t\\N\n"
                   "STATISTICS_FETCH_ERROR\tBAD\t1\tindex catalog lost\n"
                   "STATISTICS_FETCH_ERROR\tFIRST\t0\tno index catalog\n");
  h.owner->session().opts.b_DoTabStruct = 0;
  h.owner->session().opts.b_DoTabData = 0;
  const std::string text = h.Run();
  const std::string pk =
      "\r\nREM  Indexes for table EMP\r\n\r\n"
      "\r\nREM  Removal of index PK_EMP\r\n\r\nDROP INDEX PK_EMP;\r\n"
      "\r\nREM  Definition of index PK_EMP\r\n\r\n"
      "CREATE UNIQUE INDEX PK_EMP ON EMP\t\t\r\n(\t\t\r\n"
      "\tID                       ,\t\t\r\n"
      "\tDEPT                     \t\t\r\n);\r\n\r\n";
  EXPECT_NE(text.find(pk), std::string::npos) << text;
  EXPECT_NE(text.find("CREATE INDEX IX_NAME ON EMP"), std::string::npos);
  // The same name again after another index starts a second statement.
  EXPECT_NE(text.find("CREATE UNIQUE INDEX PK_EMP ON EMP\t\t\r\n(\t\t\r\n\tX                        \t\t\r\n);"),
            std::string::npos);
  EXPECT_NE(text.find("\tB1                       \r\n\tREM  ERROR: Could not get information for some/all columns for "
                      "index in table BAD in database APPUSER@(db01)\t\t\r\n);"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("REM  Indexes for table NONE\r\n\r\n\r\nREM  Indexes for table FIRST"), std::string::npos);
  // Every line of an error is a remark, so the script still loads.
  EXPECT_NE(text.find("\r\n\r\n\r\nREM  The following error ocurred when trying to process indexes in database "
                      "APPUSER@(db01)\r\nREM  no index catalog"),
            std::string::npos);

  // A statistics catalog that fails with and without owner ends the index phase there.
  RunHarness broken;
  broken.ConnectFixture(std::string(kHead) +
                        "TABLE\t\\N\t\\N\tA\tTABLE\nTABLE\t\\N\t\\N\tB\tTABLE\n"
                        "STATISTICS_ERROR\tA\tALWAYS\tstatistics unavailable\n"
                        "STATISTIC\t\\N\t\\N\tB\t1\t\\N\tIX_B\t3\t1\tB1\tA\t\\N\t\\N\n");
  broken.owner->session().opts.b_DoTabStruct = 0;
  broken.owner->session().opts.b_DoTabData = 0;
  const std::string stopped = broken.Run();
  EXPECT_NE(stopped.find("REM  Indexes for table A\r\n\r\n\r\n\r\n\r\nREM  The following error ocurred when trying to "
                         "process indexes in database APPUSER@(db01)\r\nREM  statistics unavailable"),
            std::string::npos)
      << stopped;
  EXPECT_EQ(stopped.find("Indexes for table B"), std::string::npos);
  EXPECT_NE(stopped.find("--- End of Mervale ---"), std::string::npos);

  h.profile().b_DropIndexTableName = 1;
  h.profile().i_IndexNameCase = 1;
  EXPECT_NE(h.Run().find("DROP INDEX EMP.pk_emp;"), std::string::npos);
}

TEST(DataScripter, ValuesWholeCommitsSkipAndStatementErrors) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                   "TABLE\t\\N\t\\N\tBIG\tTABLE\nTABLE\t\\N\t\\N\tWARN\tTABLE\nTABLE\t\\N\t\\N\tStaff Data\tTABLE\n"
                   "COLUMN\t\\N\t\\N\tBIG\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "COLUMN\t\\N\t\\N\tBIG\tbody\t-1\ttext\t0\t0\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\tWARN\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "COLUMN\t\\N\t\\N\tStaff Data\tLast Name\t12\tvarchar\t30\t30\t\\N\t\\N\t1\n"
                   "QUERY\tselect id , body from BIG\n COL\tid\t4\n COL\tbody\t-1\n"
                   "  ROW\t1\t\\R300000*ab\n  ROW\t2\t\\N\n  ROW\t3\t\n  ROW\t4\tO'Brien\nEND\n"
                   "QUERY\tselect id from WARN\n COL\tid\t4\n ROW\t1\n INFO\tlossy conversion\nEND\n"
                   "QUERY\tselect \"Last Name\" from \"Staff Data\"\n COL\tLast Name\t12\n ROW\tSmith\nEND\n");
  h.owner->session().opts.b_DoIndex = 0;
  h.owner->session().opts.b_DoTabStruct = 0;
  h.profile().s_Commit = "COMMIT";
  h.profile().i_CommitLines = 2;
  h.profile().b_CommitEachTable = 1;
  h.profile().Substitutions = {{"'", "''"}};
  const std::string text = h.Run();
  EXPECT_NE(text.find("VALUES ( 1, '" +
                      std::string(600000, 'a')
                          .replace(0, 600000,
                                   [] {
                                     std::string s;
                                     for (int i = 0; i < 300000; ++i) s += "ab";
                                     return s;
                                   }()) +
                      "' );\r\n\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("VALUES ( 2, NULL );\r\n\r\nCOMMIT\r\n\r\n"), std::string::npos);
  EXPECT_NE(text.find("VALUES ( 3, '' );\r\n\r\n"), std::string::npos);
  // The table-end COMMIT follows the last row written since the previous one.
  EXPECT_NE(text.find("VALUES ( 4, 'O''Brien' );\r\n\r\nCOMMIT\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nREM  The following error was received while processing table WARN:\r\nREM  lossy "
                      "conversion\r\n\r\n\r\n"),
            std::string::npos);
  // Special names are bracketed wherever the script writes them.
  EXPECT_NE(text.find("DELETE FROM TABLE \"STAFF DATA\";"), std::string::npos);
  EXPECT_NE(text.find("INSERT INTO \"STAFF DATA\" ( \"LAST NAME\" )\t\t\r\nVALUES ( 'Smith' );"), std::string::npos)
      << text;

  // CSV: a header, records, no COMMIT.
  h.owner->session().opts.b_DataCSV = 1;
  const std::string csv = h.Run();
  EXPECT_NE(csv.find("\"ID\",\"BODY\"\r\n\"1\",\"'ab"), std::string::npos);
  EXPECT_NE(csv.find("\"2\",\"NULL\"\r\n\"3\",\"''\"\r\n\"4\",\"'O''Brien'\"\r\n"), std::string::npos);
  EXPECT_EQ(csv.find("COMMIT"), std::string::npos);
}

TEST(DataScripter, SkipKeepsTheRowsWrittenAndCommitsThem) {
  RunHarness h;
  std::string fixture = std::string(kHead) +
                        "TABLE\t\\N\t\\N\tT\tTABLE\nTABLE\t\\N\t\\N\tU\tTABLE\n"
                        "COLUMN\t\\N\t\\N\tT\tid\t4\tint\t10\t4\t0\t10\t0\n"
                        "COLUMN\t\\N\t\\N\tU\tid\t4\tint\t10\t4\t0\t10\t0\n"
                        "QUERY\tselect id from T\n COL\tid\t4\n";
  for (int i = 1; i <= 50; ++i) fixture += " ROW\t" + std::to_string(i) + "\n";
  fixture += "END\nQUERY\tselect id from U\n COL\tid\t4\n ROW\t7\nEND\n";
  h.ConnectFixture(fixture);
  h.owner->session().opts.b_DoIndex = 0;
  h.owner->session().opts.b_DoTabStruct = 0;
  h.profile().s_Commit = "COMMIT";
  h.profile().i_CommitLines = 1000;
  h.profile().b_CommitEachTable = 1;
  h.profile().b_CommitNeedsExecute = 1;
  h.host.window.onInsert = [&](std::string_view piece) {
    if (piece == "3") h.owner->SkipCommand();
  };
  const std::string text = h.Run();
  EXPECT_NE(text.find("VALUES ( 3 );\r\n\r\nREM  Table Skipped ...\r\n\r\nCOMMIT;\r\n\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("VALUES ( 4 )"), std::string::npos);
  EXPECT_NE(text.find("VALUES ( 7 );"), std::string::npos);  // the next table is scripted
}

// Several rows per INSERT: groups end when full, at a COMMIT, at a skip, at a stop and at the
// table's end; CSV is what it was.
TEST(DataScripter, RowsPerInsertGroupsWithinCommitsTablesAndStops) {
  RunHarness h;
  std::string fixture = std::string(kHead) +
                        "TABLE\t\\N\t\\N\tT\tTABLE\nTABLE\t\\N\t\\N\tU\tTABLE\n"
                        "COLUMN\t\\N\t\\N\tT\tid\t4\tint\t10\t4\t0\t10\t0\n"
                        "COLUMN\t\\N\t\\N\tU\tid\t4\tint\t10\t4\t0\t10\t0\n"
                        "QUERY\tselect id from T\n COL\tid\t4\n";
  for (int i = 1; i <= 7; ++i) fixture += " ROW\t" + std::to_string(i) + "\n";
  fixture += "END\nQUERY\tselect id from U\n COL\tid\t4\n ROW\t8\nEND\n";
  h.ConnectFixture(fixture);
  RunOptions& o = h.owner->session().opts;
  o.b_DoIndex = 0;
  o.b_DoTabStruct = 0;
  o.b_DoRemarks = 0;
  o.b_DeleteData = 0;
  h.profile().s_Commit = "COMMIT";
  h.profile().i_CommitLines = 5;
  h.profile().b_CommitEachTable = 1;
  h.profile().b_CommitNeedsExecute = 1;
  const std::string head = "INSERT INTO T ( ID )\t\t\r\nVALUES ( ";
  const std::string more = ",\r\n       ( ";
  struct Case {
    int rows;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {2, head + "1 )" + more + "2 );\r\n\r\n" + head + "3 )" + more + "4 );\r\n\r\n" + head +
              "5 );\r\n\r\nCOMMIT;\r\n\r\n" + head + "6 )" + more + "7 );\r\n\r\nCOMMIT;\r\n\r\n"},
      {100, head + "1 )" + more + "2 )" + more + "3 )" + more + "4 )" + more + "5 );\r\n\r\nCOMMIT;\r\n\r\n" + head +
                "6 )" + more + "7 );\r\n\r\nCOMMIT;\r\n\r\n"},
  };
  for (const Case& c : cases) {
    o.i_RowsPerInsert = c.rows;
    const std::string text = h.Run();
    EXPECT_NE(text.find(c.expected + "\r\nINSERT INTO U ( ID )\t\t\r\nVALUES ( 8 );\r\n\r\nCOMMIT;"), std::string::npos)
        << c.rows << "\n"
        << text;
  }

  // CSV takes no notice of the option.
  o.b_DataCSV = 1;
  o.i_RowsPerInsert = 1;
  const std::string csv = h.Run();
  o.i_RowsPerInsert = 3;
  EXPECT_EQ(h.Run(), csv);
  o.b_DataCSV = 0;

  // A skip and a stop end the open INSERT before their notes: only whole statements.
  h.host.window.onInsert = [&](std::string_view piece) {
    if (piece == "2") h.owner->SkipCommand();
    if (piece == "8") h.owner->StopCommand(false);
  };
  o.i_RowsPerInsert = 10;
  const std::string stopped = h.Run();
  EXPECT_NE(stopped.find(head + "1 )" + more + "2 );\r\n\r\nREM  Table Skipped ...\r\n\r\nCOMMIT;"), std::string::npos)
      << stopped;
  EXPECT_NE(stopped.find("VALUES ( 8 );\r\n\r\n\r\n\r\nREM  Mervale Stopped ..."), std::string::npos) << stopped;
}

// The bulk-load forms: a table's rows in transactions (BEGIN before rows and after each
// periodic COMMIT, the COMMIT at the table's end), INSERTs kept under the profile's size, the
// copy format with its escapes, the run option over the profile's choice; a stop commits what
// was written and writes the postamble before its note.
TEST(DataScripter, BulkLoadTransactionsSizedInsertsAndCopy) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                   "TABLE\t\\N\t\\N\tT\tTABLE\nTABLE\t\\N\t\\N\tU\tTABLE\n"
                   "COLUMN\t\\N\t\\N\tT\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "COLUMN\t\\N\t\\N\tT\ts\t12\tvarchar\t20\t20\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\tU\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "QUERY\tselect id , s from T\n COL\tid\t4\n COL\ts\t12\n"
                   " ROW\t1\ta\n ROW\t2\t\\N\n ROW\t3\t\n ROW\t4\tb\\\\c\\td\n ROW\t5\t\\\\.\\r\\ne\nEND\n"
                   "QUERY\tselect id from U\n COL\tid\t4\n ROW\t8\nEND\n");
  RunOptions& o = h.owner->session().opts;
  o.b_DoIndex = 0;
  o.b_DoTabStruct = 0;
  o.b_DoRemarks = 0;
  o.b_DeleteData = 0;
  Profile& p = h.profile();
  p.s_Commit = "COMMIT";
  p.i_CommitLines = 3;
  p.b_CommitEachTable = 1;
  p.b_CommitNeedsExecute = 1;
  p.s_BeginTransaction = "BEGIN;";
  p.s_LoadPreamble = "SET A=0;";
  p.s_LoadPostamble = "SET A=1;";
  p.i_InsertBytes = 100;
  p.s_CopyFrom = "COPY %t ( %c ) FROM stdin;";
  const std::string head = "INSERT INTO T ( ID , S )\t\t\r\nVALUES ( ";
  const std::string more = ",\r\n       ( ";
  const std::string copy = "COPY T ( ID , S ) FROM stdin;\r\n";
  const std::string u = "BEGIN;\r\nINSERT INTO U ( ID )\t\t\r\nVALUES ( 8 );\r\n\r\nCOMMIT;\r\n\r\n";
  struct Case {
    int profileCopy, runFormat;
    std::string expected;
  };
  const std::vector<Case> cases = {
      // 100 bytes hold the first two rows; the third starts an INSERT of its own.
      {0, 0,
       "BEGIN;\r\n" + head + "1, 'a' )" + more + "2, NULL );\r\n\r\n" + head + "3, '' );\r\n\r\nCOMMIT;\r\n\r\n" +
           "BEGIN;\r\n" + head + "4, 'b\\c\td' )" + more + "5, '\\.\r\ne' );\r\n\r\nCOMMIT;\r\n\r\n\r\n" + u},
      {1, 0,
       "BEGIN;\r\n" + copy + "1\ta\r\n2\t\\N\r\n3\t\r\n\\.\r\n\r\nCOMMIT;\r\n\r\nBEGIN;\r\n" + copy +
           "4\tb\\\\c\\td\r\n5\t\\\\.\\r\\ne\r\n\\.\r\n\r\nCOMMIT;\r\n\r\n\r\nBEGIN;\r\nCOPY U ( ID ) FROM stdin;\r\n"
           "8\r\n\\.\r\n\r\nCOMMIT;\r\n\r\n"},
      {0, 2, ""},  // the run asks for the copy format: the same text
      {1, 1, ""},  // the run asks for INSERTs
  };
  std::string inserts, copied;
  for (const Case& c : cases) {
    p.b_DataCopy = c.profileCopy;
    o.i_DataFormat = c.runFormat;
    const std::string text = h.Run();
    const std::string& expected = !c.expected.empty() ? c.expected
                                  : c.runFormat == 2  ? cases[1].expected
                                                      : cases[0].expected;
    EXPECT_NE(text.find("\r\nSET A=0;\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(expected + "\r\nSET A=1;\r\n\r\n\r\nREM  --- End of Mervale"), std::string::npos)
        << c.profileCopy << c.runFormat << "\n"
        << text;
  }

  // A profile without a copy statement writes no rows in another format: it says so.
  p.s_CopyFrom.clear();
  o.i_DataFormat = 2;
  const std::string refused = h.Run();
  EXPECT_EQ(refused.find("INSERT"), std::string::npos) << refused;
  EXPECT_NE(
      refused.find("REM  ERROR: The profile Default has no copy statement: the rows of table T were not written."),
      std::string::npos)
      << refused;
  o.i_DataFormat = 0;
  p.b_DataCopy = 0;

  // A stop inside a transaction: the open INSERT ended and committed, the postamble, the note.
  h.host.window.onInsert = [&](std::string_view piece) {
    if (piece == "8") h.owner->StopCommand(false);
  };
  const std::string stopped = h.Run();
  EXPECT_NE(stopped.find(u + "\r\nSET A=1;\r\n\r\n\r\nREM  Mervale Stopped ..."), std::string::npos) << stopped;

  // What the stopped script holds loads with the strict client, every row written there.
  p.s_Remarks = "--";
  p.s_LoadPreamble = "PRAGMA foreign_keys=OFF;";
  p.s_LoadPostamble = "PRAGMA foreign_keys=ON;";
  o.b_DoTabStruct = 1;
  o.b_DropTable = 0;
  test::TempDir dir;
  test::WriteText(dir / "stopped.sql", h.Run());
  EXPECT_EQ(
      test::SqliteRun(dir / "t.db", ".read " + (dir / "stopped.sql") + "\nSELECT count(*) FROM T, U;\n", dir.path),
      "5\n");
}

// The row counts a progress display gets: from the statistics catalog (none with a condition,
// which the catalog cannot know of), or by COUNT(*) with the table's condition.
TEST(DataScripter, RowCountsForProgress) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                   "TABLE\t\\N\t\\N\tT\tTABLE\nTABLE\t\\N\t\\N\tU\tTABLE\nTABLE\t\\N\t\\N\tV\tTABLE\n"
                   "COLUMN\t\\N\t\\N\tT\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "COLUMN\t\\N\t\\N\tU\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "COLUMN\t\\N\t\\N\tV\tid\t4\tint\t10\t4\t0\t10\t0\n"
                   "STATISTIC\t\\N\t\\N\tT\t\\N\t\\N\t\\N\t0\t\\N\t\\N\t\\N\t50\t1\n"
                   "STATISTIC\t\\N\t\\N\tU\t\\N\t\\N\t\\N\t0\t\\N\t\\N\t\\N\t70\t1\n"
                   "QUERY\tselect id from T\n COL\tid\t4\n ROW\t1\n ROW\t2\nEND\n"
                   "QUERY\tselect id from U where id > 1\n COL\tid\t4\n ROW\t2\nEND\n"
                   "QUERY\tselect id from V\n COL\tid\t4\nEND\n"
                   "QUERY\tselect count(*) from T\n COL\tn\t4\n ROW\t2\nEND\n"
                   "QUERY\tselect count(*) from U where id > 1\n COL\tn\t4\n ROW\t1\nEND\n");
  RunOptions& o = h.owner->session().opts;
  o.b_DoIndex = 0;
  o.WhereStatements["U"] = "id > 1";
  struct Case {
    RowEstimate mode;
    std::vector<std::string> counts;  // T, U, V
  };
  for (const Case& c : std::vector<Case>{{RowEstimate::None, {"-1", "-1", "-1"}},
                                         {RowEstimate::Statistics, {"50", "-1", "-1"}},
                                         {RowEstimate::Count, {"2", "1", "-1"}}}) {
    h.owner->session().rowEstimate = c.mode;
    const size_t before = h.host.Calls().size();
    const std::string text = h.Run();
    EXPECT_EQ(text.find("error"), std::string::npos) << text;
    std::vector<std::string> counts;
    int rows = 0;
    const auto calls = h.host.Calls();
    for (size_t i = before; i < calls.size(); ++i) {
      if (calls[i].what == "rows-begin") counts.push_back(calls[i].text);
      if (calls[i].what == "row") ++rows;
    }
    EXPECT_EQ(counts, c.counts) << static_cast<int>(c.mode);
    EXPECT_EQ(rows, 3) << static_cast<int>(c.mode);
  }
}

TEST(DataScripter, ScriptFunctionsOnlyIfValueAndRetrievalWrappers) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                   "TABLE\t\\N\t\\N\tT\tTABLE\n"
                   "COLUMN\t\\N\t\\N\tT\tv\t12\tvarchar\t10\t10\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\tT\td\t9\tdate\t10\t10\t\\N\t\\N\t1\n"
                   "QUERY\tselect v , to_char(d) from T\n COL\tv\t12\n COL\td\t9\n"
                   "  ROW\tabc\t2024-01-02\n  ROW\t\\N\t\\N\n  ROW\tNULL\t\nEND\n");
  h.owner->session().opts.b_DoIndex = 0;
  h.owner->session().opts.b_DoTabStruct = 0;
  Profile& p = h.profile();
  p.s_ScriptPrefix[kVarchar] = "F(";
  p.s_ScriptSuffix[kVarchar] = ")";
  p.b_FuncOnlyIfValue[kVarchar] = 1;
  p.s_RetrievePrefix[kDate] = "to_char(";
  p.s_RetrieveSuffix[kDate] = ")";
  p.s_ScriptPrefix[kDate] = "to_date(";
  p.s_ScriptSuffix[kDate] = ")";
  h.owner->session().opts.i_DataCase = 0;
  std::string text = h.Run();
  EXPECT_NE(text.find("VALUES ( F('ABC'), TO_DATE('2024-01-02') );"), std::string::npos) << text;
  // NULL, and a value that reads like the NULL literal, are written bare.
  EXPECT_NE(text.find("VALUES ( NULL, TO_DATE(NULL) );"), std::string::npos);
  EXPECT_NE(text.find("VALUES ( F('NULL'), TO_DATE('') );"), std::string::npos);
  p.b_FuncOnlyIfValue[kVarchar] = 0;
  h.owner->session().opts.i_DataCase = 2;
  text = h.Run();
  EXPECT_NE(text.find("VALUES ( F(NULL), to_date(NULL) );"), std::string::npos) << text;
}

TEST(DataScripter, SpecialNameRulesAndBracketsFromTheSettings) {
  RunHarness h;
  h.ConnectFixture(std::string(kHead) +
                   "TABLE\t\\N\t\\N\t1st/table\tTABLE\n"
                   "COLUMN\t\\N\t\\N\t1st/table\t#tag\t12\tvarchar\t10\t10\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\t1st/table\t9lives\t12\tvarchar\t10\t10\t\\N\t\\N\t1\n"
                   "COLUMN\t\\N\t\\N\t1st/table\tpart-no\t12\tvarchar\t10\t10\t\\N\t\\N\t1\n");
  h.owner->session().opts.b_DoIndex = 0;
  h.owner->session().opts.b_DoTabData = 0;
  h.Run();
  const RunTable& t = h.Tables()[0];
  // The SELECT quotes with the driver's own quote character, the script with the settings'.
  EXPECT_EQ(h.Select(t).select, "select \"#tag\" , \"9lives\" , \"part-no\" from \"1st/table\"");
  h.settings->WriteString("specObjStringOpen", "`");
  h.settings->WriteString("specObjStringClose", "`");
  EXPECT_EQ(h.Select(t).select, "select \"#tag\" , \"9lives\" , \"part-no\" from \"1st/table\"");
  EXPECT_EQ(h.Select(t).columnList, "`#TAG` , `9LIVES` , `PART-NO`");
  // The run's own copy of the options decides.
  h.owner->session().lastRun.get()->opts.i_AutoSpecialName = 2;  // no column is special; the table still is
  EXPECT_EQ(h.Select(t).select, "select #tag , 9lives , part-no from \"1st/table\"");
  h.owner->session().lastRun.get()->opts.i_AutoSpecialName = 1;
  EXPECT_EQ(h.Select(t).columnList, "`#TAG` , `9LIVES` , `PART-NO`");
}

TEST(StatementReader, TableNameAfterFrom) {
  EXPECT_EQ(RowReader::TableNameAfterFrom("select * from Orders o where o.id = 1"), "Orders");
  EXPECT_EQ(RowReader::TableNameAfterFrom("SELECT DATEFROM FROM T"), "FROM");
  EXPECT_EQ(RowReader::TableNameAfterFrom("select 1"), "");
  EXPECT_EQ(RowReader::TableNameAfterFrom("FROM x"), "");
  EXPECT_EQ(RowReader::TableNameAfterFrom("select a from\n\t  Lines;"), "Lines");
  EXPECT_EQ(RowReader::TableNameAfterFrom("select a from t1,t2"), "t1");
  EXPECT_EQ(RowReader::TableNameAfterFrom("select a from (select 1)"), "(select");
  EXPECT_EQ(RowReader::TableNameAfterFrom("select a from "), "");
}

TEST(Conditions, TestRunsTheConditionWithoutFetching) {
  RunHarness h;
  DbConnection& c = h.ConnectFixture(std::string(kHead) +
                                     "QUERY\tselect 1 from Orders where id > 5\n COL\tx\t4\nEND\n"
                                     "QUERY\tselect 1 from Orders where bad\n ERROR\tno such column: bad\nEND\n");
  bool ok = true;
  EXPECT_EQ(TestCondition(c, h.owner->session().opts, "Orders", "   ", ok),
            "Please enter the condition you want to test.");
  EXPECT_FALSE(ok);
  h.owner->session().opts.WhereStatements["ORDERS"] = "where id > 5";
  EXPECT_EQ(TestCondition(c, h.owner->session().opts, "Orders", "where id > 5", ok), "The condition looks OK!");
  EXPECT_TRUE(ok);
  h.owner->session().opts.WhereStatements["ORDERS"] = "bad";
  EXPECT_EQ(TestCondition(c, h.owner->session().opts, "Orders", "bad", ok), "no such column: bad");
  EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace mv

namespace mv {
namespace {

// Statements as values: the builders give the whole text, with the profile's own pieces.
TEST(Statements, BuildersGiveWholeStatementsInTheProfilesDialect) {
  Profile same;
  SetBuiltInDefaults(same);  // execute on the same line, no line break string
  Profile own = same;        // execute on a line of its own, with a continuation string
  own.b_ExecuteSameLine = 0;
  own.s_Execute = "go";
  own.s_LineBreak = " \\";
  const std::vector<mv::ColumnLine> cols = {{"ID", "INTEGER"}, {"\"Last Name\"", "VARCHAR(40)"}};
  const std::string pad23(23, ' '), pad14(14, ' ');
  struct Case {
    const char* what;
    std::function<void(ScriptText&)> build;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"create table", [&](ScriptText& t) { AddCreateTable(t, same, "EMP", cols); },
       "CREATE TABLE EMP\t\t\r\n(\t\t\r\n\tID" + pad23 + "\t\tINTEGER" + std::string(23, ' ') +
           ",\t\t\r\n\t\"Last Name\"" + pad14 + "\t\tVARCHAR(40)" + std::string(19, ' ') + "\t\t\r\n);\r\n\r\n"},
      {"create table, own line",
       [&](ScriptText& t) {
         AddCreateTable(t, own, "EMP", {{"ID", "INTEGER"}});
       },
       "CREATE TABLE EMP\t\t \\\r\n(\t\t \\\r\n\tID" + pad23 + "\t\tINTEGER" + std::string(23, ' ') +
           "\t\t \\\r\n)\r\ngo\r\n\r\n"},
      {"create table, remark after the first column",
       [&](ScriptText& t) { AddCreateTable(t, same, "T", cols, 1, "\r\n\tREM  ERROR"); },
       "CREATE TABLE T\t\t\r\n(\t\t\r\n\tID" + pad23 + "\t\tINTEGER" + std::string(23, ' ') +
           "\r\n\tREM  ERROR,\t\t\r\n\t\"Last Name\"" + pad14 + "\t\tVARCHAR(40)" + std::string(19, ' ') +
           "\t\t\r\n);\r\n\r\n"},
      {"no columns", [&](ScriptText& t) { AddCreateTable(t, same, "T", {}); }, ""},
      {"unique index",
       [&](ScriptText& t) {
         AddCreateIndex(t, same, true, "PK_EMP", "EMP", {"ID", "NAME"});
       },
       "CREATE UNIQUE INDEX PK_EMP ON EMP\t\t\r\n(\t\t\r\n\tID" + pad23 + ",\t\t\r\n\tNAME" + std::string(21, ' ') +
           "\t\t\r\n);\r\n\r\n"},
      {"index, own line", [&](ScriptText& t) { AddCreateIndex(t, own, false, "IX", "T", {"A"}); },
       "CREATE INDEX IX ON T\t\t \\\r\n(\t\t \\\r\n\tA" + std::string(24, ' ') + "\t\t \\\r\n)\r\ngo\r\n\r\n"},
      {"insert", [&](ScriptText& t) { AddInsert(t, same, "EMP", "ID , NAME", "1, 'Ann'"); },
       "INSERT INTO EMP ( ID , NAME )\t\t\r\nVALUES ( 1, 'Ann' );\r\n\r\n"},
      {"insert, own line", [&](ScriptText& t) { AddInsert(t, own, "EMP", "ID", "1"); },
       "INSERT INTO EMP ( ID )\t\t \\\r\nVALUES ( 1 )\r\ngo\r\n\r\n"},
      {"three rows in one insert, own line",
       [&](ScriptText& t) {
         InsertGroup g(5);
         for (const char* row : {"1", "2", "3"}) g.AddRow(t, own, "EMP", "ID", row);
         g.Close(t, own);
         g.Close(t, own);  // a closed group adds nothing
       },
       "INSERT INTO EMP ( ID )\t\t \\\r\nVALUES ( 1 ), \\\r\n       ( 2 ), \\\r\n       ( 3 )\r\ngo\r\n\r\n"},
  };
  for (const Case& c : cases) {
    ScriptText t;
    c.build(t);
    EXPECT_EQ(t.Text(), c.expected) << c.what;
    // Names are coloured as names, the statement's words as SQL or keywords.
    for (const ScriptText::Piece& p : t.Pieces()) {
      if (t.Text().substr(p.start, p.length) == "EMP") {
        EXPECT_EQ(p.role, TextRole::Sql) << c.what;
      }
    }
  }
}

}  // namespace
}  // namespace mv
