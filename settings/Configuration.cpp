#include "settings/Configuration.h"

#include <cctype>

#include "db/DbConnection.h"
#include "profiles/ProfileFile.h"
#include "run/RunOwner.h"
#include "shell/IniFile.h"
#include "settings/RunOptions.h"
#include "shell/AtomicFile.h"
#include "shell/Host.h"

namespace mv {

namespace {

constexpr char kMain[] = "Mervale";
constexpr char kDatabase[] = "Database";
constexpr char kIgnoreColumns[] = "Ignore Columns";
constexpr char kIgnoreTables[] = "Ignore Tables";
constexpr char kIncludeOnly[] = "Include Only Tables";
constexpr char kIgnoreTypes[] = "Ignore Data Types";
constexpr char kWhere[] = "Where Statements";

constexpr char kOpenFailed[] = "Could not open config file.";
constexpr char kReconnect[] = "Do you wish to re-connect to the database on the config file?";
constexpr char kNoAutoStart[] =
    "Could not automatically start scripting, please make sure a valid database connection is saved "
    "in the configuration file.\nSee the help topics for more information.";

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
};

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

void Reconnect(RunOwner& owner, const std::string& connectString, const std::string& user,
               const std::string& catalogFlag) {
  // ReplaceConnection gives the connection its back reference and marks the table list stale.
  owner.ReplaceConnection(DbConnection::ConnectWithString(owner.host, connectString, user, catalogFlag));
}

void ApplyProfile(RunOwner& owner) {
  if (!owner.profiles.empty()) ApplyWorkingProfile(owner.profiles, owner.opts.s_WorkingProfile, owner.working);
}

// The older binary form. Fields are stored as they are read; a file that ends early ends the
// load silently with the fields read so far.
void LoadLegacy(RunOwner& owner, const std::string& data, bool noQuestion) {
  RunOptions& o = owner.opts;
  size_t pos = 0;
  auto str = [&](std::string& s) { return pfl::DecodeString(data, pos, s); };
  auto num = [&](int& v) { return pfl::DecodeInt(data, pos, v); };

  std::string unused, connectString, third;
  if (!str(unused) || !str(connectString) || !str(third)) return;
  if (!connectString.empty() || !third.empty()) {
    const bool yes = noQuestion || owner.host.Message(kReconnect, Host::Buttons::YesNo) == Host::Answer::Yes;
    if (yes && !connectString.empty()) Reconnect(owner, connectString, "", "");
  }
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
  ApplyProfile(owner);
}

}  // namespace

void ConfigTitleUpdate(RunOwner& owner, const std::string& fileName) {
  if (owner.titleBase == "--") owner.titleBase = owner.s_TitleSuffix;
  std::string name = fileName;
  if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".mvl") == 0) name.resize(name.size() - 4);
  owner.s_TitleSuffix = owner.titleBase + " - " + name;
  if (owner.documentTitle.empty()) return;
  std::string title = owner.documentTitle;
  const size_t dash = title.find('-');
  if (dash != std::string::npos && dash != 0) title.resize(dash);
  while (!title.empty() && std::isspace(static_cast<unsigned char>(title.back()))) title.pop_back();
  owner.host.SetTitle(title + " - Mervale" + owner.s_TitleSuffix);
}

