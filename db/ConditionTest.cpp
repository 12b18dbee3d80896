#include "db/ConditionTest.h"

#include "db/DbConnection.h"
#include "settings/Filters.h"

namespace mv {

std::string TestCondition(DbConnection& connection, const RunOptions& opts, const std::string& tableName,
                          const std::string& editorText, bool& ok) {
  ok = false;
  if (editorText.find_first_not_of(" \t\r\n\f\v") == std::string::npos)
    return "Please enter the condition you want to test.";
  std::string sql = "select 1 from " + tableName;
  std::string condition;
  if (WhereConditionFor(opts, tableName, condition)) sql += " where " + condition;
  Statement stmt;
  std::string error = connection.Execute(stmt, sql);
  if (!error.empty()) return error;
  ok = true;
  return "The condition looks OK!";
}

}  // namespace mv
