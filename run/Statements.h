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
void AddTerminator(ScriptText& t, const Profile& profile, std::string_view after);

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
// The same with the command's own words (a method's CREATE INDEX) and a condition (" WHERE ...")
// after the closing parenthesis.
void AddCreateIndex(ScriptText& t, const Profile& profile, const std::string& create, const std::string& index,
                    const std::string& table, const std::vector<std::string>& columns, const std::string& remark,
                    const std::string& where);
// INSERT INTO table ( columns ) VALUES ( row ).
void AddInsert(ScriptText& t, const Profile& profile, const std::string& table, const std::string& columns,
               const std::string& row);

// The rows of one table as INSERTs of up to `rowsPerInsert` rows each: the first row as
// AddInsert writes it, each further row after "," on a line of its own, aligned under the
// first. With one row per INSERT the text is AddInsert's. The caller closes an open group
// before anything that is not a row (a COMMIT, a remark, the table's end, the stop note).
class InsertGroup {
 public:
  explicit InsertGroup(int rowsPerInsert) : max_(rowsPerInsert < 1 ? 1 : rowsPerInsert) {}
  // Adds one row; the group is closed when it is full.
  void AddRow(ScriptText& t, const Profile& profile, const std::string& table, const std::string& columns,
              const std::string& row);
  // The same for the profile, table and columns of the last Begin, without comparing them per row.
  void Begin(const Profile& profile, const std::string& table, const std::string& columns);
  void AddRow(ScriptText& t, const std::string& row);
  // Ends an open group with the profile's terminator; nothing when none is open.
  void Close(ScriptText& t, const Profile& profile);
  bool IsOpen() const { return rows_ > 0; }

 private:
  int max_;
  int rows_ = 0;
  // The text before a table's first and further rows, for the table and profile named, and
  // after the row that fills a group (its parenthesis and the terminator, as Close adds it).
  const Profile* profile_ = nullptr;
  std::string table_, columns_;
  ScriptText head_, next_, full_;
};

}  // namespace mv
