#include "db/ConditionTest.h"

#include "db/ConditionCheck.h"
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
  if (WhereConditionFor(opts, tableName, condition)) {
    // The check a run makes, before anything reaches the engine.
    const std::string why = ConditionRefusal(condition, connection.Driver().engine);
    if (!why.empty()) return "The condition was not run: it " + why + ".";
    sql += " where " + condition;
  }
  // A test reads as a run does: in a read-only session (a free-form run makes it writable again).
  std::string error = connection.SetReadOnly(true);
  if (!error.empty() && connection.Driver().engine != Engine::Other) return error;
  Statement stmt;
  error = connection.Execute(stmt, sql);
  if (!error.empty()) return error;
  ok = true;
  return "The condition looks OK!";
}

}  // namespace mv
