#include "profiles/Profile.h"

#include <algorithm>

#include "base/TextRules.h"

namespace mv {

void ApplyCaseInPlace(std::string& text, CaseRule rule) {
  if (rule == 0)
    UpperInPlace(text);
  else if (rule == 1)
    LowerInPlace(text);
}

std::string ApplyCase(std::string text, CaseRule rule) {
  ApplyCaseInPlace(text, rule);
  return text;
}

void SetBuiltInDefaults(Profile& p) {
  p.s_Remarks = "REM";
  p.s_Execute = ";";
  p.b_ExecuteSameLine = 1;
  p.s_LineBreak.clear();
  p.s_DropTable = "DROP TABLE";
  p.s_CreateTable = "CREATE TABLE";
  p.s_Null = "NULL";
  p.s_NotNull = "NOT NULL";
  p.b_NullBeforeType = 0;
  p.i_TableNameCase = 0;
  p.i_ColumnNameCase = 0;
  p.i_DataTypeCase = 0;
  p.s_Delete = "DELETE FROM TABLE";
  p.s_InsertInto = "INSERT INTO";
  p.s_Values = "VALUES";
  p.s_NumericEmpty = "NULL";
  p.s_NullString = "NULL";
  p.s_EmptyString = "''";
  p.s_StringDelimiter = "'";
  p.s_Commit.clear();
  p.i_CommitLines = 0;
  p.b_CommitEachTable = 0;
  p.b_CommitNeedsExecute = 0;
  p.s_DropIndex = "DROP INDEX";
  p.b_DropIndexTableName = 0;
  p.s_CreateUniqueIndex = "CREATE UNIQUE INDEX";
  p.s_CreateIndex = "CREATE INDEX";
  p.s_OnTable = "ON";
  p.i_IndexNameCase = 0;
  p.i_IndexColumnCase = 0;
  p.i_LengthRule = 1;
}

Profile MakeDefaultProfile(const Profile& working) {
  Profile p;
  SetBuiltInDefaults(p);
  p.s_Name = "Default";
  p.i_TableNameCase = working.i_TableNameCase;
  p.i_ColumnNameCase = working.i_ColumnNameCase;
  p.i_DataTypeCase = working.i_DataTypeCase;
  p.i_IndexNameCase = working.i_IndexNameCase;
  p.i_IndexColumnCase = working.i_IndexColumnCase;
  p.i_LengthRule = working.i_LengthRule;
  // Without it a value such as O'Brien would end its literal early and could inject SQL.
  p.Substitutions.push_back({"'", "''"});
  return p;
}

void CopyProfileSettings(const Profile& from, Profile& to) {
  std::string name = std::move(to.s_Name);
  int changed = to.b_Changed;
  to = from;
  to.s_Name = std::move(name);
  to.b_Changed = changed;
}

Profile* ProfileList::FindProfile(const std::string& name) {
  for (auto& p : items_)
    if (p.s_Name == name) return &p;
  return nullptr;
}

const Profile* ProfileList::FindProfile(const std::string& name) const {
  for (const auto& p : items_)
    if (p.s_Name == name) return &p;
  return nullptr;
}

Profile& ProfileList::Append(Profile p) {
  items_.push_back(std::move(p));
  return items_.back();
}

bool ProfileList::Remove(const std::string& name) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const Profile& p) { return p.s_Name == name; });
  if (it == items_.end()) return false;
  items_.erase(it);
  return true;
}

void ApplyWorkingProfile(const ProfileList& list, std::string& workingName, Profile& working) {
  const Profile* chosen = list.FindProfile(workingName);
  if (!chosen) {
    if (list.empty()) return;
    chosen = &list[0];
    workingName = chosen->s_Name;
  }
  CopyProfileSettings(*chosen, working);
}

}  // namespace mv
