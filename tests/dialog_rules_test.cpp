// The rules behind the dialogs: what each copies, checks and writes back, the profile manager
// and its pages, and the data source listing and connect strings.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "db/DataSources.h"
#include "profiles/ProfileEditing.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileFolders.h"
#include "settings/FilterEditing.h"
#include "settings/Filters.h"
#include "settings/OptionRules.h"
#include "settings/ParametersRules.h"
#include "support/PgServer.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/UniqueName.h"

namespace mv {
namespace {

using test::ScriptedHost;
using test::TempDir;

TEST(GeneralOptions, ChecksRunInOrderAndOutputRadiosSetBothFlags) {
  struct Case {
    OutputChoice out;
    const char* file;
    const char* lines;
    const char* message;
    GeneralCheck::Focus focus;
  };
  const Case cases[] = {
      {OutputChoice::File, "", "500", kMsgEnterFileName, GeneralCheck::Focus::None},
      {OutputChoice::File, "  \t", "", kMsgEnterFileName, GeneralCheck::Focus::None},
      {OutputChoice::AutoSave, "", "", kMsgEnterFileName, GeneralCheck::Focus::None},
      {OutputChoice::AutoSave, "out.sql", " ", kMsgEnterInteger, GeneralCheck::Focus::Lines},
      {OutputChoice::File, "out.sql", "", "", GeneralCheck::Focus::None},
      {OutputChoice::Screen, "", "", "", GeneralCheck::Focus::None},
  };
  for (const Case& c : cases) {
    GeneralOptionValues v;
    v.b_AutoSave = v.b_OnlyToFile = 1;
    ChooseOutput(v, c.out);
    EXPECT_EQ(OutputChoiceOf(v), c.out);
    EXPECT_LE(v.b_AutoSave + v.b_OnlyToFile, 1);
    v.s_AutoSaveFile = c.file;
    v.linesText = c.lines;
    const GeneralCheck r = CheckGeneralOptions(v);
    EXPECT_EQ(r.message, c.message) << c.file << "|" << c.lines;
    EXPECT_EQ(r.focus, c.focus);
    EXPECT_EQ(EnablingOf(v).fileName, c.out != OutputChoice::Screen);
    EXPECT_EQ(EnablingOf(v).lines, c.out == OutputChoice::AutoSave);
  }
  // The lines text goes back with the integer rule; b_Optimize is not the SQL dialog's.
  RunOptions opts;
  GeneralOptionValues v = GeneralValuesFrom(opts);
  EXPECT_EQ(v.linesText, "500");
  v.b_Optimize = 1;
  for (auto [text, n] : {std::pair{"12abc", 12}, {"abc", 0}, {"  -7", -7}, {"", 0}}) {
    v.linesText = text;
    WriteGeneralValuesBack(v, opts);
    EXPECT_EQ(opts.i_AutoSaveLines, n) << text;
  }
  EXPECT_EQ(opts.b_Optimize, 0);
}

TEST(ParametersRules, WriteBackAndTheIndexCaseRule) {
  RunOptions opts;
  Profile working;
  working.i_TableNameCase = 1;
  working.i_ColumnNameCase = 2;
  working.i_IndexNameCase = 0;
  working.i_IndexColumnCase = 0;
  ParametersCopies c = LoadParametersCopies(opts, working);
  c.b_DoTabData = 0;
  c.general.linesText = "12 lines";
  c.general.b_Optimize = 1;
  c.data.b_DataCSV = 1;
  c.data.i_RowsPerInsert = 250;
  c.general.b_EngineTypes = 0;
  c.index = {2, 0, 2};
  const RunOptions before = opts;
  // The dialog's copies are not the options: nothing changes until Start or Close.
  EXPECT_EQ(opts, before);
  WriteBackParameters(c, opts, working);
  EXPECT_EQ(opts.b_DoTabData, 0);
  EXPECT_EQ(opts.i_AutoSaveLines, 12);
  EXPECT_EQ(opts.b_Optimize, 1);
  EXPECT_EQ(opts.b_DataCSV, 1);
  EXPECT_EQ(opts.i_RowsPerInsert, 250);
  EXPECT_EQ(opts.b_EngineTypes, 0);
  EXPECT_EQ(opts.b_DropIndex, 0);
  // Never opened: the index rules follow the table and column rules, not the copies.
  EXPECT_EQ(working.i_IndexNameCase, 1);
  EXPECT_EQ(working.i_IndexColumnCase, 2);

  // Opening Advanced Index once (then cancelling) is enough to keep the copies from then on.
  working.i_IndexNameCase = 0;
  working.i_IndexColumnCase = 1;
  ParametersCopies d = LoadParametersCopies(opts, working);
  d.index.i_IndexNameCase = 2;
  PrepareAdvancedIndex(d, opts, working);
  EXPECT_EQ(opts.b_IndexCaseSet, 1);
  EXPECT_EQ(d.index.i_IndexNameCase, 0);  // reloaded from the working copy the first time
  d.index.i_IndexNameCase = 2;
  PrepareAdvancedIndex(d, opts, working);
  EXPECT_EQ(d.index.i_IndexNameCase, 2);  // later openings keep the dialog's copies
  WriteBackParameters(d, opts, working);
  EXPECT_EQ(working.i_IndexNameCase, 2);
  EXPECT_EQ(working.i_IndexColumnCase, 1);
}

TEST(ParametersRules, ProfileChoiceSqlStartChecksAndStatementFiles) {
  const auto names = SortedProfileNames({"sqlite", "Default", "MariaDB", "b"});
  EXPECT_EQ(names, (std::vector<std::string>{"b", "Default", "MariaDB", "sqlite"}));
  std::string working = "MariaDB";
  EXPECT_EQ(ChooseProfileEntry(names, working), 2);
  working = "Gone";
  EXPECT_EQ(ChooseProfileEntry(names, working), 0);
  EXPECT_EQ(working, "b");

  bool empty = false;
  EXPECT_EQ(CheckSqlScriptStart(false, "", empty), kMsgSelectDatabaseToBegin);
  EXPECT_EQ(CheckSqlScriptStart(true, " \r\n\t\n", empty), kMsgEnterStatement);
  EXPECT_TRUE(empty);
  EXPECT_EQ(CheckSqlScriptStart(true, "  select 1", empty), "");

  TempDir dir;
  test::WritePlain(dir / "three.sql", "select a\r\nfrom t\nwhere x = ';'");
  std::string text = "old";
  ASSERT_TRUE(ReadStatementFile(dir / "three.sql", text));
  EXPECT_EQ(text, "select a\nfrom t\nwhere x = ';'\n");
  EXPECT_FALSE(ReadStatementFile(dir / "missing.sql", text));
  EXPECT_EQ(text, "select a\nfrom t\nwhere x = ';'\n");
}

TEST(StructurePages, TablesColumnsAndTypesWriteBack) {
  RunOptions opts;
  Profile working;
  opts.IncludeOnlyTables = {"Orders"};
  opts.IgnoreTables = {"orders"};
  TablesPageState t = OpenTablesPage({"orders", "Customers", "ORDERS", "audit"}, opts, working);
  EXPECT_EQ(t.names, (std::vector<std::string>{"audit", "Customers", "orders"}));
  EXPECT_EQ(t.selected, (std::vector<bool>{false, false, true}));
  ApplyTablesPage(t, opts, working);
  EXPECT_TRUE(opts.IncludeOnlyTables.empty());
  EXPECT_EQ(opts.IgnoreTables, (std::vector<std::string>{"audit", "Customers"}));
  t = OpenTablesPage({"orders", "Customers", "audit"}, opts, working);
  EXPECT_EQ(t.selected, (std::vector<bool>{false, false, true}));

  ColumnsPageState c = OpenColumnsPage(opts, working);
  bool added = false;
  for (auto [text, message, ok] : {std::tuple{"", "", false},
                                   {"A%B%C", kMsgOneExpander, false},
                                   {"A%B", "", true},
                                   {"%", "", true},
                                   {"ID", "", true},
                                   {"ID", "", true}}) {
    EXPECT_EQ(AddColumnPattern(c, text, added), message) << text;
    EXPECT_EQ(added, ok) << text;
  }
  c.caseRule = 1;
  ApplyColumnsPage(c, opts, working);
  EXPECT_EQ(opts.IgnoreColumns, (std::vector<std::string>{"%", "A%B", "ID", "ID"}));
  EXPECT_EQ(working.i_ColumnNameCase, 1);

  opts.IgnoreDataTypes = {"long varchar", "NOT A TYPE"};
  TypesPageState ty = OpenTypesPage(opts, working);
  ASSERT_EQ(ty.names.size(), 23u);
  EXPECT_EQ(ty.names.front(), "BIGINT");
  EXPECT_EQ(ty.names.back(), "WVARCHAR");
  ty.selected[0] = true;
  ApplyTypesPage(ty, opts, working);
  EXPECT_EQ(opts.IgnoreDataTypes, (std::vector<std::string>{"BIGINT", "LONG VARCHAR"}));
}

TEST(DataConditions, EditingStoresUnderTheUpperCasedName) {
  RunOptions opts;
  EXPECT_EQ(EditCondition(opts, "Orders", "   WHERE\tid > 5"), 1);
  EXPECT_EQ(StoredCondition(opts, "ORDERS"), "WHERE\tid > 5");
  std::string cond;
  ASSERT_EQ(WhereConditionFor(opts, "orders", cond), 1);
  EXPECT_EQ(cond, "id > 5");
  EXPECT_EQ(EditCondition(opts, "Lines", "wherever = 1"), 1);
  auto entries = ConditionEntries({"Orders", "lines", "Empty", "ORDERS"}, opts);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "Empty");
  EXPECT_EQ(entries[0].hasCondition, 0);
  EXPECT_EQ(entries[2].hasCondition, 1);
  EXPECT_EQ(EditCondition(opts, "orders", " \n "), 0);
  EXPECT_EQ(opts.WhereStatements.count("ORDERS"), 0u);
  // A long condition is kept whole.
  const std::string longText(70000, 'x');
  EditCondition(opts, "Lines", longText);
  EXPECT_EQ(StoredCondition(opts, "LINES"), longText);
}

TEST(ProfileManager, AddRemoveAndSaveOnClose) {
  ScriptedHost host;
  ProfileList list;
  Profile a;
  SetBuiltInDefaults(a);
  a.s_Name = "Default";
  a.Substitutions = {{"'", "''"}};
  list.Append(a);
  std::string name = "  Default ";
  EXPECT_EQ(CheckNewProfileName(list, name), ExistingProfileMessage("Default"));
  name = " \t";
  EXPECT_EQ(CheckNewProfileName(list, name), kMsgEnterProfileName);
  name = "  Oracle ";
  EXPECT_EQ(CheckNewProfileName(list, name), "");
  EXPECT_EQ(name, "Oracle");
  AddProfileCopy(list, *list.FindProfile("Default"), name);
  Profile& copy = *list.FindProfile("Oracle");
  EXPECT_EQ(copy.b_Changed, 1);
  EXPECT_EQ(copy.Substitutions, a.Substitutions);
  copy.Substitutions.push_back({"x", "y"});
  EXPECT_EQ(list.FindProfile("Default")->Substitutions.size(), 1u);

  EXPECT_EQ(RowAfterRemoval(1, 1), 0);
  EXPECT_EQ(RowAfterRemoval(0, 2), 0);
  EXPECT_EQ(RowAfterRemoval(2, 2), 1);

  TempDir dir;
  Profile working;
  ASSERT_TRUE(SaveChangedProfiles(list, dir.path, "Oracle", working, host));
  EXPECT_EQ(list.FindProfile("Oracle")->b_Changed, 0);
  EXPECT_EQ(working.Substitutions.size(), 2u);
  EXPECT_TRUE(std::filesystem::exists(dir / "Oracle.pfl"));
  EXPECT_FALSE(std::filesystem::exists(dir / "Default.pfl"));  // unchanged profiles are not written
  EXPECT_EQ(DeleteProfileFile(dir.path, "Oracle"), "");
  EXPECT_EQ(DeleteProfileFile(dir.path, "Oracle"), "");  // a missing file is not reported
  // A profile that cannot be written is reported and stays changed.
  list.FindProfile("Default")->b_Changed = 1;
  EXPECT_FALSE(SaveChangedProfiles(list, dir / "no/such/folder", "x", working, host));
  EXPECT_EQ(list.FindProfile("Default")->b_Changed, 1);
  EXPECT_EQ(host.messages.back(), "Could not save profile '" + (dir / "no/such/folder/Default.pfl") + "'");
}

TEST(ProfileManager, UserProfileFolderWhenTheProgramFolderCannotBeWritten) {
  TempDir dir;
  ScriptedHost host;
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", dir.path.c_str(), 1);
  const std::string user = dir / "Quillfen/Mervale/profiles";
  EXPECT_EQ(UserProfileFolder(), user);
  EXPECT_EQ(ProfileSaveFolder(dir.path), dir.path);
  EXPECT_EQ(ProfileSaveFolder(dir / "not-there"), user);
  Profile mine;
  mine.s_Name = "Default";
  mine.s_Remarks = "--";
  ASSERT_TRUE(SaveProfile(mine, user, host));
  mine.s_Name = "Mine";
  ASSERT_TRUE(SaveProfile(mine, user, host));
  ProfileList list;
  Profile shipped;
  shipped.s_Name = "Default";
  shipped.s_Remarks = "REM";
  list.Append(shipped);
  DiscoverUserProfiles(list, dir / "program", host);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].s_Remarks, "--");
  EXPECT_EQ(list[1].s_Name, "Mine");
  if (old)
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

