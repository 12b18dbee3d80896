#include "BatchCommand.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <climits>

#include "profiles/Profile.h"
#include "settings/Configuration.h"

namespace mv {

const char kBatchUsage[] =
    "Usage: mervale-batch CONFIG.mvl [OPTIONS] [--output FILE]\n"
    "       mervale-batch --connect TEXT [OPTIONS] [--output FILE]\n"
    "       mervale-batch --free-form CONFIG.mvl [--sql TEXT | --sql-file FILE] [--output FILE]\n"
    "       mervale-batch [CONFIG.mvl] [OPTIONS] --save-config FILE\n"
    "       mervale-batch --library-list\n"
    "       mervale-batch --version\n"
    "\n"
    "Scripts a database (structure, data and indexes) with a profile's SQL dialect. The run\n"
    "options come from the configuration file, or from the defaults when none is named; the\n"
    "options below change them for this run. The script goes to standard output, or to FILE\n"
    "(replaced only when the run has finished; a new FILE gets the mode the umask allows, an\n"
    "existing one keeps its mode, a symbolic link is followed). Messages go to standard error.\n"
    "\n"
    "  --output FILE          write the script to FILE instead of standard output\n"
    "  --free-form            run the configuration's free-form SQL statement and script its rows\n"
    "  --sql TEXT             with --free-form: run TEXT instead\n"
    "  --sql-file FILE        with --free-form: run the statement in FILE instead\n"
    "  --library-list         list the SQL Library entries with their command numbers\n"
    "  --version              show the program's version and the unixODBC version\n"
    "  --help                 show this text\n"
    "\n"
    "Run options:\n"
    "  --connect TEXT         the ODBC connect string (default: $MERVALE_CONNECT, which keeps a\n"
    "                         password out of the process list)\n"
    "  --owner NAME           the schema (or, with --catalog, the catalog) whose tables to script\n"
    "  --catalog, --schema    whether the owner names a catalog or a schema\n"
    "  --profile NAME         the profile (SQL dialect) to write in\n"
    "  --no-structure, --no-data, --no-indexes\n"
    "                         leave out CREATE TABLE, the rows, or CREATE INDEX (--structure,\n"
    "                         --data and --indexes turn them back on)\n"
    "  --no-remarks, --remarks\n"
    "                         leave out or write the remark lines\n"
    "  --no-drop, --drop      leave out or write DROP TABLE and DROP INDEX\n"
    "  --no-delete, --delete  leave out or write DELETE before a table's rows\n"
    "  --no-constraints, --constraints\n"
    "                         leave out or write keys, constraints, defaults and identities\n"
    "                         (written where the profile has the words for them)\n"
    "  --table NAME           script only this table; repeatable; % stands for any text\n"
    "  --exclude-table NAME   leave this table out (and script every other one); repeatable;\n"
    "                         % stands for any text\n"
    "  --where TABLE=CONDITION\n"
    "                         select the table's rows with CONDITION; repeatable; an empty\n"
    "                         CONDITION removes the configuration's condition for TABLE\n"
    "  --csv, --no-csv        write rows as comma-separated values instead of INSERTs\n"
    "  --data-case CASE       letter case of the data values: upper, lower or asis\n"
    "  --name-case CASE       letter case of table, column and index names for this run,\n"
    "                         instead of the profile's: upper, lower or asis\n"
    "  --rows-per-insert N    up to N rows in one INSERT (default 1)\n"
    "  --csv-dir DIR          write each table's rows to DIR/TABLE.csv (RFC 4180: a header row,\n"
    "                         NULL an empty field, the empty text \"\"), not into the script\n"
    "  --output-dir DIR       write each table's script to a file of its own in DIR, with\n"
    "                         DIR/load.sql that loads them in order and DIR/manifest.tsv\n"
    "  --inserts, --copy      rows as INSERTs, or in the profile's copy format (COPY ... FROM\n"
    "                         stdin), instead of the profile's choice\n"
    "  --save-config FILE     write these options as a configuration file (mode 0600) and run\n"
    "                         nothing\n"
    "\n"
    "Output that compares well from run to run (in version control, with diff):\n"
    "  --diff-friendly        all four below\n"
    "  --line-feeds, --no-line-feeds\n"
    "                         end lines with a line feed instead of carriage return and line feed\n"
    "  --trim-line-ends, --no-trim-line-ends\n"
    "                         leave out blanks and tabs at the end of a line\n"
    "  --order-rows, --no-order-rows\n"
    "                         rows in primary key order (by every column where there is no key)\n"
    "  --no-elapsed-time, --elapsed-time\n"
    "                         leave the elapsed time out of the last line, or write it\n"
    "\n"
    "Progress:\n"
    "  --progress MODE        line (on a terminal, the default), json (one object a second on\n"
    "                         standard error) or none\n"
    "  --count-rows           count each table's rows first, for the time left\n"
    "\n"
    "Environment: MERVALE_CONNECT is the connect string when --connect is not given;\n"
    "MERVALE_HOME is the program folder (profiles, SQL Library; default: the folder of this\n"
    "executable); XDG_CONFIG_HOME holds Quillfen/Mervale.ini, the settings.\n"
    "Without --profile or a configuration file the script is written in the shipped profile of\n"
    "the source's engine (--profile Default: the built-in dialect). A profile, owner or table\n"
    "name that matches nothing is an error (1 on the command line, 2 in the configuration).\n"
    "Exit status: 0 finished, 1 usage, 2 configuration unreadable, 3 no connection,\n"
    "4 script not written whole (or a path given is the source database file), 5 stopped,\n"
    "6 finished with errors (some tables, or the list of tables, could not be read whole;\n"
    "they are named). After 5 or 6, --output FILE keeps what it held and the new script is\n"
    "left beside it under the name given.\n";

namespace {

// A flag with its negation (--remarks / --no-remarks): the last one given wins.
void AddSwitch(CLI::App& app, const std::string& names, std::optional<bool>& value) {
  app.add_flag_function(
         names, [&value](std::int64_t count) { value = count > 0; }, "")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// A repeatable option taking one value each time.
CLI::Option* AddList(CLI::App& app, const std::string& name, std::vector<std::string>& values) {
  return app.add_option(name, values)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

}  // namespace

std::string ParseBatchCommand(const std::vector<std::string>& args, const char* envConnect, BatchCommand& cmd) {
  CLI::App app{"mervale-batch"};
  app.set_help_flag();
  std::string sql, connect, owner, profile, progress = "line", dataCase, nameCase;
  int rows = 0;
  std::vector<std::string> wheres;
  app.add_flag("-h,--help", cmd.help);
  app.add_flag("--version", cmd.version);
  app.add_option("config", cmd.config);
  app.add_option("--output", cmd.output);
  app.add_flag("--free-form", cmd.freeForm);
  CLI::Option* sqlOpt = app.add_option("--sql", sql);
  app.add_option("--sql-file", cmd.sqlFile);
  app.add_flag("--library-list", cmd.libraryList);
  app.add_option("--save-config", cmd.saveConfig);
  CLI::Option* progressOpt = app.add_option("--progress", progress)->check(CLI::IsMember({"line", "json", "none"}));
  app.add_flag("--count-rows", cmd.countRows);

  CLI::Option* connectOpt = app.add_option("--connect", connect);
  CLI::Option* ownerOpt = app.add_option("--owner", owner);
  std::optional<bool> catalog;
  AddSwitch(app, "--catalog,!--schema", catalog);
  CLI::Option* profileOpt = app.add_option("--profile", profile);
  AddSwitch(app, "--structure,!--no-structure", cmd.structure);
  AddSwitch(app, "--data,!--no-data", cmd.data);
  AddSwitch(app, "--indexes,!--no-indexes", cmd.indexes);
  AddSwitch(app, "--remarks,!--no-remarks", cmd.remarks);
  AddSwitch(app, "--constraints,!--no-constraints", cmd.constraints);
  AddSwitch(app, "--drop,!--no-drop", cmd.drop);
  AddSwitch(app, "--delete,!--no-delete", cmd.deleteData);
  AddSwitch(app, "--csv,!--no-csv", cmd.csv);
  AddSwitch(app, "--copy,!--inserts", cmd.copy);
  CLI::Option* caseOpt = app.add_option("--data-case", dataCase)->check(CLI::IsMember({"upper", "lower", "asis"}));
  CLI::Option* nameCaseOpt = app.add_option("--name-case", nameCase)->check(CLI::IsMember({"upper", "lower", "asis"}));
  CLI::Option* rowsOpt = app.add_option("--rows-per-insert", rows)->check(CLI::Range(1, INT_MAX));
  bool diffFriendly = false;
  app.add_flag("--diff-friendly", diffFriendly);
  AddSwitch(app, "--line-feeds,!--no-line-feeds", cmd.lineFeeds);
  AddSwitch(app, "--trim-line-ends,!--no-trim-line-ends", cmd.trimLineEnds);
  AddSwitch(app, "--order-rows,!--no-order-rows", cmd.orderRows);
  AddSwitch(app, "--no-elapsed-time,!--elapsed-time", cmd.noElapsedTime);
  std::string csvDir, outputDir;
  CLI::Option* csvDirOpt = app.add_option("--csv-dir", csvDir);
  CLI::Option* outputDirOpt = app.add_option("--output-dir", outputDir);
  AddList(app, "--table", cmd.tables);
  AddList(app, "--exclude-table", cmd.excludeTables);
  AddList(app, "--where", wheres);

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return e.what();
  }
  cmd.catalog = catalog;
  if (cmd.help || cmd.version || cmd.libraryList) return {};

  if (sqlOpt->count()) cmd.sql = sql;
  if ((cmd.sql || !cmd.sqlFile.empty()) && !cmd.freeForm) return "--sql and --sql-file go with --free-form";
  if (cmd.sql && !cmd.sqlFile.empty()) return "give --sql or --sql-file, not both";
  if (progressOpt->count())
    cmd.progress = progress == "json"   ? BatchCommand::Progress::Json
                   : progress == "none" ? BatchCommand::Progress::None
                                        : BatchCommand::Progress::Line;
  if (connectOpt->count()) {
    if (connect.empty()) return "--connect needs a connect string";
    cmd.connect = connect;
  } else if (envConnect && *envConnect) {
    cmd.connect = std::string(envConnect);
  }
  if (ownerOpt->count()) cmd.owner = owner;
  if (profileOpt->count()) {
    if (profile.empty()) return "--profile needs a profile name";
    cmd.profile = profile;
  }
  auto rule = [](const std::string& c) { return c == "upper" ? 0 : c == "lower" ? 1 : 2; };
  if (caseOpt->count()) cmd.dataCase = rule(dataCase);
  if (nameCaseOpt->count()) cmd.nameCase = rule(nameCase);
  if (rowsOpt->count()) cmd.rowsPerInsert = rows;
  // The one switch turns on what a single switch has not set.
  if (diffFriendly)
    for (std::optional<bool>* o : {&cmd.lineFeeds, &cmd.trimLineEnds, &cmd.orderRows, &cmd.noElapsedTime})
      if (!*o) *o = true;
  if (csvDirOpt->count()) {
    if (csvDir.empty()) return "--csv-dir needs a folder";
    cmd.csvDir = csvDir;
  }
  if (outputDirOpt->count()) {
    if (outputDir.empty()) return "--output-dir needs a folder";
    cmd.outputDir = outputDir;
  }
  if ((cmd.csvDir || cmd.outputDir) && cmd.freeForm) return "--csv-dir and --output-dir script tables, not --free-form";
  for (const std::vector<std::string>* list : {&cmd.tables, &cmd.excludeTables})
    if (std::find(list->begin(), list->end(), std::string()) != list->end())
      return list == &cmd.tables ? "--table needs a table name" : "--exclude-table needs a table name";
  // Only the tables named are scripted when some are named: a list to leave out would not be read.
  if (!cmd.tables.empty() && !cmd.excludeTables.empty()) return "give --table or --exclude-table, not both";
  for (const std::string& w : wheres) {
    const size_t eq = w.find('=');
    if (eq == std::string::npos || eq == 0) return "--where needs TABLE=CONDITION, not \"" + w + "\"";
    cmd.wheres.emplace_back(w.substr(0, eq), w.substr(eq + 1));
  }
  if (!cmd.saveConfig.empty() && !cmd.output.empty())
    return "--save-config runs nothing: --output has nothing to write";
  if (!cmd.saveConfig.empty() && cmd.nameCase)
    return "--name-case cannot be saved: a configuration file leaves the letter case of names to the profile";
  if (cmd.saveConfig.empty() && cmd.config.empty() && !cmd.connect)
    return "no configuration file or connect string given";
  if (cmd.freeForm && cmd.config.empty() && !cmd.sql && cmd.sqlFile.empty())
    return "--free-form without a configuration file needs --sql or --sql-file";
  return {};
}

void ApplyNameCase(ProfileList& profiles, const std::string& profileName, int rule) {
  Profile* p = profiles.FindProfile(profileName);
  if (!p) return;
  p->i_TableNameCase = p->i_ColumnNameCase = p->i_IndexNameCase = p->i_IndexColumnCase = rule;
}

Configuration DefaultBatchConfiguration() {
  Configuration c;
  c.opts = RunOptions{};
  c.catalogFlag = "0";
  return c;
}

void ApplyBatchCommand(const BatchCommand& cmd, Configuration& c) {
  RunOptions& o = c.opts;
  if (cmd.connect) {
    c.connectString = *cmd.connect;
    c.asksReconnect = true;
  }
  if (cmd.owner) c.databaseUser = *cmd.owner;
  if (cmd.catalog) c.catalogFlag = *cmd.catalog ? "1" : "0";
  if (cmd.profile) {
    o.s_WorkingProfile = *cmd.profile;
    c.applyProfile = true;
  }
  auto flag = [](const std::optional<bool>& given, int& field) {
    if (given) field = *given ? 1 : 0;
  };
  flag(cmd.structure, o.b_DoTabStruct);
  flag(cmd.data, o.b_DoTabData);
  flag(cmd.indexes, o.b_DoIndex);
  flag(cmd.remarks, o.b_DoRemarks);
  flag(cmd.constraints, o.b_Constraints);
  flag(cmd.drop, o.b_DropTable);
  flag(cmd.drop, o.b_DropIndex);
  flag(cmd.deleteData, o.b_DeleteData);
  flag(cmd.csv, o.b_DataCSV);
  flag(cmd.lineFeeds, o.b_LineFeeds);
  flag(cmd.trimLineEnds, o.b_TrimLineEnds);
  flag(cmd.orderRows, o.b_OrderRows);
  flag(cmd.noElapsedTime, o.b_NoElapsedTime);
  if (cmd.csvDir) o.s_CsvDir = *cmd.csvDir;
  if (cmd.outputDir) o.s_OutputDir = *cmd.outputDir;
  if (cmd.dataCase) o.i_DataCase = *cmd.dataCase;
  if (cmd.rowsPerInsert) o.i_RowsPerInsert = *cmd.rowsPerInsert;
  if (cmd.copy) o.i_DataFormat = *cmd.copy ? 2 : 1;
  if (!cmd.tables.empty()) o.IncludeOnlyTables = cmd.tables;
  if (!cmd.excludeTables.empty()) {
    o.IgnoreTables = cmd.excludeTables;
    // A list of tables to script would leave the list to leave out unread.
    o.IncludeOnlyTables.clear();
  }
  for (const auto& [table, condition] : cmd.wheres) o.WhereStatements[ApplyCase(table, 0)] = condition;
  if (cmd.sql) o.s_GlobalPassSql = *cmd.sql;
}

}  // namespace mv
