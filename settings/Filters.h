#pragma once
#include <string>
#include <vector>

#include "settings/RunOptions.h"

namespace mv {

// 1 when the run leaves the table out.
int TableIsSkipped(const RunOptions& opts, const std::string& tableName);
// The entries of the list of tables to script that match none of the names.
std::vector<std::string> UnmatchedTables(const RunOptions& opts, const std::vector<std::string>& names);
// 1 when the structure script leaves the column out (name upper-cased, patterns as given).
int ColumnIsIgnored(const RunOptions& opts, const std::string& columnName, const std::string& typeName);
// The "%" pattern rule shared by the column and type lists.
bool PatternMatches(const std::string& pattern, const std::string& name);
// 1 and the condition (a leading typed WHERE removed) when the table has a non-empty condition.
int WhereConditionFor(const RunOptions& opts, const std::string& tableName, std::string& condition);

}  // namespace mv