TEST(ProfilePages, DataTypesRuleSwitchingAndTranslations) {
  Profile p;
  p.i_LengthRule = 2;
  p.OmitLengthTypes = {"DATE", "TIMESTAMP", "XML"};
  p.s_TypeTranslation[kBigint] = "INT8";
  TypesPageModel m;
  EXPECT_EQ(m.Show(p), "INT8");  // BIGINT is first in sorted order
  EXPECT_TRUE(m.OmitListEnabled());
  EXPECT_FALSE(m.Modified());
  int omitted = 0;
  for (bool b : m.Omitted()) omitted += b;
  EXPECT_EQ(omitted, 2);
  EXPECT_FALSE(m.Apply(p, "changed"));  // not modified: nothing happens
  EXPECT_EQ(p.s_TypeTranslation[kBigint], "INT8");

  m.ChooseLengthRule(0);
  EXPECT_FALSE(m.OmitListEnabled());
  m.ChooseLengthRule(2);
  const int varchar = static_cast<int>(std::find(m.Names().begin(), m.Names().end(), "VARCHAR") - m.Names().begin());
  EXPECT_EQ(m.SelectTranslation(varchar, "BIGINT8"), "");
  EXPECT_EQ(m.SelectTranslation(0, "VARCHAR2"), "BIGINT8");
  m.ChooseLengthRule(0);
  ASSERT_TRUE(m.Apply(p, "INT8 "));
  EXPECT_EQ(p.i_LengthRule, 0);
  EXPECT_EQ(p.OmitLengthTypes.size(), 3u);  // rule 0 leaves the list alone
  EXPECT_EQ(p.s_TypeTranslation[kVarchar], "VARCHAR2");
  EXPECT_EQ(p.s_TypeTranslation[kBigint], "INT8 ");
  EXPECT_EQ(p.b_Changed, 1);
  m.ChooseLengthRule(2);
  m.Apply(p, "INT8");
  EXPECT_EQ(p.OmitLengthTypes, (std::vector<std::string>{"DATE", "TIMESTAMP"}));

  // A rule outside 0..2 leaves the radios and the list as they were.
  p.i_LengthRule = 7;
  m.Show(p);
  EXPECT_EQ(m.CheckedRule(), 2);
  EXPECT_TRUE(m.OmitListEnabled());
}

