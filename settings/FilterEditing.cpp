#include "settings/FilterEditing.h"

#include <algorithm>

#include "base/TextOrder.h"
#include "base/TextRules.h"
#include "profiles/Profile.h"
#include "profiles/TypeCategory.h"
#include "settings/Filters.h"

namespace mv {

namespace {

std::string WithoutLeadingSpace(const std::string& s) {
  const size_t i = s.find_first_not_of(" \t\r\n\f\v");
  return i == std::string::npos ? std::string() : s.substr(i);
}

bool ListedIgnoringCase(const std::vector<std::string>& list, const std::string& name) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& e) { return EqualIgnoringCase(e, name); });
}

// Names once each, the first spelling kept, in list-box order.
std::vector<std::string> UniqueSorted(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& n : names)
    if (!ListedIgnoringCase(out, n)) out.push_back(n);
  std::stable_sort(out.begin(), out.end(), LessIgnoringCase);
  return out;
}

}  // namespace

TablesPageState OpenTablesPage(const std::vector<std::string>& tableNames, const RunOptions& opts,
                               const Profile& working) {
  TablesPageState page;
  page.names = UniqueSorted(tableNames);
  page.selected.resize(page.names.size());
  for (size_t i = 0; i < page.names.size(); ++i) {
    if (opts.IncludeOnlyTables.empty())
      page.selected[i] = !ListedIgnoringCase(opts.IgnoreTables, page.names[i]);
    else
      page.selected[i] = ListedIgnoringCase(opts.IncludeOnlyTables, page.names[i]);
  }
  page.caseRule = working.i_TableNameCase;
  page.b_DropTable = opts.b_DropTable;
  page.b_DoTabSkipped = opts.b_DoTabSkipped;
  return page;
}

void ApplyTablesPage(const TablesPageState& page, RunOptions& opts, Profile& working) {
  working.i_TableNameCase = page.caseRule;
  opts.b_DoTabSkipped = page.b_DoTabSkipped;
  opts.b_DropTable = page.b_DropTable;
  opts.IgnoreTables.clear();
  opts.IncludeOnlyTables.clear();
  for (size_t i = 0; i < page.names.size(); ++i)
    if (!page.selected[i]) opts.IgnoreTables.push_back(page.names[i]);
}

ColumnsPageState OpenColumnsPage(const RunOptions& opts, const Profile& working) {
  ColumnsPageState page;
  page.patterns = opts.IgnoreColumns;
  std::stable_sort(page.patterns.begin(), page.patterns.end(), LessIgnoringCase);
  page.caseRule = working.i_ColumnNameCase;
  return page;
}

std::string AddColumnPattern(ColumnsPageState& page, const std::string& text, bool& added) {
  added = false;
  if (text.empty()) return {};
  const size_t p = text.find('%');
  if (p != std::string::npos && text.find('%', p + 1) != std::string::npos) return kMsgOneExpander;
  page.patterns.insert(page.patterns.begin() + SortedPosition(page.patterns, text), text);
  added = true;
  return {};
}

void ApplyColumnsPage(const ColumnsPageState& page, RunOptions& opts, Profile& working) {
  working.i_ColumnNameCase = page.caseRule;
  opts.IgnoreColumns = page.patterns;
}

TypesPageState OpenTypesPage(const RunOptions& opts, const Profile& working) {
  TypesPageState page;
  for (int c : kDisplayOrder) page.names.push_back(CategoryName(c));
  SortIgnoringCase(page.names);
  for (const std::string& n : page.names) page.selected.push_back(ListedIgnoringCase(opts.IgnoreDataTypes, n));
  page.caseRule = working.i_DataTypeCase;
  return page;
}

void ApplyTypesPage(const TypesPageState& page, RunOptions& opts, Profile& working) {
  opts.IgnoreDataTypes.clear();
  working.i_DataTypeCase = page.caseRule;
  for (size_t i = 0; i < page.names.size(); ++i)
    if (page.selected[i]) opts.IgnoreDataTypes.push_back(page.names[i]);
}

std::vector<ConditionEntry> ConditionEntries(const std::vector<std::string>& tableNames, const RunOptions& opts) {
  std::vector<ConditionEntry> out;
  std::string unused;
  for (const std::string& n : UniqueSorted(tableNames)) out.push_back({n, WhereConditionFor(opts, n, unused)});
  return out;
}

std::string StoredCondition(const RunOptions& opts, const std::string& tableName) {
  auto it = opts.WhereStatements.find(Upper(tableName));
  return it == opts.WhereStatements.end() ? std::string() : it->second;
}

int EditCondition(RunOptions& opts, const std::string& tableName, const std::string& editorText) {
  const std::string key = Upper(tableName);
  const std::string text = WithoutLeadingSpace(editorText);
  opts.WhereStatements.erase(key);
  if (text.empty()) return 0;
  opts.WhereStatements[key] = text;
  return 1;
}

}  // namespace mv
