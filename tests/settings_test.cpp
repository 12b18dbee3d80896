#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "base/SettingsStore.h"
#include "profiles/Profile.h"
#include "settings/RunOptions.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace mv;

namespace {

// Each file's folders carry its own prefix, so a leftover folder tells which test left it.
struct TempDir : mv::test::TempDir {
  TempDir() : mv::test::TempDir("mv-settings") {}
};

// Sets an environment variable for one scope and puts the old value back.
struct EnvOverride {
  EnvOverride(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvOverride() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  const char* name_;
  std::optional<std::string> old_;
};

// The keys of the settings file in file order.
std::vector<std::string> KeysInFile(const std::string& path) {
  std::string text;
  EXPECT_TRUE(ReadWholeFile(path, text));
  std::vector<std::string> keys;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (auto eq = line.find('='); eq != std::string::npos) keys.push_back(line.substr(0, eq));
  return keys;
}

}  // namespace

TEST(SettingsStore, DefaultPathFollowsXdgConfigHome) {
  EnvOverride home("HOME", "/home/someone");
  {
    EnvOverride xdg("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(SettingsStore::DefaultPath(), "/cfg/Quillfen/Mervale.ini");
  }
  {
    EnvOverride xdg("XDG_CONFIG_HOME", "");
    EXPECT_EQ(SettingsStore::DefaultPath(), "/home/someone/.config/Quillfen/Mervale.ini");
  }
  {
    EnvOverride xdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(SettingsStore::DefaultPath(), "/home/someone/.config/Quillfen/Mervale.ini");
  }
}

TEST(SettingsStore, WritesReadsAndToleratesGarbage) {
  TempDir dir;
  const std::string path = dir / "Quillfen/deeper/Mervale.ini";
  SettingsStore store(path);
  EXPECT_EQ(store.GetInt("asl", 500), 500);
  EXPECT_EQ(store.GetString("prof", "Default"), "Default");
  EXPECT_FALSE(fs::exists(path));  // reading creates nothing

  store.WriteInt("asl", -42);
  store.WriteString("prof", "");
  store.WriteString("LibDir", "/srv/sql library");
  EXPECT_TRUE(fs::exists(path));  // the folders are created on the first write
  EXPECT_EQ(store.GetInt("ASL", 500), -42);
  EXPECT_EQ(store.GetString("prof", "Default"), "");  // an empty value is a value

  // Another instance (another process) sees the values, and its writes are seen here.
  SettingsStore other(path);
  EXPECT_EQ(other.GetString("LibDir", "NOTFOUND"), "/srv/sql library");
  other.WriteInt("dst", 0);
  EXPECT_EQ(store.GetInt("dst", 1), 0);

  // A hand-edited file: numbers with trailing text parse, text without digits keeps the default.
  ASSERT_EQ(WriteFileAtomically(path, "garbage\n[Settings]\nasl= 250 lines\ndst=yes\n\x01\x02=\xff\n[Other]\nasn=2\n"),
            "");
  EXPECT_EQ(store.GetInt("asl", 500), 250);
  EXPECT_EQ(store.GetInt("dst", 1), 1);
  EXPECT_EQ(store.GetInt("asn", 7), 7);  // only section "Settings" counts
  store.WriteInt("asn", 1);
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, text));
  EXPECT_EQ(text, "garbage\n[Settings]\nasl= 250 lines\ndst=yes\n\x01\x02=\xff\nasn=1\n[Other]\nasn=2\n");
}

TEST(SettingsStore, BatchWritesTheFileOnce) {
  TempDir dir;
  const std::string path = dir / "Mervale.ini";
  SettingsStore store(path);
  store.BeginBatch();
  store.WriteInt("a", 1);
  store.WriteInt("b", 2);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(store.GetInt("a", 0), 1);  // pending values are readable
  store.EndBatch();
  EXPECT_EQ(KeysInFile(path), (std::vector<std::string>{"a", "b"}));
}

TEST(RunSettings, FirstStartGivesTheDocumentedDefaults) {
  TempDir dir;
  SettingsStore store(dir / "Mervale.ini");
  RunOptions opts;
  opts.b_OnlyToFile = 1;
  opts.IgnoreTables = {"T"};
  opts.WhereStatements["T"] = "x";
  opts.s_GlobalPassSql = "select 1";
  opts.s_AutoSaveFile = "out.sql";
  opts.b_IndexCaseSet = 1;
  opts.b_DataType = 1;
  Profile working;
  int readOnly = 0;
  LoadRunSettings(store, opts, working, &readOnly);

  EXPECT_EQ(opts.b_DoTabStruct, 1);
  EXPECT_EQ(opts.b_DoTabData, 1);
  EXPECT_EQ(opts.b_DoIndex, 1);
  EXPECT_EQ(opts.b_DoRemarks, 1);
  EXPECT_EQ(opts.b_DropTable, 1);
  EXPECT_EQ(opts.b_DropIndex, 1);
  EXPECT_EQ(opts.b_DeleteData, 1);
  EXPECT_EQ(opts.i_DataCase, 2);
  EXPECT_EQ(opts.b_AutoSave, 0);
  EXPECT_EQ(opts.i_AutoSaveLines, 500);
  EXPECT_EQ(opts.b_DataType, 0);
  EXPECT_EQ(opts.b_IgnoreColCase, 1);
  EXPECT_EQ(opts.b_IgnoreDatTrail, 0);
  EXPECT_EQ(opts.b_IgnoreTabCase, 1);
  EXPECT_EQ(opts.b_DoTabCommon, 1);
  EXPECT_EQ(opts.s_WorkingProfile, "Default");
  EXPECT_EQ(readOnly, 1);
  // Fields without a settings key are reset.
  EXPECT_EQ(opts.b_OnlyToFile, 0);
  EXPECT_EQ(opts.b_IndexCaseSet, 0);
  EXPECT_TRUE(opts.IgnoreTables.empty());
  EXPECT_TRUE(opts.WhereStatements.empty());
  EXPECT_EQ(opts.s_GlobalPassSql, "");
  EXPECT_EQ(opts.s_AutoSaveFile, "");
  // The working copy holds the built-in profile with upper-case rules and length rule 1.
  EXPECT_EQ(working.s_Remarks, "REM");
  EXPECT_EQ(working.s_NotNull, "NOT NULL");
  EXPECT_EQ(working.i_TableNameCase, 0);
  EXPECT_EQ(working.i_IndexColumnCase, 0);
  EXPECT_EQ(working.i_LengthRule, 1);
}