TEST(ProfilePages, FunctionsKeepEditsAcrossCategoriesUntilApplied) {
  Profile p;
  FunctionsPageModel m;
  FunctionFields shown = m.Show(p);
  EXPECT_EQ(shown, FunctionFields{});
  const int date = static_cast<int>(std::find(m.Names().begin(), m.Names().end(), "DATE") - m.Names().begin());
  shown = m.Select(date, {"F(", ")", "", "", 1});  // edits of BIGINT, then DATE shown
  EXPECT_EQ(shown, FunctionFields{});
  shown = m.Select(0, {"", "", "TO_DATE(", ")", 0});
  EXPECT_EQ(shown, (FunctionFields{"F(", ")", "", "", 1}));
  EXPECT_FALSE(m.Apply(p, shown));
  EXPECT_EQ(p.s_RetrievePrefix[kBigint], "");
  m.MarkModified();
  ASSERT_TRUE(m.Apply(p, shown));
  EXPECT_EQ(p.s_RetrievePrefix[kBigint], "F(");
  EXPECT_EQ(p.b_FuncOnlyIfValue[kBigint], 1);
  EXPECT_EQ(p.s_ScriptPrefix[kDate], "TO_DATE(");
  EXPECT_EQ(m.Select(-1, shown), FunctionFields{});
}

