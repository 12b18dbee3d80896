#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "base/SettingsStore.h"
#include "run/ConfigurationCommands.h"
#include "run/RunController.h"
#include "run/StartRules.h"
#include "settings/Configuration.h"
#include "support/PgServer.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/UniqueName.h"

namespace fs = std::filesystem;
using namespace mv;
using mv::test::ScriptedHost;

namespace {

constexpr char kOpenFailed[] = "Could not open config file.";
constexpr char kReconnect[] = "Do you wish to re-connect to the database on the config file?";
constexpr char kNoAutoStart[] =
    "Could not automatically start scripting, please make sure a valid database connection is saved in the "
    "configuration file.\nSee the help topics for more information.";

// Each file's folders carry its own prefix, so a leftover folder tells which test left it.
struct TempDir : mv::test::TempDir {
  TempDir() : mv::test::TempDir("mv-config") {}
};

// An owner with its own settings file and two profiles in memory.
struct Fixture {
  Fixture() : settings(dir / "Mervale.ini"), owner(host, settings, dir.path) {
    for (const char* name : {"First", "Second"}) {
      Profile p;
      p.s_Name = name;
      p.s_Remarks = std::string("remark of ") + name;
      owner.session().profiles.Append(p);
    }
  }
  TempDir dir;
  ScriptedHost host;
  SettingsStore settings;
  RunController owner;
};

using mv::test::WritePlain;

std::string Slurp(const std::string& path) {
  std::string out;
  EXPECT_TRUE(ReadWholeFile(path, out)) << path;
  return out;
}

struct Bytes {
  std::string data;
  Bytes& U8(unsigned v) {
    data += static_cast<char>(v & 0xFF);
    return *this;
  }
  Bytes& U16(unsigned v) { return U8(v).U8(v >> 8); }
  Bytes& Int(int v) {
    const auto u = static_cast<unsigned>(v);
    return U16(u & 0xFFFF).U16(u >> 16);
  }
  Bytes& Str(const std::string& s) {
    if (s.size() < 255)
      U8(static_cast<unsigned>(s.size()));
    else
      U8(0xFF).U16(static_cast<unsigned>(s.size()));
    data += s;
    return *this;
  }
};

std::string SqliteConnectString(const std::string& db) { return "DRIVER=SQLite3;Database=" + db; }

void MakeSqliteDatabase(const std::string& db) {
  const std::string cmd = "sqlite3 '" + db + "' 'CREATE TABLE t (id INTEGER); INSERT INTO t VALUES (1);'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace

TEST(Configuration, SaveWritesEveryKeyInOrderAndLoadReadsItBack) {
  Fixture f;
  RunOptions& o = f.owner.session().opts;
  o.s_WorkingProfile = "Second";
  o.i_AutoSpecialName = 2;
  o.b_AutoSave = 1;
  o.i_AutoSaveLines = 42;
  o.s_AutoSaveFile = "/tmp/out file.sql";
  o.b_OnlyToFile = 1;
  o.b_DataType = 0;
  o.b_IgnoreColLen = 1;
  o.b_IgnoreColCase = 0;
  o.b_IgnoreDatCase = 1;
  o.b_IgnoreDatTrail = 0;
  o.b_IgnoreDatLead = 0;
  o.b_IgnoreTabCase = 0;
  o.b_DoTabCommon = 0;
  o.b_DoTabSkipped = 0;
  o.b_DoTabStruct = 0;
  o.b_DoTabData = 0;
  o.b_DoIndex = 0;
  o.b_EngineTypes = 0;
  o.s_GlobalPassSql = "select *\r\nfrom orders\r\nwhere note = 'a\\b'";
  o.IgnoreColumns = {"ROWID", "%_TMP"};
  o.IgnoreTables = {"LOG"};
  o.IncludeOnlyTables = {"A", "B"};
  o.IgnoreDataTypes = {"BIT"};
  o.WhereStatements = {{"CUSTOMERS", "id > 5\nand region = 'N'"}, {"ORDERS", "status = 'open'"}};

  const std::string path = f.dir / "nightly.mvl";
  ASSERT_TRUE(SaveConfiguration(f.owner, path));
  EXPECT_EQ(Slurp(path),
            "[Mervale]\r\n"
            "Version=5.0\r\n"
            "s_WorkingProfile=Second\r\n"
            "i_AutoSpecialName=2\r\n"
            "b_AutoSave=1\r\n"
            "i_AutoSaveLines=42\r\n"
            "s_AutoSaveFile=/tmp/out file.sql\r\n"
            "b_OnlyToFile=1\r\n"
            "b_DataType=0\r\n"
            "b_IgnoreColLen=1\r\n"
            "b_IgnoreColCase=0\r\n"
            "b_IgnoreDatCase=1\r\n"
            "b_IgnoreDatTrail=0\r\n"
            "b_IgnoreDatLead=0\r\n"
            "b_IgnoreTabCase=0\r\n"
            "b_DoTabCommon=0\r\n"
            "b_DoTabSkipped=0\r\n"
            "b_DoTabStruct=0\r\n"
            "b_DoTabData=0\r\n"
            "b_DoIndex=0\r\n"
            "b_EngineTypes=0\r\n"
            "b_Constraints=1\r\n"
            "s_GlobalPassSql=\\mv:select *\\r\\nfrom orders\\r\\nwhere note = 'a\\\\b'\r\n"
            "[Database]\r\n"
            "b_IsCatalog=0\r\n"
            "[Ignore Columns]\r\n"
            "col0=ROWID\r\n"
            "col1=%_TMP\r\n"
            "[Ignore Tables]\r\n"
            "tab0=LOG\r\n"
            "[Include Only Tables]\r\n"
            "tab0=A\r\n"
            "tab1=B\r\n"
            "[Ignore Data Types]\r\n"
            "type0=BIT\r\n"
            "[Where Statements]\r\n"
            "obj0=CUSTOMERS\r\n"
            "where0=\\mv:id > 5\\nand region = 'N'\r\n"
            "obj1=ORDERS\r\n"
            "where1=status = 'open'\r\n");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(f.owner.session().config.file, path);
  EXPECT_EQ(f.host.Titles(), std::vector<std::string>{"Ready - Mervale - nightly"});

  // An existing file with wider permissions is narrowed: it is about to hold a connect string.
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_TRUE(SaveConfiguration(f.owner, path));
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  Fixture g;
  g.owner.session().opts.b_DoRemarks = 0;  // not in the file: untouched
  ASSERT_TRUE(LoadConfiguration(g.owner, path, false));
  // Every field the file carries comes back; the others (b_DoRemarks here) are left alone.
  RunOptions expected = o;
  expected.b_DoRemarks = 0;
  EXPECT_TRUE(g.owner.session().opts == expected);
  EXPECT_EQ(g.owner.session().opts.WhereStatements, o.WhereStatements);
  EXPECT_EQ(g.owner.session().opts.s_GlobalPassSql, o.s_GlobalPassSql);
  EXPECT_EQ(g.owner.session().working.s_Remarks, "remark of Second");
  EXPECT_EQ(g.owner.session().config.file, path);
  EXPECT_EQ(g.owner.session().configLoadedSinceRun, 1);
  EXPECT_EQ(g.host.Titles(), std::vector<std::string>{"Ready - Mervale - nightly"});
  // No connect string: no question, and the owner keeps having no connection.
  EXPECT_TRUE(g.host.messages.empty());
  EXPECT_FALSE(g.owner.session().connection.get());
}

TEST(Configuration, MissingKeysTakeTheFileDefaults) {
  Fixture f;
  RunOptions& o = f.owner.session().opts;
  o.b_DataType = 0;
  o.i_AutoSaveLines = 1;
  o.b_DoTabStruct = 0;
  o.s_AutoSaveFile = "old.sql";
  o.s_GlobalPassSql = "old";
  o.IgnoreTables = {"old"};
  o.IncludeOnlyTables = {"old"};
  o.IgnoreDataTypes = {"old"};
  o.WhereStatements = {{"OLD", "x"}};
  o.s_WorkingProfile = "Second";
  o.i_RowsPerInsert = 50;
  o.b_DoRemarks = 0;
  o.i_DataCase = 0;
  const std::string path = f.dir / "sparse.mvl";
  WritePlain(path,
             "[mervale]\n"
             "version=5.0\n"
             "i_AutoSaveLines=\n"
             "b_AutoSave= 1 (on)\n"
             "s_WorkingProfile=No Such Profile\n"
             "[Ignore Columns]\n"
             "col0=A\n"
             "col2=C\n"
             "[Where Statements]\n"
             "obj0=customers\n"
             "where0=id = 1\n"
             "obj1=Orders\n"
             "obj2=\n"
             "where2=never read\n"
             "obj3=SKIPPED\n");
  ASSERT_TRUE(LoadConfiguration(f.owner, path, false));
  EXPECT_EQ(o.b_DataType, 1);
  EXPECT_EQ(o.b_IgnoreDatTrail, 1);
  EXPECT_EQ(o.b_IgnoreDatLead, 1);
  EXPECT_EQ(o.b_IgnoreColCase, 1);
  EXPECT_EQ(o.b_IgnoreColLen, 0);
  EXPECT_EQ(o.i_AutoSaveLines, 500);  // an empty value counts as missing
  EXPECT_EQ(o.b_AutoSave, 1);
  EXPECT_EQ(o.b_DoTabStruct, 1);
  EXPECT_EQ(o.s_AutoSaveFile, "");
  EXPECT_EQ(o.s_GlobalPassSql, "");
  // Rows per INSERT is absent only when it is 1; the settings store's options stay as they were.
  EXPECT_EQ(o.i_RowsPerInsert, 1);
  EXPECT_EQ(o.b_DoRemarks, 0);
  EXPECT_EQ(o.i_DataCase, 0);
  // A gap ends a list; table names of conditions are upper-cased; a missing condition is "".
  EXPECT_EQ(o.IgnoreColumns, std::vector<std::string>{"A"});
  EXPECT_TRUE(o.IgnoreTables.empty());
  EXPECT_TRUE(o.IncludeOnlyTables.empty());
  EXPECT_TRUE(o.IgnoreDataTypes.empty());
  EXPECT_EQ(o.WhereStatements, (std::map<std::string, std::string>{{"CUSTOMERS", "id = 1"}, {"ORDERS", ""}}));
  // An unknown profile name stays named, and the run refuses to start with it.
  EXPECT_EQ(o.s_WorkingProfile, "No Such Profile");
  EXPECT_EQ(FindNameProblem(f.owner.session()).text, "The profile No Such Profile was not found.");
}

TEST(Configuration, LongValuesAreKeptWhole) {
  Fixture f;
  std::string condition;
  while (condition.size() < 20000) condition += "a = '" + std::to_string(condition.size()) + "' or\r\n";
  f.owner.session().opts.WhereStatements = {{"BIG", condition}};
  f.owner.session().opts.s_GlobalPassSql = std::string(7000, 's');
  f.owner.session().opts.IgnoreColumns = {std::string(6000, 'c')};
  const std::string path = f.dir / "long.mvl";
  ASSERT_TRUE(SaveConfiguration(f.owner, path));
  Fixture g;
  ASSERT_TRUE(LoadConfiguration(g.owner, path, true));
  EXPECT_EQ(g.owner.session().opts.WhereStatements, f.owner.session().opts.WhereStatements);
  EXPECT_EQ(g.owner.session().opts.s_GlobalPassSql, f.owner.session().opts.s_GlobalPassSql);
  EXPECT_EQ(g.owner.session().opts.IgnoreColumns, f.owner.session().opts.IgnoreColumns);
}

TEST(Configuration, FilesThatCannotBeOpened) {
  Fixture f;
  f.owner.session().config.file = "before.mvl";
  EXPECT_FALSE(SaveConfiguration(f.owner, f.dir / "missing/x.mvl"));
  EXPECT_EQ(f.host.messages, std::vector<std::string>{kOpenFailed});
  EXPECT_EQ(f.owner.session().config.file, "before.mvl");
  EXPECT_TRUE(f.host.Titles().empty());

  // Load names the file before it opens it.
  f.host.messages.clear();
  f.owner.session().opts.IgnoreTables = {"kept"};
  EXPECT_FALSE(LoadConfiguration(f.owner, f.dir / "absent.mvl", false));
  EXPECT_EQ(f.host.messages, std::vector<std::string>{kOpenFailed});
  EXPECT_EQ(f.owner.session().config.file, f.dir / "absent.mvl");
  EXPECT_EQ(f.owner.session().opts.IgnoreTables, std::vector<std::string>{"kept"});
  EXPECT_TRUE(f.host.Titles().empty());
}

TEST(Configuration, TitleUpdate) {
  Fixture f;
  ConfigTitleUpdate(f.owner, "SETUP.MVL");
  EXPECT_EQ(f.owner.Titles().Suffix(), " - SETUP.MVL");
  f.owner.session().config.documentTitle = "Scripting Data - Mervale - SETUP.MVL";
  ConfigTitleUpdate(f.owner, "nightly.mvl.mvl");
  EXPECT_EQ(f.owner.Titles().Suffix(), " - nightly.mvl");
  f.owner.session().config.documentTitle = "-odd";  // a dash at the very start does not cut
  ConfigTitleUpdate(f.owner, "b.mvl");
  f.owner.session().config.documentTitle = "";
  ConfigTitleUpdate(f.owner, "c.mvl");
  EXPECT_EQ(f.owner.Titles().Suffix(), " - c");
  EXPECT_EQ(f.host.Titles(),
            (std::vector<std::string>{"Ready - Mervale - SETUP.MVL", "Scripting Data - Mervale - nightly.mvl",
                                      "-odd - Mervale - b"}));

  // The base is taken once, from the suffix the first update finds.
  Fixture g;
  g.owner.Titles().SetSuffix(" (test)");
  ConfigTitleUpdate(g.owner, "a.mvl");
  ConfigTitleUpdate(g.owner, "b.mvl");
  EXPECT_EQ(g.owner.Titles().Suffix(), " (test) - b");
}

namespace {

// A legacy binary file: no connection, every field set, two lists.
std::string LegacyFile(const std::string& connect = "", const std::string& third = "") {
  Bytes b;
  b.Str("unused").Str(connect).Str(third);
  b.Int(1).Int(1).Int(250).Str("auto.sql");
  // b_OnlyToFile b_DataType b_IgnoreColLen b_IgnoreColCase b_IgnoreDatCase b_IgnoreDatTrail
  // b_IgnoreDatLead b_IgnoreTabCase b_DoTabCommon b_OwnerOnly b_DoTabSkipped b_DoIndex
  // b_DoTabData b_DoTabStruct
  for (int v : {1, 1, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0}) b.Int(v);
  b.Str("Second");
  b.Int(2).Str("C1").Str(std::string(300, 'c'));
  b.Int(1).Str("T1");
  return b.data;
}

}  // namespace

TEST(Configuration, LegacyBinaryFile) {
  Fixture f;
  RunOptions& o = f.owner.session().opts;
  o.IgnoreDataTypes = {"old"};
  o.IncludeOnlyTables = {"old"};
  o.WhereStatements = {{"OLD", "x"}};
  o.b_DoRemarks = 0;
  const std::string path = f.dir / "old.mvl";
  WritePlain(path, LegacyFile());
  ASSERT_TRUE(LoadConfiguration(f.owner, path, false));
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(o.i_AutoSpecialName, 1);
  EXPECT_EQ(o.b_AutoSave, 1);
  EXPECT_EQ(o.i_AutoSaveLines, 250);
  EXPECT_EQ(o.s_AutoSaveFile, "auto.sql");
  EXPECT_EQ(o.b_OnlyToFile, 1);
  EXPECT_EQ(o.b_DataType, 1);
  EXPECT_EQ(o.b_IgnoreColLen, 1);
  EXPECT_EQ(o.b_IgnoreColCase, 0);
  EXPECT_EQ(o.b_IgnoreDatCase, 1);
  EXPECT_EQ(o.b_IgnoreTabCase, 0);
  EXPECT_EQ(o.b_OwnerOnly, 1);  // the legacy form is the only one that carries it
  EXPECT_EQ(o.b_DoTabSkipped, 0);
  EXPECT_EQ(o.b_DoIndex, 0);
  EXPECT_EQ(o.b_DoTabData, 0);
  EXPECT_EQ(o.b_DoTabStruct, 0);
  EXPECT_EQ(o.b_DoRemarks, 0);
  EXPECT_EQ(o.s_WorkingProfile, "Second");
  EXPECT_EQ(o.IgnoreColumns, (std::vector<std::string>{"C1", std::string(300, 'c')}));
  EXPECT_EQ(o.IgnoreTables, std::vector<std::string>{"T1"});
  EXPECT_TRUE(o.IgnoreDataTypes.empty());
  EXPECT_TRUE(o.IncludeOnlyTables.empty());
  EXPECT_TRUE(o.WhereStatements.empty());
  EXPECT_EQ(f.owner.session().working.s_Remarks, "remark of Second");
  EXPECT_EQ(f.owner.session().config.file, path);
  EXPECT_EQ(f.host.Titles(), std::vector<std::string>{"Ready - Mervale - old"});

  // The third string alone asks the question, but without a connect string nothing connects.
  Fixture g;
  WritePlain(path, LegacyFile("", "something"));
  g.host.answers = {Host::Answer::Yes};
  ASSERT_TRUE(LoadConfiguration(g.owner, path, false));
  EXPECT_EQ(g.host.messages, std::vector<std::string>{kReconnect});
  EXPECT_FALSE(g.owner.session().connection.get());
}

TEST(Configuration, TruncatedLegacyFileKeepsWhatWasRead) {
  const std::string full = LegacyFile();
  Fixture f;
  const std::string path = f.dir / "cut.mvl";
  for (size_t len = 1; len < full.size(); ++len) {
    f.owner.session().opts.IgnoreDataTypes = {"old"};
    f.owner.session().opts.i_AutoSaveLines = 7;
    f.owner.session().opts.b_DoTabStruct = 1;
    WritePlain(path, full.substr(0, len));
    // The file opened, so the load counts as done; it ends silently where the data ends.
    ASSERT_TRUE(LoadConfiguration(f.owner, path, false)) << len;
    ASSERT_TRUE(f.host.messages.empty()) << len;
    ASSERT_EQ(f.owner.session().opts.IgnoreDataTypes, std::vector<std::string>{"old"}) << len;
    // The three strings take 9 bytes and i_AutoSaveLines is the third integer after them;
    // b_DoTabStruct is followed by 324 bytes (the profile name and the two lists).
    ASSERT_EQ(f.owner.session().opts.i_AutoSaveLines, len >= 9 + 12 ? 250 : 7) << len;
    ASSERT_EQ(f.owner.session().opts.b_DoTabStruct, len >= full.size() - 324 ? 0 : 1) << len;
  }

  // Counts and lengths far beyond the end of the file.
  // Everything up to the profile name; the two lists take the last 317 bytes.
  const std::string hostile = full.substr(0, full.size() - 317);
  for (const std::string& tail : {Bytes().Int(0x7FFFFFFF).data, Bytes().Int(-5).Int(0x7FFFFFFF).data,
                                  Bytes().Int(1).U8(0xFF).U16(0xFFFF).Int(0x7FFFFFFF).data}) {
    f.owner.session().opts.s_WorkingProfile = "First";
    WritePlain(path, hostile + tail);
    ASSERT_TRUE(LoadConfiguration(f.owner, path, false));
    EXPECT_EQ(f.owner.session().opts.s_WorkingProfile, "Second");
  }
}

TEST(Configuration, ReconnectsThroughTheSavedConnectString) {
  Fixture f;
  const std::string db = f.dir / "demo.db";
  MakeSqliteDatabase(db);
  const std::string path = f.dir / "sqlite.mvl";
  WritePlain(path, "[Mervale]\nVersion=5.0\n[Database]\ns_ConnectString=" + SqliteConnectString(db) + "\n");

  // The user declines: no connection is made, the rest of the file still loads.
  f.host.answers = {Host::Answer::No};
  ASSERT_TRUE(LoadConfiguration(f.owner, path, false));
  EXPECT_EQ(f.host.messages, std::vector<std::string>{kReconnect});
  EXPECT_FALSE(f.owner.session().connection.get());

  f.host.messages.clear();
  f.host.answers = {Host::Answer::Yes};
  ASSERT_TRUE(LoadConfiguration(f.owner, path, false));
  EXPECT_EQ(f.host.messages, std::vector<std::string>{kReconnect});
  ASSERT_TRUE(f.owner.session().connection.get());
  EXPECT_TRUE(f.owner.session().connection.get()->Connected());
  EXPECT_FALSE(f.owner.session().connection.get()->Tables().loaded);

  // Saved again, the file carries the connection's string.
  const std::string again = f.dir / "again.mvl";
  ASSERT_TRUE(SaveConfiguration(f.owner, again));
  const std::string text = Slurp(again);
  const std::string flag = f.owner.session().connection.get()->Target().ownerIsCatalog ? "1" : "0";
  EXPECT_NE(text.find("[Database]\r\ns_ConnectString=" + SqliteConnectString(db) + "\r\nb_IsCatalog=" + flag + "\r\n"),
            std::string::npos)
      << text;

  // A failed connection counts as none when saving.
  f.owner.ReplaceConnection(DbConnection::ConnectWithString(f.host, "DRIVER=/no/such/driver.so", "", "0"));
  ASSERT_TRUE(SaveConfiguration(f.owner, again));
  EXPECT_EQ(Slurp(again).find("s_ConnectString"), std::string::npos);
}

TEST(Configuration, OwnerAndCatalogFlagRoundTrip) {
  auto& pg = mv::test::PgServer::Instance();
  const std::string db = mv::test::UniqueDbName("mv_config");
  pg.CreateDatabase(db);
  pg.RunSql(db, "CREATE SCHEMA sales; CREATE TABLE sales.orders (id integer);");
  Fixture f;
  const std::string path = f.dir / "pg.mvl";
  const std::string cs = pg.ConnectString(db);
  WritePlain(path,
             "[Mervale]\nVersion=5.0\n[Database]\ns_ConnectString=" + cs + "\ns_DatabaseUser=sales\nb_IsCatalog=0\n");
  ASSERT_TRUE(LoadConfiguration(f.owner, path, true));
  EXPECT_TRUE(f.host.messages.empty());
  ASSERT_TRUE(f.owner.session().HasUsableConnection());
  EXPECT_EQ(f.owner.session().connection.get()->Target().owner, "sales");

  const std::string saved = f.dir / "saved.mvl";
  ASSERT_TRUE(SaveConfiguration(f.owner, saved));
  const std::string text = Slurp(saved);
  EXPECT_NE(text.find("\r\ns_DatabaseUser=sales\r\nb_IsCatalog=0\r\n"), std::string::npos) << text;
  f.owner.ReplaceConnection(nullptr);
  pg.DropDatabase(db);
}

TEST(Configuration, AutoStart) {
  Fixture f;
  const std::string path = f.dir / "auto.mvl";

  // A connect string that fails: no run, the window maximised and the message shown.
  WritePlain(path, "[Mervale]\nVersion=5.0\n[Database]\ns_ConnectString=DRIVER=NoSuchDriver;Database=x\n");
  EXPECT_FALSE(AutoStart(f.owner, path));
  const auto calls = f.host.Calls();
  ASSERT_FALSE(f.host.messages.empty());
  EXPECT_EQ(f.host.messages.back(), kNoAutoStart);
  EXPECT_FALSE(f.host.HasMessage(kReconnect));
  bool maximized = false;
  for (const auto& c : calls) maximized |= c.what == "maximized";
  EXPECT_TRUE(maximized);
  EXPECT_EQ(f.owner.session().hasRun, 0);

  // A working connection starts a run at once, without counting as a run the user started.
  Fixture g;
  const std::string db = g.dir / "demo.db";
  MakeSqliteDatabase(db);
  WritePlain(path, "[Mervale]\nVersion=5.0\nb_DoTabData=0\nb_DoIndex=0\n[Database]\ns_ConnectString=" +
                       SqliteConnectString(db) + "\n");
  g.owner.Output().SetSaved(true);
  ASSERT_TRUE(AutoStart(g.owner, path));
  EXPECT_EQ(g.owner.session().hasRun, 0);
  EXPECT_EQ(g.owner.Output().Saved(), 0);
  g.owner.Wait();
  EXPECT_FALSE(g.host.HasMessage(kNoAutoStart));
  EXPECT_TRUE(g.host.HasMessage("Mervale has finished scripting the database"));
  EXPECT_EQ(g.owner.session().autoStartPath, "");
}

TEST(Configuration, LongListsSaveAndLoadInLinearTime) {
  // 80,000 list entries: once each lookup scanned its section, this took 25 seconds. The cost of
  // a list eight times as long is compared, so that a slow build (a sanitizer's) proves as much
  // as a fast one: linear is about 8 times, quadratic 64.
  // Processor time: what the work costs, whatever else the machine is doing meanwhile.
  auto cpu = [] {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  };
  auto saveAndLoad = [&](int tables) {
    Fixture f;
    RunOptions& o = f.owner.session().opts;
    for (int i = 0; i < tables; ++i) {
      const std::string n = std::to_string(i);
      o.IgnoreTables.push_back("T" + n);
      if (i >= tables / 5) continue;
      o.IgnoreColumns.push_back("C" + n);
      o.IgnoreDataTypes.push_back("TYPE" + n);
      if (i < tables / 10) o.WhereStatements["W" + n] = "id = " + n;
    }
    const std::string path = f.dir / "long-lists.mvl";
    Fixture g;
    const double start = cpu();
    EXPECT_TRUE(SaveConfiguration(f.owner, path));
    EXPECT_TRUE(LoadConfiguration(g.owner, path, true));
    const double spent = cpu() - start;
    EXPECT_EQ(g.owner.session().opts.IgnoreTables, o.IgnoreTables);
    EXPECT_EQ(g.owner.session().opts.IgnoreColumns, o.IgnoreColumns);
    EXPECT_EQ(g.owner.session().opts.IgnoreDataTypes, o.IgnoreDataTypes);
    EXPECT_EQ(g.owner.session().opts.WhereStatements, o.WhereStatements);
    return spent;
  };
  const double small = saveAndLoad(6250), large = saveAndLoad(50000);
  std::printf("10,000 list entries: %.3f s, 80,000: %.3f s of processor time to save and load\n", small, large);
  EXPECT_LT(large, 20 * std::max(small, 0.005));
}

TEST(Configuration, BlanksAroundKeysAndValuesAreIgnored) {
  // A hand-written file: " Second" once matched no profile and the run took another dialect.
  Fixture f;
  const std::string path = f.dir / "blanks.mvl";
  WritePlain(path,
             "[Mervale]\r\n"
             "Version = 5.0\r\n"
             "s_WorkingProfile = Second \t\r\n"
             "\tb_DataType= 0\r\n"
             "[Ignore Tables]\r\n"
             " tab0 = audit log \r\n"
             "[Where Statements]\r\n"
             "obj0 = orders\r\n"
             "where0 =  id = 1 \r\n");
  ASSERT_TRUE(LoadConfiguration(f.owner, path, false));
  const RunOptions& o = f.owner.session().opts;
  EXPECT_EQ(o.s_WorkingProfile, "Second");
  EXPECT_EQ(f.owner.session().working.s_Remarks, "remark of Second");
  EXPECT_EQ(o.b_DataType, 0);
  EXPECT_EQ(o.IgnoreTables, std::vector<std::string>{"audit log"});
  EXPECT_EQ(o.WhereStatements, (std::map<std::string, std::string>{{"ORDERS", "id = 1"}}));
}
