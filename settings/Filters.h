#pragma once
#include <string>

#include "settings/RunOptions.h"

namespace mv {

// 1 when the run leaves the table out.
int TableIsSkipped(const RunOptions& opts, const std::string& tableName);
// 1 when the structure script leaves the column out (name upper-cased, patterns as given).
int ColumnIsIgnored(const RunOptions& opts, const std::string& columnName, const std::string& typeName);
// The "%" pattern rule shared by the column and type lists.
bool PatternMatches(const std::string& pattern, const std::string& name);
// 1 and the condition (a leading typed WHERE removed) when the table has a non-empty condition.
int WhereConditionFor(const RunOptions& opts, const std::string& tableName, std::string& condition);

}  // namespace mv

namespace mv {

class DbConnection;

// The "Test" button of the conditions dialog: runs "select 1 from TABLE where CONDITION"
// (with the stored condition of the table) without fetching. Returns the text to show:
// "Please enter the condition you want to test." when the editor is empty, the driver's
// error text, or "The condition looks OK!". ok tells which.
std::string TestCondition(DbConnection& connection, const RunOptions& opts, const std::string& tableName,
                          const std::string& editorText, bool& ok);

}  // namespace mv