TEST(ProfilePages, SubstitutionRefusalsAndApply) {
  ScriptedHost host;
  Profile p;
  p.Substitutions = {{"b", "c"}, {"a", "b"}};
  SubstitutionsPageModel m;
  m.Show(p);
  EXPECT_EQ(m.Entries(), (std::vector<std::string>{"a => b", "b => c"}));
  EXPECT_FALSE(m.Add("", "x", host));
  EXPECT_FALSE(m.Add("x", "x", host));
  EXPECT_EQ(host.messages.back(), kMsgSubstituteItself);
  EXPECT_FALSE(m.Add("A", "b", host));
  EXPECT_EQ(host.messages.back(), kMsgSubstitutionExists);
  host.answers.push_back(Host::Answer::No);
  EXPECT_FALSE(m.Add("\t", "", host));
  EXPECT_EQ(host.messages.back(), DeleteAllQuestion("\t"));
  EXPECT_FALSE(m.Modified());
  EXPECT_TRUE(m.Add("\t", "", host));  // Yes by default
  EXPECT_TRUE(m.Add("x => y", "z", host));
  bool added = false;
  EXPECT_FALSE(m.Apply(p, "q", "r", host, added));  // text left in "Replace": added, apply refused
  EXPECT_TRUE(added);
  EXPECT_EQ(p.Substitutions.size(), 2u);
  ASSERT_TRUE(m.Apply(p, "", "", host, added));
  EXPECT_EQ(p.Substitutions,
            (std::vector<Substitution>{{"\t", ""}, {"a", "b"}, {"b", "c"}, {"q", "r"}, {"x", "y => z"}}));
  EXPECT_EQ(p.b_Changed, 1);
}

