// The worked examples, byte for byte, on a real PostgreSQL server through psqlODBC.
#include <gtest/gtest.h>

#include "run/ScriptOutput.h"
#include "support/PgServer.h"
#include "support/RunHarness.h"
#include "support/UniqueName.h"

namespace mv {
namespace {

using test::PgServer;
using test::RunHarness;
using test::UniqueDbName;

// Profile defaults, ODBC standard type names, lengths always written, names upper case.
void ExampleOptions(RunHarness& h) {
  h.owner->session().opts.b_DataType = 1;
  // The examples show the driver's own reading of the catalog (sizes included).
  h.owner->session().opts.b_EngineTypes = 0;
  h.owner->session().opts.b_DropTable = 1;
  h.owner->session().opts.b_DoRemarks = 1;
  h.profile().i_LengthRule = 0;
  h.profile().i_DataTypeCase = 2;
}

TEST(PostgresExamples, StructureOfEmp) {
  PgServer& pg = PgServer::Instance();
  const std::string db = UniqueDbName("mv_emp");
  pg.CreateDatabase(db);
  pg.RunSql(db, "create table emp (id int4 not null, name varchar(30));");
  RunHarness h;
  h.Connect(pg.ConnectString(db));
  ASSERT_EQ(h.owner->session().connection.get()->Connected(), true)
      << (h.host.messages.empty() ? "" : h.host.messages.back());
  ExampleOptions(h);
  h.owner->session().opts.b_DoTabData = 0;
  h.owner->session().opts.b_DoIndex = 0;
  const std::string text = h.Run();
  const std::string expected =
      "\r\n"
      "REM  Removal of table EMP\r\n"
      "\r\n"
      "DROP TABLE EMP;\r\n"
      "\r\n"
      "REM  Structure for table EMP\r\n"
      "\r\n"
      "CREATE TABLE EMP\t\t\r\n"
      "(\t\t\r\n"
      "\tID" +
      std::string(23, ' ') + "\t\tINTEGER(10)    \tNOT NULL" + std::string(6, ' ') +
      ",\t\t\r\n"
      "\tNAME" +
      std::string(21, ' ') + "\t\tVARCHAR(30)    \tNULL" + std::string(10, ' ') +
      "\t\t\r\n"
      ");\r\n"
      "\r\n";
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  // The kept columns carry what the data phase needs.
  ASSERT_EQ(h.Tables().size(), 1u);
  const auto& cols = h.Tables()[0].columns;
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[0].name, "id");
  EXPECT_EQ(cols[0].isNumeric, 1);
  EXPECT_EQ(cols[1].sqlType, 12);
  EXPECT_EQ(cols[1].isNumeric, 0);
}

TEST(PostgresExamples, UniqueIndexPkEmp) {
  PgServer& pg = PgServer::Instance();
  const std::string db = UniqueDbName("mv_idx");
  pg.CreateDatabase(db);
  pg.RunSql(db, "create table emp (id int4, dept int4); create unique index pk_emp on emp (id, dept);");
  RunHarness h;
  h.Connect(pg.ConnectString(db));
  ExampleOptions(h);
  h.owner->session().opts.b_DoTabStruct = 0;
  h.owner->session().opts.b_DoTabData = 0;
  const std::string text = h.Run();
  const std::string expected =
      "\r\nREM  Indexes for table EMP\r\n\r\n"
      "\r\n"
      "REM  Removal of index PK_EMP\r\n"
      "\r\n"
      "DROP INDEX PK_EMP;\r\n"
      "\r\n"
      "REM  Definition of index PK_EMP\r\n"
      "\r\n"
      "CREATE UNIQUE INDEX PK_EMP ON EMP\t\t\r\n"
      "(\t\t\r\n"
      "\tID" +
      std::string(23, ' ') +
      ",\t\t\r\n"
      "\tDEPT" +
      std::string(21, ' ') +
      "\t\t\r\n"
      ");\r\n"
      "\r\n";
  EXPECT_NE(text.find(expected), std::string::npos) << text;
}

TEST(PostgresExamples, InsertAndCsvRows) {
  PgServer& pg = PgServer::Instance();
  const std::string db = UniqueDbName("mv_rows");
  pg.CreateDatabase(db);
  pg.RunSql(db, "create table emp (id int4 not null, name varchar(30)); insert into emp values (7, 'Smith');");
  RunHarness h;
  h.Connect(pg.ConnectString(db));
  ExampleOptions(h);
  h.owner->session().opts.b_DoTabStruct = 0;
  h.owner->session().opts.b_DoIndex = 0;
  h.owner->session().opts.b_DeleteData = 0;
  std::string text = h.Run();
  EXPECT_NE(text.find("\r\nREM  Data for table    EMP\r\n\r\n"
                      "INSERT INTO EMP ( ID , NAME )\t\t\r\nVALUES ( 7, 'Smith' );\r\n\r\n"),
            std::string::npos)
      << text;
  h.owner->session().opts.b_DataCSV = 1;
  text = h.Run();
  EXPECT_NE(text.find("REM  Data for table    EMP\r\n\r\n\"ID\",\"NAME\"\r\n\"7\",\"'Smith'\"\r\n"), std::string::npos)
      << text;
}

TEST(PostgresExamples, SelectOfStaffDataWithOwnerHr) {
  PgServer& pg = PgServer::Instance();
  const std::string db = UniqueDbName("mv_hr");
  pg.CreateDatabase(db);
  pg.RunSql(db,
            "create schema \"HR\"; create table \"HR\".\"Staff Data\" (\"ID\" int4, \"Last Name\" varchar(40));"
            "create table public.other (x int4);");
  RunHarness h;
  DbConnection& c = h.Connect(pg.ConnectString(db), "HR", "0");
  ASSERT_EQ(c.Target().owner, "HR");
  EXPECT_TRUE(c.Driver().hasSchemas);
  EXPECT_EQ(c.Target().title, "HR:" + c.Target().userName + "@(" + c.Target().serverName + ")");
  EXPECT_EQ(c.LoadTables(), 1);  // the owner filters the list
  ASSERT_EQ(c.Tables().entries[0].name, "Staff Data");
  h.owner->session().opts.b_DoTabData = 0;
  h.owner->session().opts.b_DoIndex = 0;
  h.Run();
  ASSERT_EQ(h.Tables().size(), 1u);
  const auto parts = h.Select(h.Tables()[0]);
  // "ID" was created quoted in a database that folds names to lower case: it stays quoted.
  EXPECT_EQ(parts.select, "select \"ID\" , \"Last Name\" from \"HR\".\"Staff Data\"");
  EXPECT_EQ(parts.columnList, "\"ID\" , \"LAST NAME\"");
  EXPECT_EQ(parts.rules, (std::vector<LiteralRule>{LiteralRule::Number, LiteralRule::String}));
}

}  // namespace
}  // namespace mv