bool SaveConfiguration(RunOwner& owner, const std::string& path) {
  const RunOptions& o = owner.opts;
  // The pause the desktop once made after showing the wait cursor was only a visual cue; the
  // cursor is shown for the time the file takes to write.
  owner.host.WaitCursor(true);
  IniFile ini;
  // The file's native line end, so that files move between systems unchanged.
  ini.SetLineBreak("\r\n");
  ini.Set(kMain, "Version", "5.0");
  std::string connectString, user;
  int isCatalog = 0;
  if (owner.connection && owner.connection->notConnected == 0) {
    connectString = owner.connection->s_ConnectString;
    user = owner.connection->s_DatabaseUser;
    isCatalog = owner.connection->b_IsCatalog ? 1 : 0;
  }
  if (!connectString.empty()) {
    ini.Set(kDatabase, "s_ConnectString", connectString);
    if (!user.empty()) ini.Set(kDatabase, "s_DatabaseUser", user);
  }
  ini.Set(kDatabase, "b_IsCatalog", isCatalog ? "1" : "0");
  ini.Set(kMain, "s_WorkingProfile", o.s_WorkingProfile);
  ini.Set(kMain, "i_AutoSpecialName", std::to_string(o.i_AutoSpecialName));
  ini.Set(kMain, "b_AutoSave", std::to_string(o.b_AutoSave));
  ini.Set(kMain, "i_AutoSaveLines", std::to_string(o.i_AutoSaveLines));
  if (!o.s_AutoSaveFile.empty()) ini.Set(kMain, "s_AutoSaveFile", o.s_AutoSaveFile);
  ini.Set(kMain, "b_OnlyToFile", std::to_string(o.b_OnlyToFile));
  ini.Set(kMain, "b_DataType", std::to_string(o.b_DataType));
  for (const FlagKey& f : kCarriedFlags) ini.Set(kMain, f.key, std::to_string(o.*f.field));
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
  const bool saved = ini.Save(path, kConfigMode, true);
  owner.host.WaitCursor(false);
  if (!saved) {
    owner.host.Message(kOpenFailed);
    return false;
  }
  owner.s_ConfigFile = path;
  ConfigTitleUpdate(owner, BaseName(path));
  return true;
}

bool LoadConfiguration(RunOwner& owner, const std::string& path, bool noQuestion) {
  RunOptions& o = owner.opts;
  owner.configLoadedSinceRun = 1;

  // Values are read whole, however long: nothing is cut at a buffer size.
  IniFile ini;
  const bool readable = ini.Load(path);
  std::string version;
  if (!readable || !Present(ini, kMain, "Version", version)) {
    owner.s_ConfigFile = path;
    std::string data;
    if (!ReadWholeFile(path, data)) {
      owner.host.Message(kOpenFailed);
      return false;
    }
    ConfigTitleUpdate(owner, BaseName(path));
    LoadLegacy(owner, data, noQuestion);
    return true;
  }

  owner.s_ConfigFile = path;
  owner.host.WaitCursor(true);
  ConfigTitleUpdate(owner, BaseName(path));

  const std::string connectString = ini.Get(kDatabase, "s_ConnectString");
  const std::string user = ini.Get(kDatabase, "s_DatabaseUser");
  const std::string catalogFlag = ini.Get(kDatabase, "b_IsCatalog");
  if (!connectString.empty()) {
    const bool yes = noQuestion || owner.host.Message(kReconnect, Host::Buttons::YesNo) == Host::Answer::Yes;
    if (yes) Reconnect(owner, connectString, user, catalogFlag);
  }

  std::string v;
  o.i_AutoSpecialName = ReadInt(ini, "i_AutoSpecialName", 0);
  o.b_AutoSave = ReadInt(ini, "b_AutoSave", 0);
  o.i_AutoSaveLines = ReadInt(ini, "i_AutoSaveLines", 500);
  o.s_AutoSaveFile = Present(ini, kMain, "s_AutoSaveFile", v) ? v : "";
  o.b_OnlyToFile = ReadInt(ini, "b_OnlyToFile", 0);
  o.b_DataType = ReadInt(ini, "b_DataType", 1);
  for (const FlagKey& f : kCarriedFlags) o.*f.field = ReadInt(ini, f.key, f.def);
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
  ApplyProfile(owner);
  owner.host.WaitCursor(false);
  return true;
}

bool AutoStart(RunOwner& owner, const std::string& path) {
  LoadConfiguration(owner, path, true);
  if (owner.HasUsableConnection()) {
    owner.processedTables.clear();
    owner.scriptSaved = 0;
    owner.autoStartPath = path;
    // An automatic start is not a run the user started: Save Script and Rerun keep their state.
    const int hadRun = owner.hasRun;
    const bool started = owner.StartRun();
    owner.hasRun = hadRun;
    if (!started) owner.autoStartPath.clear();
    return started;
  }
  owner.host.ShowMaximized();
  owner.host.Message(kNoAutoStart);
  return false;
}

}  // namespace mv