TEST(ConnectStrings, BuildParseAndStrip) {
  EXPECT_EQ(ConnectValue("plain"), "plain");
  EXPECT_EQ(ConnectValue("a;b"), "{a;b}");
  EXPECT_EQ(ConnectValue("x}y{"), "{x}}y{}");
  EXPECT_EQ(ConnectValue(" pad"), "{ pad}");
  EXPECT_EQ(BuildConnectString("PostgreSQL ANSI", "", {"127.0.0.1", "5432", "shop", "me", "p;w}"}),
            "DRIVER={PostgreSQL ANSI};SERVER=127.0.0.1;PORT=5432;DATABASE=shop;UID=me;PWD={p;w}}};");
  EXPECT_EQ(BuildConnectString("ignored", "Sales", {"", "", "", "me", ""}), "DSN=Sales;UID=me;");
  EXPECT_EQ(SqliteConnectString("/tmp/demo.db"), "DRIVER=SQLite3;Database=/tmp/demo.db");
  const auto parts = ParseConnectString("DRIVER={PostgreSQL ANSI};PWD={p;w}}};UID=me");
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[1].second, "p;w}");
  EXPECT_EQ(parts[2].second, "me");
  EXPECT_EQ(RemoveConnectAttribute("DRIVER={PostgreSQL ANSI};pwd={p;w}}};UID=me;", "PWD"),
            "DRIVER={PostgreSQL ANSI};UID=me;");
  // The completed string keeps no password that came from the password field.
  const std::string completed = "DSN=;Database=/tmp/x.db;StepAPI=;PWD=secret";
  EXPECT_EQ(ConnectStringToKeep(completed, "secret"), "DSN=;Database=/tmp/x.db;StepAPI=;");
  EXPECT_EQ(ConnectStringToKeep(completed, ""), completed);
  EXPECT_EQ(ConnectStringToKeep(completed, "other"), completed);
  EXPECT_EQ(ConnectStringToKeep("DRIVER={PostgreSQL ANSI};UID=me;Password={a;b}", "a;b"),
            "DRIVER={PostgreSQL ANSI};UID=me;");
}

