#include "settings/Configuration.h"

#include <cctype>

#include "base/AtomicFile.h"
#include "base/IniFile.h"
#include "base/TextRules.h"
#include "profiles/ProfileFile.h"
#include "settings/RunOptions.h"

namespace mv {

namespace {

constexpr char kMain[] = "Mervale";
constexpr char kDatabase[] = "Database";
constexpr char kIgnoreColumns[] = "Ignore Columns";
constexpr char kIgnoreTables[] = "Ignore Tables";
constexpr char kIncludeOnly[] = "Include Only Tables";
constexpr char kIgnoreTypes[] = "Ignore Data Types";
constexpr char kWhere[] = "Where Statements";

// Connect strings can hold passwords: the file is for its owner's eyes only, also when an
// existing file had wider permissions.
constexpr unsigned kConfigMode = 0600;

struct FlagKey {
  const char* key;
  int RunOptions::*field;
  int def;  // taken when a file lacks the key
};

// The flags written after "b_DataType", in the file's order.
constexpr FlagKey kCarriedFlags[] = {
    {"b_IgnoreColLen", &RunOptions::b_IgnoreColLen, 0},
    {"b_IgnoreColCase", &RunOptions::b_IgnoreColCase, 1},
    {"b_IgnoreDatCase", &RunOptions::b_IgnoreDatCase, 0},
    {"b_IgnoreDatTrail", &RunOptions::b_IgnoreDatTrail, 1},
    {"b_IgnoreDatLead", &RunOptions::b_IgnoreDatLead, 1},
    {"b_IgnoreTabCase", &RunOptions::b_IgnoreTabCase, 1},
    {"b_DoTabCommon", &RunOptions::b_DoTabCommon, 1},
    {"b_DoTabSkipped", &RunOptions::b_DoTabSkipped, 1},
    {"b_DoTabStruct", &RunOptions::b_DoTabStruct, 1},
    {"b_DoTabData", &RunOptions::b_DoTabData, 1},
    {"b_DoIndex", &RunOptions::b_DoIndex, 1},
    {"b_EngineTypes", &RunOptions::b_EngineTypes, 1},
    {"b_Constraints", &RunOptions::b_Constraints, 1},
};

// The options the settings store keeps, in a file only when it was written with them; a file
// that lacks one leaves the option as it was.
constexpr FlagKey kRunSettings[] = {
    {"b_DoRemarks", &RunOptions::b_DoRemarks, 1},   {"b_DropTable", &RunOptions::b_DropTable, 1},
    {"b_Optimize", &RunOptions::b_Optimize, 0},     {"b_DeleteData", &RunOptions::b_DeleteData, 1},
    {"b_AllStrings", &RunOptions::b_AllStrings, 0}, {"b_RightTrim", &RunOptions::b_RightTrim, 0},
    {"b_LeftTrim", &RunOptions::b_LeftTrim, 0},     {"b_DataCSV", &RunOptions::b_DataCSV, 0},
    {"i_DataCase", &RunOptions::i_DataCase, 2},     {"b_DropIndex", &RunOptions::b_DropIndex, 1},
};

// Written only when on, so a file of the older layout stays as it was; absent is off.
constexpr FlagKey kWhenOn[] = {
    {"b_LineFeeds", &RunOptions::b_LineFeeds, 0},
    {"b_TrimLineEnds", &RunOptions::b_TrimLineEnds, 0},
    {"b_OrderRows", &RunOptions::b_OrderRows, 0},
    {"b_NoElapsedTime", &RunOptions::b_NoElapsedTime, 0},
};

void WriteList(IniFile& ini, const char* section, const char* prefix, const std::vector<std::string>& items) {
  for (size_t i = 0; i < items.size(); ++i) ini.Set(section, prefix + std::to_string(i), items[i]);
}

// A key counts as present only when its value is not empty.
bool Present(const IniFile& ini, const char* section, const std::string& key, std::string& value) {
  value = ini.Get(section, key);
  return !value.empty();
}

int ReadInt(const IniFile& ini, const char* key, int def) {
  std::string v;
  return Present(ini, kMain, key, v) ? ParseLeadingInt(v) : def;
}

void ReadList(const IniFile& ini, const char* section, const char* prefix, std::vector<std::string>& items) {
  items.clear();
  std::string v;
  for (size_t i = 0; Present(ini, section, prefix + std::to_string(i), v); ++i) items.push_back(v);
}

// The older binary form. Fields are stored as they are read; a file that ends early ends the
// load with the fields read so far.
void ReadLegacy(const std::string& data, Configuration& c) {
  RunOptions& o = c.opts;
  size_t pos = 0;
  auto str = [&](std::string& s) { return pfl::DecodeString(data, pos, s); };
  auto num = [&](int& v) { return pfl::DecodeInt(data, pos, v); };
  c.legacy = true;
  c.applyProfile = false;

  std::string unused, connectString, third;
  if (!str(unused) || !str(connectString) || !str(third)) return;
  c.asksReconnect = !connectString.empty() || !third.empty();
  c.connectString = connectString;
  if (!num(o.i_AutoSpecialName) || !num(o.b_AutoSave) || !num(o.i_AutoSaveLines) || !str(o.s_AutoSaveFile)) return;
  for (int* f : {&o.b_OnlyToFile, &o.b_DataType, &o.b_IgnoreColLen, &o.b_IgnoreColCase, &o.b_IgnoreDatCase,
                 &o.b_IgnoreDatTrail, &o.b_IgnoreDatLead, &o.b_IgnoreTabCase, &o.b_DoTabCommon, &o.b_OwnerOnly,
                 &o.b_DoTabSkipped, &o.b_DoIndex, &o.b_DoTabData, &o.b_DoTabStruct})
    if (!num(*f)) return;
  if (!str(o.s_WorkingProfile)) return;
  for (std::vector<std::string>* list : {&o.IgnoreColumns, &o.IgnoreTables}) {
    int count = 0;
    if (!num(count)) return;
    list->clear();
    // Entries are read one by one: a damaged count never becomes an allocation.
    for (int i = 0; i < count; ++i) {
      std::string s;
      if (!str(s)) return;
      list->push_back(std::move(s));
    }
  }
  o.IgnoreDataTypes.clear();
  o.IncludeOnlyTables.clear();
  o.WhereStatements.clear();
  c.applyProfile = true;
}

}  // namespace

bool WriteConfiguration(const std::string& path, const RunOptions& o, const ConfigurationDatabase& db,
                        bool withRunSettings) {
  IniFile ini;
  // The file's native line end, so that files move between systems unchanged.
  ini.SetLineBreak("\r\n");
  ini.Set(kMain, "Version", "5.0");
  if (!db.connectString.empty()) {
    ini.Set(kDatabase, "s_ConnectString", db.connectString);
    if (!db.databaseUser.empty()) ini.Set(kDatabase, "s_DatabaseUser", db.databaseUser);
  }
  ini.Set(kDatabase, "b_IsCatalog", db.isCatalog ? "1" : "0");
  ini.Set(kMain, "s_WorkingProfile", o.s_WorkingProfile);
  ini.Set(kMain, "i_AutoSpecialName", std::to_string(o.i_AutoSpecialName));
  ini.Set(kMain, "b_AutoSave", std::to_string(o.b_AutoSave));
  ini.Set(kMain, "i_AutoSaveLines", std::to_string(o.i_AutoSaveLines));
  if (!o.s_AutoSaveFile.empty()) ini.Set(kMain, "s_AutoSaveFile", o.s_AutoSaveFile);
  ini.Set(kMain, "b_OnlyToFile", std::to_string(o.b_OnlyToFile));
  ini.Set(kMain, "b_DataType", std::to_string(o.b_DataType));
  for (const FlagKey& f : kCarriedFlags) ini.Set(kMain, f.key, std::to_string(o.*f.field));
  // Absent means one row per INSERT, so files of that layout stay as they were.
  if (o.i_RowsPerInsert != 1) ini.Set(kMain, "i_RowsPerInsert", std::to_string(o.i_RowsPerInsert));
  for (const FlagKey& f : kWhenOn)
    if (o.*f.field) ini.Set(kMain, f.key, std::to_string(o.*f.field));
  if (!o.s_CsvDir.empty()) ini.Set(kMain, "s_CsvDir", o.s_CsvDir);
  if (!o.s_OutputDir.empty()) ini.Set(kMain, "s_OutputDir", o.s_OutputDir);
  if (o.i_DataFormat != 0) ini.Set(kMain, "i_DataFormat", std::to_string(o.i_DataFormat));
  if (withRunSettings)
    for (const FlagKey& f : kRunSettings) ini.Set(kMain, f.key, std::to_string(o.*f.field));
  if (!o.s_GlobalPassSql.empty()) ini.Set(kMain, "s_GlobalPassSql", o.s_GlobalPassSql);
  WriteList(ini, kIgnoreColumns, "col", o.IgnoreColumns);
  WriteList(ini, kIgnoreTables, "tab", o.IgnoreTables);
  WriteList(ini, kIncludeOnly, "tab", o.IncludeOnlyTables);
  WriteList(ini, kIgnoreTypes, "type", o.IgnoreDataTypes);
  size_t n = 0;
  for (const auto& [table, condition] : o.WhereStatements) {
    ini.Set(kWhere, "obj" + std::to_string(n), table);
    ini.Set(kWhere, "where" + std::to_string(n), condition);
    ++n;
  }
  return ini.Save(path, kConfigMode, true);
}

std::optional<Configuration> ReadConfiguration(const std::string& path, const RunOptions& current) {
  Configuration c;
  c.opts = current;
  RunOptions& o = c.opts;
  // Values are read whole, however long: nothing is cut at a buffer size.
  IniFile ini;
  const bool readable = ini.Load(path);
  std::string version;
  if (!readable || !Present(ini, kMain, "Version", version)) {
    std::string data;
    if (!ReadWholeFile(path, data)) return std::nullopt;
    ReadLegacy(data, c);
    return c;
  }

  c.connectString = ini.Get(kDatabase, "s_ConnectString");
  c.databaseUser = ini.Get(kDatabase, "s_DatabaseUser");
  c.catalogFlag = ini.Get(kDatabase, "b_IsCatalog");
  c.asksReconnect = !c.connectString.empty();

  std::string v;
  o.i_AutoSpecialName = ReadInt(ini, "i_AutoSpecialName", 0);
  o.b_AutoSave = ReadInt(ini, "b_AutoSave", 0);
  o.i_AutoSaveLines = ReadInt(ini, "i_AutoSaveLines", 500);
  o.s_AutoSaveFile = Present(ini, kMain, "s_AutoSaveFile", v) ? v : "";
  o.b_OnlyToFile = ReadInt(ini, "b_OnlyToFile", 0);
  o.b_DataType = ReadInt(ini, "b_DataType", 1);
  for (const FlagKey& f : kCarriedFlags) o.*f.field = ReadInt(ini, f.key, f.def);
  o.i_RowsPerInsert = ReadInt(ini, "i_RowsPerInsert", 1);
  o.i_DataFormat = ReadInt(ini, "i_DataFormat", 0);
  for (const FlagKey& f : kRunSettings) o.*f.field = ReadInt(ini, f.key, o.*f.field);
  for (const FlagKey& f : kWhenOn) o.*f.field = ReadInt(ini, f.key, f.def);
  o.s_CsvDir = Present(ini, kMain, "s_CsvDir", v) ? v : "";
  o.s_OutputDir = Present(ini, kMain, "s_OutputDir", v) ? v : "";
  o.s_GlobalPassSql = Present(ini, kMain, "s_GlobalPassSql", v) ? v : "";

  ReadList(ini, kIgnoreColumns, "col", o.IgnoreColumns);
  ReadList(ini, kIgnoreTypes, "type", o.IgnoreDataTypes);
  ReadList(ini, kIgnoreTables, "tab", o.IgnoreTables);
  ReadList(ini, kIncludeOnly, "tab", o.IncludeOnlyTables);

  o.WhereStatements.clear();
  std::string table;
  for (size_t i = 0; Present(ini, kWhere, "obj" + std::to_string(i), table); ++i)
    o.WhereStatements[Upper(table)] = ini.Get(kWhere, "where" + std::to_string(i));

  o.s_WorkingProfile = ini.Get(kMain, "s_WorkingProfile");
  return c;
}

}  // namespace mv
