// The connection: titles, owner probing, connect failures, statement errors.
#include <gtest/gtest.h>

#include <fstream>

#include "db/StreamingReads.h"
#include "support/RunHarness.h"

namespace mv {
namespace {

using test::RunHarness;

const char kOwners[] =
    "SERVER_NAME\tdb01\nUSER_NAME\tAPPUSER\nSCHEMA\tHR\nSCHEMA\tAPPUSER\nCATALOG\tSALESCAT\n"
    "TABLE\t\\N\tHR\tEMP\tTABLE\nTABLE\t\\N\tAPPUSER\tORDERS\tTABLE\nTABLE\t\\N\tHR\tEMP\tTABLE\n";

TEST(Connection, TitlesFollowDsnServerUserAndOwner) {
  RunHarness h;
  DbConnection& c = h.ConnectFixture(kOwners, ";DSN=Sales");
  EXPECT_EQ(c.Target().dsn, "SALES");
  EXPECT_EQ(c.Target().title, "APPUSER@SALES(db01)");
  EXPECT_EQ(c.LastError().text, "0");
  EXPECT_EQ(c.Driver().schemas, (std::vector<std::string>{"HR", "APPUSER"}));
  EXPECT_EQ(c.Driver().catalogs, (std::vector<std::string>{"SALESCAT"}));

  DbConnection& hr = h.ConnectFixture(kOwners, ";DSN=Sales", "HR", "0");
  EXPECT_EQ(hr.Target().title, "HR:APPUSER@SALES(db01)");
  EXPECT_EQ(hr.Target().ownerIsCatalog, false);

  // A DSN named default in any case is no DSN.
  DbConnection& d = h.ConnectFixture(kOwners, ";DSN=deFault");
  EXPECT_EQ(d.Target().title, "APPUSER@(db01)");

  // An owner that is neither a schema nor a catalog is an error, never the whole database.
  DbConnection& unknown = h.ConnectFixture(kOwners, ";DSN=Sales", "NOBODY", "0");
  EXPECT_FALSE(unknown.Connected());
  EXPECT_TRUE(unknown.OwnerNotFound());
  EXPECT_EQ(unknown.Target().title, "Not Connected");
  EXPECT_EQ(h.host.messages.back(), "The owner NOBODY was not found: the database has no schema of that name.");

  EXPECT_EQ(DsnOf("UID=x;DSN=my dsn;PWD=y"), "MY DSN");
  EXPECT_EQ(DsnOf("DRIVER=SQLite3;Database=/tmp/a.db"), "");
}

TEST(Connection, TitlesNeverShowAPassword) {
  // No DSN, server or user name: the title is the value of the connect string's first attribute.
  RunHarness h;
  const std::string fixture = h.Path("anonymous.txt");
  std::ofstream(fixture) << "SERVER_NAME\t\nUSER_NAME\t\n";
  DbConnection& c = h.Connect("PWD=s3cret;DRIVER=" MV_TESTDRIVER_PATH ";FIXTURE=" + fixture);
  ASSERT_EQ(c.Connected(), true);
  EXPECT_EQ(c.Target().title, "********");
  EXPECT_EQ(h.Run().find("s3cret"), std::string::npos);
  const std::pair<const char*, const char*> cases[] = {
      {" password = s3cret;UID=a", "********"},
      {"Pwd={a;b};DRIVER=x", "********"},
      {"DATABASE=/tmp/a.db;PWD=s3cret", "/tmp/a.db"},
      {"UID=me;PWD=s3cret", "me"},
      {"PWDHINT=first pet", "first pet"},
      // A SQLite connection names its file.
      {"DRIVER=SQLite3;Database=/tmp/a.db", "SQLite3(/tmp/a.db)"},
      {"PWD=s3cret;Database=/tmp/a.db;DRIVER=SQLite3", "SQLite3(/tmp/a.db)"},
      {"DRIVER={SQLite3 ODBC}; DBQ=/x/b.db;PWD=s3cret", "SQLite3 ODBC(/x/b.db)"}};
  for (const auto& [connectString, title] : cases) {
    ConnectionTarget t = c.Target();
    t.connectString = connectString;
    t.title.clear();
    EXPECT_EQ(ConnectionTitle(t), title) << connectString;
  }
}

TEST(Connection, OwnerChooserListsSchemasCatalogsAndNotRequired) {
  RunHarness h;
  DbConnection& c = h.ConnectFixture(kOwners, "", "SALESCAT", "1");
  int selected = -1;
  auto choices = c.FillOwnerChooser(selected);
  ASSERT_EQ(choices.size(), 4u);
  EXPECT_EQ(choices[2].text, "SALESCAT");
  EXPECT_EQ(choices[2].data, 7777);
  EXPECT_EQ(choices[3].text, "-not required-");
  EXPECT_EQ(selected, 2);
  EXPECT_EQ(c.Target().ownerIsCatalog, true);
  c.ApplyOwnerChoice(choices, 3);
  EXPECT_EQ(c.Target().owner, "");
}

TEST(Connection, TableListFollowsTheOwnerAndFallsBackWhenTheFilteredCallFails) {
  RunHarness h;
  const std::string log = h.Path("calls.log");
  DbConnection& hr = h.ConnectFixture(kOwners, ";CALLLOG=" + log, "HR", "0");
  EXPECT_EQ(hr.LoadTables(), 2);
  EXPECT_EQ(hr.Tables().entries[0].name, "EMP");
  std::ifstream in(log);
  std::string calls((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(calls.find("SQLTables\t\\N\tHR\t\\N\t'TABLE'"), std::string::npos) << calls;

  DbConnection& failing =
      h.ConnectFixture(std::string(kOwners) + "TABLES_ERROR\tWITH_OWNER\tno such schema\n", "", "HR", "0");
  EXPECT_EQ(failing.LoadTables(), 3);  // unfiltered: duplicates from other schemas stay
  EXPECT_TRUE(h.host.messages.empty());

  DbConnection& broken = h.ConnectFixture(std::string(kOwners) + "TABLES_ERROR\tALWAYS\tcatalog is offline\n");
  EXPECT_EQ(broken.LoadTables(), 0);
  EXPECT_TRUE(h.host.HasMessage("catalog is offline"));
}

TEST(Connection, FailuresAreReportedAndLongConnectStringsRefused) {
  RunHarness h;
  DbConnection& bad = h.ConnectFixture("CONNECT_ERROR\tlogin failed for APPUSER\n");
  EXPECT_EQ(bad.Connected(), false);
  EXPECT_EQ(bad.Target().title, "Not Connected");
  EXPECT_TRUE(h.host.HasMessage("Could not connect to data source.\n\nlogin failed for APPUSER"));

  std::string longString = "DRIVER=" MV_TESTDRIVER_PATH ";FIXTURE=/nowhere;PWD=" + std::string(600, 'x');
  DbConnection& tooLong = h.Connect(longString);
  EXPECT_EQ(tooLong.Connected(), false);
  EXPECT_NE(h.host.messages.back().find("512"), std::string::npos);
  EXPECT_FALSE(h.owner->StartRun());

  DbConnection& missing = h.Connect("DRIVER=/no/such/driver.so;X=1");
  EXPECT_EQ(missing.Connected(), false);
  EXPECT_EQ(h.host.messages.back().rfind("Could not connect to data source.\n\n", 0), 0u);

  // The chooser cancelled (or no window to choose in): not connected, and nothing said.
  const size_t messages = h.host.messages.size();
  auto interactive = DbConnection::ConnectInteractive(h.host);
  EXPECT_EQ(interactive->Connected(), false);
  EXPECT_EQ(h.host.messages.size(), messages);
  // A chosen string connects as a given one does.
  const std::string fixture = h.Path("chosen.txt");
  std::ofstream(fixture) << "SERVER_NAME\tdb01\nUSER_NAME\tme\n";
  h.host.chosenSource = "DRIVER=" MV_TESTDRIVER_PATH ";FIXTURE=" + fixture;
  auto chosen = DbConnection::ConnectInteractive(h.host);
  EXPECT_EQ(chosen->Connected(), true);
  EXPECT_EQ(chosen->Target().title, "me@(db01)");
  // A password from the chooser's own field connects, but the string configurations save
  // leaves it out, even where the driver echoes it in the completed string.
  const std::string db = h.Path("pwd.db");
  std::ofstream(db, std::ios::binary).flush();  // an empty file is an empty database; none is created
  h.host.chosenSource = "DRIVER=SQLite3;Database=" + db + ";PWD=s3cret";
  h.host.chosenPassword = "s3cret";
  auto withPassword = DbConnection::ConnectInteractive(h.host);
  ASSERT_EQ(withPassword->Connected(), true);
  EXPECT_EQ(withPassword->Target().connectString.find("s3cret"), std::string::npos)
      << withPassword->Target().connectString;
  EXPECT_NE(withPassword->Target().connectString.find(db), std::string::npos);
}

TEST(Connection, ExecuteReportsErrorsAndWarningsAndDropsTheStatement) {
  RunHarness h;
  DbConnection& c = h.ConnectFixture(
      "QUERY\tselect 1\n COL\tx\t4\n ROW\t1\nEND\n"
      "QUERY\tselect warn\n COL\tx\t4\n ROW\t1\n INFO\tvalue was rounded\nEND\n"
      "QUERY\tselect bad\n ERROR\tno such column: bad\nEND\n");
  Statement st;
  EXPECT_EQ(c.Execute(st, "select 1"), "");
  EXPECT_TRUE(static_cast<bool>(st));
  EXPECT_EQ(c.Execute(st, "select bad"), "no such column: bad");
  EXPECT_FALSE(static_cast<bool>(st));
  EXPECT_EQ(c.Execute(st, "select warn"), "value was rounded");
  EXPECT_FALSE(static_cast<bool>(st));
  EXPECT_EQ(c.Execute(st, "select unknown"), "statement not in fixture: select unknown");
}

}  // namespace
}  // namespace mv

namespace mv {
namespace {

// The known drivers get the options that stream rows, unless the string chooses for itself.
TEST(Connection, StreamingReadsUnlessTheStringSaysOtherwise) {
  const std::pair<const char*, const char*> cases[] = {
      {"DRIVER=SQLite3;Database=/tmp/a.db", "DRIVER=SQLite3;Database=/tmp/a.db;StepAPI=1"},
      {"driver={SQLite3};database=a.db;", "driver={SQLite3};database=a.db;StepAPI=1"},
      {"DRIVER=SQLite3;Database=a.db;stepapi=0", "DRIVER=SQLite3;Database=a.db;stepapi=0"},
      {"DRIVER={PostgreSQL Unicode};SERVER=h", "DRIVER={PostgreSQL Unicode};SERVER=h;UseDeclareFetch=1;Fetch=10000"},
      {"DRIVER={PostgreSQL ANSI};UseDeclareFetch=0", "DRIVER={PostgreSQL ANSI};UseDeclareFetch=0"},
      {"DRIVER={MariaDB Unicode};SERVER=h", "DRIVER={MariaDB Unicode};SERVER=h"},
      {"DSN=sales;UID=u", "DSN=sales;UID=u"},
      {"", ""},
  };
  for (const auto& [given, expected] : cases) EXPECT_EQ(WithStreamingReads(given), expected) << given;
}

}  // namespace
}  // namespace mv
