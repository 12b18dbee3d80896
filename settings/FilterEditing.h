#pragma once
#include <string>
#include <vector>

#include "settings/RunOptions.h"

namespace mv {

struct Profile;

// The pages of the Advanced Structure Options sheet and the Data Conditions dialog, as plain
// state: a window shows these and calls the rules below.

// Tables page: the connection's table names once each (case-insensitively), sorted without
// regard to case, and which are selected (scripted).
struct TablesPageState {
  std::vector<std::string> names;
  std::vector<bool> selected;
  int caseRule = 0;
  int b_DropTable = 1;
  int b_DoTabSkipped = 1;
};
TablesPageState OpenTablesPage(const std::vector<std::string>& tableNames, const RunOptions& opts,
                               const Profile& working);
// OK: the selection is stored as its complement in IgnoreTables; IncludeOnlyTables empties.
void ApplyTablesPage(const TablesPageState& page, RunOptions& opts, Profile& working);

// Columns page.
struct ColumnsPageState {
  std::vector<std::string> patterns;  // kept sorted
  int caseRule = 0;
};
ColumnsPageState OpenColumnsPage(const RunOptions& opts, const Profile& working);
// "Add": empty text does nothing; a second "%" is refused with the returned message (the text
// stays in the box); otherwise the pattern is listed as typed. added tells the window to
// empty the box.
std::string AddColumnPattern(ColumnsPageState& page, const std::string& text, bool& added);
void ApplyColumnsPage(const ColumnsPageState& page, RunOptions& opts, Profile& working);

// Data Types page: the 23 category names sorted, selected when IgnoreDataTypes names them.
struct TypesPageState {
  std::vector<std::string> names;
  std::vector<bool> selected;
  int caseRule = 0;
};
TypesPageState OpenTypesPage(const RunOptions& opts, const Profile& working);
void ApplyTypesPage(const TypesPageState& page, RunOptions& opts, Profile& working);

inline constexpr const char* kMsgOneExpander = "You can have only one expander ('%') per string";

// Data Conditions.
struct ConditionEntry {
  std::string name;  // as the database gives it
  int hasCondition = 0;
};
// One entry per table name (first spelling wins), sorted, flagged when it has a condition.
std::vector<ConditionEntry> ConditionEntries(const std::vector<std::string>& tableNames, const RunOptions& opts);
// What the editor shows for a table: the stored text, keyword included.
std::string StoredCondition(const RunOptions& opts, const std::string& tableName);
// Every change of the editor's text; returns the table's new flag.
int EditCondition(RunOptions& opts, const std::string& tableName, const std::string& editorText);

}  // namespace mv
