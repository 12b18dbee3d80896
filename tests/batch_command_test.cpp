// mervale-batch's command line as options over a configuration: what each option changes, what
// it leaves alone, and the values it refuses.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "BatchCommand.h"
#include "settings/Configuration.h"

namespace mv {
namespace {

// A configuration as a file would give it, with a value in every field the options touch, so
// that a change and a field left alone both show.
Configuration FromFile() {
  Configuration c;
  c.connectString = "DSN=file";
  c.databaseUser = "fileowner";
  c.catalogFlag = "1";
  c.applyProfile = false;
  RunOptions& o = c.opts;
  o.s_WorkingProfile = "FileProfile";
  o.b_DoRemarks = o.b_DropTable = o.b_DropIndex = o.b_DeleteData = 0;
  o.b_DataCSV = 1;
  o.i_DataCase = 0;
  o.i_RowsPerInsert = 7;
  o.IncludeOnlyTables = {"kept"};
  o.IgnoreTables = {"left"};
  o.WhereStatements = {{"ORDERS", "id > 1"}, {"OTHER", "x = 1"}};
  return c;
}

TEST(BatchCommand, EachOptionChangesItsFieldAndOnlyThat) {
  struct Case {
    std::vector<std::string> args;
    std::function<void(Configuration&)> expect;  // turns FromFile() into the expected result
    const char* env = nullptr;
  };
  const std::vector<Case> cases = {
      {{"f.mvl"}, [](Configuration&) {}},
      {{"f.mvl", "--connect", "DRIVER=SQLite3;Database=x.db", "--owner", "public", "--schema", "--profile", "SQLite"},
       [](Configuration& c) {
         c.connectString = "DRIVER=SQLite3;Database=x.db";
         c.asksReconnect = true;
         c.databaseUser = "public";
         c.catalogFlag = "0";
         c.opts.s_WorkingProfile = "SQLite";
         c.applyProfile = true;
       }},
      // The environment stands in for --connect, and --connect wins over it.
      {{"--owner", "shop", "--catalog"},
       [](Configuration& c) {
         c.connectString = "DSN=env";
         c.asksReconnect = true;
         c.databaseUser = "shop";
       },
       "DSN=env"},
      {{"--connect=DSN=given"},
       [](Configuration& c) {
         c.connectString = "DSN=given";
         c.asksReconnect = true;
       },
       "DSN=env"},
      {{"f.mvl", "--no-structure", "--no-data", "--no-indexes", "--data-case", "lower", "--rows-per-insert", "500"},
       [](Configuration& c) {
         c.opts.b_DoTabStruct = c.opts.b_DoTabData = c.opts.b_DoIndex = 0;
         c.opts.i_DataCase = 1;
         c.opts.i_RowsPerInsert = 500;
       }},
      // The positive forms turn back on what the file turned off; the last of a pair wins.
      {{"f.mvl", "--no-remarks", "--remarks", "--drop", "--delete", "--no-csv", "--data-case=asis"},
       [](Configuration& c) {
         c.opts.b_DoRemarks = c.opts.b_DropTable = c.opts.b_DropIndex = c.opts.b_DeleteData = 1;
         c.opts.b_DataCSV = 0;
         c.opts.i_DataCase = 2;
       }},
      {{"f.mvl", "--table", "customers", "--table", "order%", "--where", "orders=total > 5 and note = 'a=b'", "--where",
        "Other="},
       [](Configuration& c) {
         c.opts.IncludeOnlyTables = {"customers", "order%"};
         c.opts.WhereStatements = {{"ORDERS", "total > 5 and note = 'a=b'"}, {"OTHER", ""}};
       }},
      // A list to leave out is read only without a list to script, so it replaces that too.
      {{"f.mvl", "--exclude-table", "audit_%", "--exclude-table", "tmp"},
       [](Configuration& c) {
         c.opts.IgnoreTables = {"audit_%", "tmp"};
         c.opts.IncludeOnlyTables.clear();
       }},
      {{"f.mvl", "--free-form", "--sql", "select 1"}, [](Configuration& c) { c.opts.s_GlobalPassSql = "select 1"; }},
  };
  for (const Case& k : cases) {
    std::string joined;
    for (const std::string& a : k.args) joined += a + " ";
    BatchCommand cmd;
    ASSERT_EQ(ParseBatchCommand(k.args, k.env, cmd), "") << joined;
    Configuration got = FromFile(), expected = FromFile();
    ApplyBatchCommand(cmd, got);
    k.expect(expected);
    EXPECT_EQ(got.connectString, expected.connectString) << joined;
    EXPECT_EQ(got.asksReconnect, expected.asksReconnect) << joined;
    EXPECT_EQ(got.databaseUser, expected.databaseUser) << joined;
    EXPECT_EQ(got.catalogFlag, expected.catalogFlag) << joined;
    EXPECT_EQ(got.applyProfile, expected.applyProfile) << joined;
    EXPECT_TRUE(got.opts == expected.opts) << joined;
  }

  // Without a file the options start from the defaults, not from what a file or the desktop holds.
  BatchCommand cmd;
  ASSERT_EQ(
      ParseBatchCommand({"--connect", "DSN=x", "--progress=json", "--count-rows", "--output", "o.sql"}, nullptr, cmd),
      "");
  EXPECT_EQ(cmd.progress, BatchCommand::Progress::Json);
  EXPECT_TRUE(cmd.countRows);
  EXPECT_EQ(cmd.output, "o.sql");
  Configuration c = DefaultBatchConfiguration();
  ApplyBatchCommand(cmd, c);
  RunOptions defaults;
  EXPECT_TRUE(c.opts == defaults);
  EXPECT_EQ(c.connectString, "DSN=x");
}

TEST(BatchCommand, BadValuesAreRefusedWithTheReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no configuration file or connect string given"},
      {{"--owner", "x"}, "no configuration file or connect string given"},
      {{"--connect", ""}, "--connect needs a connect string"},
      {{"f.mvl", "--rows-per-insert", "0"}, "--rows-per-insert"},
      {{"f.mvl", "--rows-per-insert", "many"}, "--rows-per-insert"},
      {{"f.mvl", "--rows-per-insert", "99999999999"}, "--rows-per-insert"},
      {{"f.mvl", "--rows-per-insert"}, "--rows-per-insert"},
      {{"f.mvl", "--data-case", "title"}, "--data-case"},
      {{"f.mvl", "--progress", "xml"}, "--progress"},
      {{"f.mvl", "--where", "orders"}, "--where needs TABLE=CONDITION, not \"orders\""},
      {{"f.mvl", "--where", "=id > 1"}, "--where needs TABLE=CONDITION"},
      {{"f.mvl", "--table", ""}, "--table needs a table name"},
      {{"f.mvl", "--table", "a", "--exclude-table", "b"}, "give --table or --exclude-table, not both"},
      {{"f.mvl", "--profile", ""}, "--profile needs a profile name"},
      {{"f.mvl", "--bogus"}, "--bogus"},
      {{"a.mvl", "b.mvl"}, "b.mvl"},
      {{"f.mvl", "--sql", "select 1"}, "--sql and --sql-file go with --free-form"},
      {{"f.mvl", "--free-form", "--sql", "x", "--sql-file", "y"}, "give --sql or --sql-file, not both"},
      {{"--connect", "DSN=x", "--free-form"}, "needs --sql or --sql-file"},
      {{"f.mvl", "--save-config", "g.mvl", "--output", "o.sql"}, "--save-config runs nothing"},
      {{"f.mvl", "--save-config", "g.mvl", "--name-case", "lower"}, "--name-case cannot be saved"},
      {{"f.mvl", "--name-case", "camel"}, "--name-case"},
  };
  for (const auto& [args, reason] : cases) {
    BatchCommand cmd;
    const std::string problem = ParseBatchCommand(args, nullptr, cmd);
    EXPECT_NE(problem.find(reason), std::string::npos) << (args.empty() ? "(none)" : args[0]) << ": " << problem;
  }
}

}  // namespace
}  // namespace mv
