#pragma once
#include <string>
#include <vector>

#include "run/ScriptText.h"

namespace mv {

struct Profile;

// The statements a run writes, built as values with the profile's keywords, line breaks and
// terminator, so each can be compared whole.

// The end of a statement: its own line unless the profile executes on the same line, then the
// execute command and `after`.
void AddTerminator(ScriptText& t, const Profile& profile, const std::string& after);

// One column line of a CREATE TABLE: the name as written and its definition.
struct ColumnLine {
  std::string name;
  std::string definition;
};
// CREATE TABLE with its columns. A remark the catalog forced (a column list that could not
// be read whole) stands after the first `remarkAt` columns. No columns: nothing is added.
void AddCreateTable(ScriptText& t, const Profile& profile, const std::string& table,
                    const std::vector<ColumnLine>& columns, size_t remarkAt = 0, const std::string& remark = {});
// CREATE [UNIQUE] INDEX name ON table ( columns ); a remark stands after the last column.
void AddCreateIndex(ScriptText& t, const Profile& profile, bool unique, const std::string& index,
                    const std::string& table, const std::vector<std::string>& columns, const std::string& remark = {});
// INSERT INTO table ( columns ) VALUES ( row ).
void AddInsert(ScriptText& t, const Profile& profile, const std::string& table, const std::string& columns,
               const std::string& row);

}  // namespace mv