TEST(RunSettings, SavedValuesReadBackUnchangedInTheFixedOrder) {
  TempDir dir;
  const std::string path = dir / "Mervale.ini";
  RunOptions saved;
  // Every flag the other way round from its default, and odd numbers elsewhere.
  saved.b_DoTabStruct = saved.b_DoTabData = saved.b_DoIndex = saved.b_DoRemarks = 0;
  saved.b_DoTabSkipped = saved.b_DropTable = saved.b_DeleteData = saved.b_DropIndex = 0;
  saved.b_Optimize = saved.b_DataType = saved.b_OwnerOnly = 1;
  saved.b_AllStrings = saved.b_RightTrim = saved.b_LeftTrim = saved.b_DataCSV = 1;
  saved.i_AutoSpecialName = 2;
  saved.i_DataCase = 0;
  saved.i_RowsPerInsert = 500;
  saved.b_AutoSave = 1;
  saved.i_AutoSaveLines = 12345;
  saved.b_IgnoreColLen = 1;
  saved.b_IgnoreColCase = 0;
  saved.b_IgnoreDatCase = 1;
  saved.b_IgnoreDatTrail = 1;
  saved.b_IgnoreDatLead = 1;
  saved.b_IgnoreTabCase = 0;
  saved.b_DoTabCommon = 0;
  saved.b_EngineTypes = 0;
  saved.i_DataFormat = 2;
  saved.s_WorkingProfile = "Oracle 9 = new";
  Profile working;
  working.i_TableNameCase = 1;
  working.i_ColumnNameCase = 2;
  working.i_DataTypeCase = 3;
  working.i_IndexNameCase = 1;
  working.i_IndexColumnCase = 2;
  working.i_LengthRule = 0;
  {
    SettingsStore store(path);
    SaveRunSettings(store, saved, working);
  }
  EXPECT_EQ(KeysInFile(path),
            (std::vector<std::string>{
                "asn",         "as",        "asl",          "bdt",       "ccl",           "ccc",        "cdc",
                "cdt",         "cdl",       "ctc",          "doc",       "uid",           "dos",        "din",
                "dda",         "dst",       "dre",          "opt",       "stc",           "scc",        "ofl",
                "sty",         "inc",       "icc",          "dvc",       "aas",           "rit",        "DataCSV",
                "let",         "drt",       "dri",          "det",       "rpi",           "DataFormat", "EngineTypes",
                "Constraints", "LineFeeds", "TrimLineEnds", "OrderRows", "NoElapsedTime", "prof"}));

  SettingsStore store(path);
  RunOptions loaded;
  Profile loadedWorking;
  LoadRunSettings(store, loaded, loadedWorking);
  // The record as a whole: nothing the store keeps is lost, and nothing else is invented.
  EXPECT_TRUE(loaded == saved);
  EXPECT_EQ(loadedWorking.i_TableNameCase, 1);
  EXPECT_EQ(loadedWorking.i_ColumnNameCase, 2);
  EXPECT_EQ(loadedWorking.i_DataTypeCase, 3);
  EXPECT_EQ(loadedWorking.i_IndexNameCase, 1);
  EXPECT_EQ(loadedWorking.i_IndexColumnCase, 2);
  EXPECT_EQ(loadedWorking.i_LengthRule, 0);

  // Each key is really read: a single changed value in the file shows up in the record.
  store.WriteInt("rit", 0);
  LoadRunSettings(store, loaded, loadedWorking);
  EXPECT_EQ(loaded.b_RightTrim, 0);
  loaded.b_RightTrim = 1;
  EXPECT_TRUE(loaded == saved);
}

TEST(RunSettings, ParseLeadingInt) {
  EXPECT_EQ(ParseLeadingInt("500"), 500);
  EXPECT_EQ(ParseLeadingInt(" \t\r\n-12abc"), -12);
  EXPECT_EQ(ParseLeadingInt("+7"), 7);
  EXPECT_EQ(ParseLeadingInt("0x1F"), 0);
  EXPECT_EQ(ParseLeadingInt(""), 0);
  EXPECT_EQ(ParseLeadingInt("abc"), 0);
  EXPECT_EQ(ParseLeadingInt("- 5"), 0);
  EXPECT_EQ(ParseLeadingInt("12 34"), 12);
  EXPECT_EQ(ParseLeadingInt("-2147483648"), INT_MIN);
  EXPECT_EQ(ParseLeadingInt("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(ParseLeadingInt("-99999999999999999999999"), INT_MIN);
}
