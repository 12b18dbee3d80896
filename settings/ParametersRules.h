#pragma once
#include <string>
#include <vector>

#include "settings/OptionRules.h"
#include "settings/RunOptions.h"

namespace mv {

struct Profile;

// What the Parameters dialog holds as its own copies: written back only by Start or Close.
// The connection, owner, working profile, filters and conditions change in place instead.
struct ParametersCopies {
  int b_DoTabStruct = 1;
  int b_DoTabData = 1;
  int b_DoIndex = 1;
  int b_DoRemarks = 1;
  GeneralOptionValues general;
  DataOptionValues data;
  IndexOptionValues index;
  int closedWithoutStarting = 0;
  bool operator==(const ParametersCopies&) const = default;
};

// The copies as the dialog opens: the index case copies come from the working profile copy,
// where the run keeps its five name case rules.
ParametersCopies LoadParametersCopies(const RunOptions& opts, const Profile& working);
// The index case copies reloaded from the working copy (after a profile was applied).
void ReloadIndexCase(ParametersCopies& copies, const Profile& working);

// Start or Close: every copy back, then the index case rule: until the Advanced Index Options
// dialog has been opened once, the index rules follow the table and column rules.
void WriteBackParameters(const ParametersCopies& copies, RunOptions& opts, Profile& working);

// Index "Advanced...": before the dialog opens. Marks the index case as set even when the
// user then cancels the dialog.
void PrepareAdvancedIndex(ParametersCopies& copies, RunOptions& opts, const Profile& working);

// Opening step 2 and "View Profiles": the entry of the (sorted) profile names to select.
// A working name that is not listed is replaced by the first entry's name. -1 when empty.
int ChooseProfileEntry(const std::vector<std::string>& sortedNames, std::string& workingName);

// The refusals of the Parameters and SQL script dialogs when no usable database is held.
inline constexpr const char* kMsgSelectDatabaseToBegin = "You must select a database before you can begin.";
inline constexpr const char* kMsgSelectDatabaseForStructure =
    "You must select a database before you can setup the structure advanced options.";
inline constexpr const char* kMsgSelectDatabaseForConditions =
    "You must select a database before you can setup the data conditions.";
inline constexpr const char* kSelectDatabaseButton = "Press to select Database";
inline constexpr const char* kOwnerNotRequired = "-not required-";

// The SQL script dialog: its two copies, written back only by Start.
struct SqlScriptCopies {
  std::string s_GlobalPassSql;
  int b_DataCSV = 0;
};
inline constexpr const char* kMsgEnterStatement = "Please enter a statement to be executed on the database.";
// Start's checks in order; empty when the dialog may close. emptyStatement tells the caller
// to give the statement box the focus.
std::string CheckSqlScriptStart(bool usableConnection, const std::string& statement, bool& emptyStatement);
// "...": the file's lines, each followed by "\n". False when the file cannot be opened.
bool ReadStatementFile(const std::string& path, std::string& text);
inline const std::string kMsgCouldNotOpenFile = "Could not open file: ";

}  // namespace mv
