#include "settings/RunOptions.h"

#include <climits>

#include "base/SettingsStore.h"
#include "profiles/Profile.h"

namespace mv {

namespace {

struct IntKey {
  const char* key;
  int RunOptions::*field;
  int def;
};

// The options kept in the settings store, in the order SaveRunSettings writes them (the profile
// rules "stc" ... "icc" sit between "opt" and "dvc" and are handled apart).
constexpr IntKey kHead[] = {
    {"asn", &RunOptions::i_AutoSpecialName, 0}, {"as", &RunOptions::b_AutoSave, 0},
    {"asl", &RunOptions::i_AutoSaveLines, 500}, {"bdt", &RunOptions::b_DataType, 0},
    {"ccl", &RunOptions::b_IgnoreColLen, 0},    {"ccc", &RunOptions::b_IgnoreColCase, 1},
    {"cdc", &RunOptions::b_IgnoreDatCase, 0},   {"cdt", &RunOptions::b_IgnoreDatTrail, 0},
    {"cdl", &RunOptions::b_IgnoreDatLead, 0},   {"ctc", &RunOptions::b_IgnoreTabCase, 1},
    {"doc", &RunOptions::b_DoTabCommon, 1},     {"uid", &RunOptions::b_OwnerOnly, 0},
    {"dos", &RunOptions::b_DoTabSkipped, 1},    {"din", &RunOptions::b_DoIndex, 1},
    {"dda", &RunOptions::b_DoTabData, 1},       {"dst", &RunOptions::b_DoTabStruct, 1},
    {"dre", &RunOptions::b_DoRemarks, 1},       {"opt", &RunOptions::b_Optimize, 0},
};
constexpr IntKey kTail[] = {
    {"dvc", &RunOptions::i_DataCase, 2},
    {"aas", &RunOptions::b_AllStrings, 0},
    {"rit", &RunOptions::b_RightTrim, 0},
    {"DataCSV", &RunOptions::b_DataCSV, 0},
    {"let", &RunOptions::b_LeftTrim, 0},
    {"drt", &RunOptions::b_DropTable, 1},
    {"dri", &RunOptions::b_DropIndex, 1},
    {"det", &RunOptions::b_DeleteData, 1},
    {"rpi", &RunOptions::i_RowsPerInsert, 1},
    {"DataFormat", &RunOptions::i_DataFormat, 0},
    {"EngineTypes", &RunOptions::b_EngineTypes, 1},
    {"Constraints", &RunOptions::b_Constraints, 1},
    {"LineFeeds", &RunOptions::b_LineFeeds, 0},
    {"TrimLineEnds", &RunOptions::b_TrimLineEnds, 0},
    {"OrderRows", &RunOptions::b_OrderRows, 0},
    {"NoElapsedTime", &RunOptions::b_NoElapsedTime, 0},
};

struct RuleKey {
  const char* key;
  int Profile::*field;
  int def;
};
// Written in this order: "stc", "scc", "ofl", "sty", "inc", "icc".
constexpr RuleKey kRules[] = {
    {"stc", &Profile::i_TableNameCase, 0}, {"scc", &Profile::i_ColumnNameCase, 0},
    {"ofl", &Profile::i_LengthRule, 1},    {"sty", &Profile::i_DataTypeCase, 0},
    {"inc", &Profile::i_IndexNameCase, 0}, {"icc", &Profile::i_IndexColumnCase, 0},
};

}  // namespace

void LoadRunSettings(SettingsStore& store, RunOptions& opts, Profile& working, int* readOnly) {
  for (const IntKey& k : kHead) opts.*k.field = store.GetInt(k.key, k.def);
  for (const IntKey& k : kTail) opts.*k.field = store.GetInt(k.key, k.def);
  opts.s_WorkingProfile = store.GetString("prof", "Default");
  if (readOnly) *readOnly = store.GetInt("IsReadOnly", 1);

  opts.b_OnlyToFile = 0;
  opts.b_IndexCaseSet = 0;
  opts.IgnoreTables.clear();
  opts.IncludeOnlyTables.clear();
  opts.IgnoreColumns.clear();
  opts.IgnoreDataTypes.clear();
  opts.WhereStatements.clear();
  opts.s_GlobalPassSql.clear();
  opts.s_AutoSaveFile.clear();
  opts.s_CsvDir.clear();
  opts.s_OutputDir.clear();

  // The working copy starts from the built-in defaults; the remembered rules override them.
  SetBuiltInDefaults(working);
  for (const RuleKey& r : kRules) working.*r.field = store.GetInt(r.key, r.def);
}

void SaveRunSettings(SettingsStore& store, const RunOptions& opts, const Profile& working) {
  store.BeginBatch();
  for (const IntKey& k : kHead) store.WriteInt(k.key, opts.*k.field);
  for (const RuleKey& r : kRules) store.WriteInt(r.key, working.*r.field);
  for (const IntKey& k : kTail) store.WriteInt(k.key, opts.*k.field);
  store.WriteString("prof", opts.s_WorkingProfile);
  store.EndBatch();
}

}  // namespace mv
