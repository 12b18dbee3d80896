#pragma once
#include <string>

#include "settings/RunOptions.h"

namespace mv {

class DbConnection;

// The "Test" button of the conditions dialog: runs "select 1 from TABLE where CONDITION"
// (with the stored condition of the table) without fetching. Returns the text to show:
// "Please enter the condition you want to test." when the editor is empty, the driver's
// error text, or "The condition looks OK!". ok tells which.
std::string TestCondition(DbConnection& connection, const RunOptions& opts, const std::string& tableName,
                          const std::string& editorText, bool& ok);

}  // namespace mv