TEST(DataSources, RealDriversAndConnections) {
  const auto drivers = ListDrivers();
  auto sqlite = std::find_if(drivers.begin(), drivers.end(), [](const DriverInfo& d) { return d.name == "SQLite3"; });
  ASSERT_NE(sqlite, drivers.end());
  EXPECT_TRUE(std::any_of(sqlite->attributes.begin(), sqlite->attributes.end(),
                          [](const auto& kv) { return kv.first == "Driver" && !kv.second.empty(); }));
  // A user data source with a name longer than the first buffer comes back whole, and so does
  // its description (unixODBC describes a data source by its driver; its INI lines stop near
  // 1000 bytes).
  {
    TempDir home;
    const std::string name(300, 'N'), description(900, 'd');
    test::WritePlain(home / "odbc.ini", "[" + name + "]\nDriver=" + description + "\n");
    const char* old = std::getenv("ODBCINI");
    const std::string saved = old ? old : "";
    setenv("ODBCINI", (home / "odbc.ini").c_str(), 1);
    const auto sources = ListDataSources();
    if (old)
      setenv("ODBCINI", saved.c_str(), 1);
    else
      unsetenv("ODBCINI");
    auto it = std::find_if(sources.begin(), sources.end(), [&](const DataSourceInfo& d) { return d.name == name; });
    ASSERT_NE(it, sources.end());
    EXPECT_EQ(it->description, description);
    EXPECT_FALSE(it->system);
  }

  std::string message;
  EXPECT_TRUE(TestConnectString(SqliteConnectString(MV_BINARY_DIR "/demo/demo.db"), message)) << message;
  EXPECT_FALSE(TestConnectString("DRIVER={No Such Driver};", message));
  EXPECT_FALSE(message.empty());

  test::PgServer& pg = test::PgServer::Instance();
  const std::string db_chooser = test::UniqueDbName("chooser");
  pg.CreateDatabase(db_chooser);
  EXPECT_TRUE(TestConnectString(pg.ConnectString(db_chooser), message)) << message;
  const std::string wrong = RemoveConnectAttribute(pg.ConnectString(db_chooser), "PWD") + "PWD=wrong;";
  EXPECT_FALSE(TestConnectString(wrong, message));
  EXPECT_NE(message.find("password"), std::string::npos) << message;
}

}  // namespace
}  // namespace mv
