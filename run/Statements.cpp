#include "run/Statements.h"

#include "base/TextRules.h"
#include "profiles/Profile.h"

namespace mv {

void AddTerminator(ScriptText& t, const Profile& profile, std::string_view after) {
  if (!profile.b_ExecuteSameLine) t.Add("\r\n", TextRole::Sql, true);
  std::string end = profile.s_Execute;
  end += after;
  t.Add(end, TextRole::Remark, true);
}

void AddCreateTable(ScriptText& t, const Profile& profile, const std::string& table,
                    const std::vector<ColumnLine>& columns, size_t remarkAt, const std::string& remark) {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i == remarkAt && !remark.empty()) t.Add(remark, TextRole::Message);
    if (i == 0) {
      t.Add(profile.s_CreateTable + " ", TextRole::Remark);
      t.Add(table + "\t\t" + profile.s_LineBreak + "\r\n(\t\t", TextRole::Sql);
      t.Add(profile.s_LineBreak + "\r\n", TextRole::Sql, true);
    } else {
      t.Add(",\t\t" + profile.s_LineBreak + "\r\n", TextRole::Sql, true);
    }
    t.Add("\t" + PadToWidth(columns[i].name, 25, false), TextRole::Name);
    t.Add("\t\t" + PadToWidth(columns[i].definition, 30, false), TextRole::Sql);
  }
  if (remarkAt >= columns.size() && !remark.empty()) t.Add(remark, TextRole::Message);
  if (columns.empty()) return;
  t.Add("\t\t" + profile.s_LineBreak + "\r\n)", TextRole::Sql);
  AddTerminator(t, profile, "\r\n\r\n");
}

void AddCreateIndex(ScriptText& t, const Profile& profile, bool unique, const std::string& index,
                    const std::string& table, const std::vector<std::string>& columns, const std::string& remark) {
  AddCreateIndex(t, profile, unique ? profile.s_CreateUniqueIndex : profile.s_CreateIndex, index, table, columns,
                 remark, {});
}

void AddCreateIndex(ScriptText& t, const Profile& profile, const std::string& create, const std::string& index,
                    const std::string& table, const std::vector<std::string>& columns, const std::string& remark,
                    const std::string& where) {
  t.Add(create + " ", TextRole::Remark);
  t.Add(index, TextRole::Sql);
  t.Add(" " + profile.s_OnTable + " ", TextRole::Remark);
  t.Add(table, TextRole::Sql);
  t.Add("\t\t" + profile.s_LineBreak + "\r\n(\t\t" + profile.s_LineBreak + "\r\n", TextRole::Sql, true);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) t.Add(",\t\t" + profile.s_LineBreak + "\r\n", TextRole::Sql, true);
    t.Add("\t" + PadToWidth(columns[i], 25, false), TextRole::Name);
  }
  if (!remark.empty()) t.Add(remark, TextRole::Message);
  t.Add("\t\t" + profile.s_LineBreak + "\r\n)", TextRole::Sql);
  if (!where.empty()) t.Add(where, TextRole::Sql);
  AddTerminator(t, profile, "\r\n\r\n");
}

void AddInsert(ScriptText& t, const Profile& profile, const std::string& table, const std::string& columns,
               const std::string& row) {
  InsertGroup one(1);
  one.AddRow(t, profile, table, columns, row);
}

void InsertGroup::Begin(const Profile& profile, const std::string& table, const std::string& columns) {
  profile_ = &profile;
  table_ = table;
  columns_ = columns;
  head_.Clear();
  head_.Add(profile.s_InsertInto, TextRole::Remark);
  head_.Add(" ", TextRole::Remark);
  head_.Add(table, TextRole::Sql);
  head_.Add(" ( ", TextRole::Sql);
  head_.Add(columns, TextRole::Name);
  head_.Add(" )\t\t", TextRole::Sql);
  head_.Add(profile.s_LineBreak, TextRole::Sql);
  head_.Add("\r\n", TextRole::Sql, true);
  head_.Add(profile.s_Values, TextRole::Remark);
  head_.Add(" ( ", TextRole::Sql);
  next_.Clear();
  next_.Add(",", TextRole::Sql);
  next_.Add(profile.s_LineBreak, TextRole::Sql);
  next_.Add("\r\n", TextRole::Sql, true);
  // Under the first row's parenthesis: the values keyword's width and one blank.
  next_.Add(std::string(profile.s_Values.size() + 1, ' ') + "( ", TextRole::Sql);
  full_.Clear();
  full_.Add(" )", TextRole::Sql);
  AddTerminator(full_, profile, "\r\n\r\n");
}

void InsertGroup::AddRow(ScriptText& t, const Profile& profile, const std::string& table, const std::string& columns,
                         const std::string& row) {
  if (&profile != profile_ || table != table_ || columns != columns_) Begin(profile, table, columns);
  AddRow(t, row);
}

[[gnu::hot]] void InsertGroup::AddRow(ScriptText& t, const std::string& row) {
  t.Append(rows_ == 0 ? head_ : next_);
  t.Add(row, TextRole::Data);
  if (++rows_ < max_) {
    t.Add(" )", TextRole::Sql);
    return;
  }
  rows_ = 0;
  t.Append(full_);
}

void InsertGroup::Close(ScriptText& t, const Profile& profile) {
  if (rows_ == 0) return;
  rows_ = 0;
  AddTerminator(t, profile, "\r\n\r\n");
}

}  // namespace mv
