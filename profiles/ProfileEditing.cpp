#include "profiles/ProfileEditing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "base/Host.h"
#include "base/ProgramFolder.h"
#include "base/TextOrder.h"
#include "profiles/ProfileFile.h"

namespace mv {

std::string ExistingProfileMessage(const std::string& name) {
  return name + " is an existing Profile, please choose a different name.";
}
std::string RemoveProfileQuestion(const std::string& name) {
  return "Are you sure you want to permanently delete profile '" + name + "'?";
}
std::string ProfileChangedQuestion(const std::string& name) {
  return "Profile '" + name + "' has been changed. Do you want to save it?";
}

std::vector<std::string> SortedProfileNames(const std::vector<std::string>& names) {
  std::vector<std::string> sorted = names;
  SortIgnoringCase(sorted);
  return sorted;
}

std::string CheckNewProfileName(const ProfileList& list, std::string& name) {
  const char* ws = " \t\r\n\f\v";
  const size_t b = name.find_first_not_of(ws);
  name = b == std::string::npos ? std::string() : name.substr(b, name.find_last_not_of(ws) - b + 1);
  if (name.empty()) return kMsgEnterProfileName;
  if (list.FindProfile(name)) return ExistingProfileMessage(name);
  return {};
}

void AddProfileCopy(ProfileList& list, const Profile& from, const std::string& name) {
  Profile p = from;  // the lists are values, so the copy shares nothing with its source
  p.s_Name = name;
  p.b_Changed = 1;
  list.Append(std::move(p));
}

std::string DeleteProfileFile(const std::string& folder, const std::string& name) {
  const std::string path = JoinPath(folder, name + ".pfl");
  if (std::remove(path.c_str()) != 0 && errno != ENOENT) return "Could not delete profile '" + path + "'";
  return {};
}

int RowAfterRemoval(int removed, int countAfter) {
  if (countAfter <= 0) return -1;
  return std::min(removed, countAfter - 1);
}

bool SaveChangedProfiles(ProfileList& list, const std::string& folder, const std::string& workingName, Profile& working,
                         Host& host) {
  bool all = true;
  for (Profile& p : list) {
    if (p.b_Changed != 1) continue;
    if (!SaveProfile(p, folder, host)) {
      all = false;
      continue;
    }
    if (p.s_Name == workingName) CopyProfileSettings(p, working);
  }
  return all;
}

// ---- Field pages.

namespace {

using K = ProfileField::Kind;
constexpr const char* kDefaults = "The following strings are the default values for empty and NULL:";
constexpr const char* kCommitGroup = "The following string is the COMMIT command:";
constexpr const char* kQuoteGroup = "Names of the target";
constexpr const char* kObjectsGroup = "Views, types and comments";
constexpr const char* kLoadGroup = "Loading the script:";

ProfileField Text(const char* label, std::string Profile::*f, const char* group = nullptr) {
  return {K::Text, label, group, f};
}
ProfileField Flag(const char* label, int Profile::*f, K kind = K::Flag, const char* group = nullptr) {
  ProfileField r{kind, label, group};
  r.number = f;
  return r;
}
ProfileField CaseGroup(const char* title, int Profile::*f, const char* upper, const char* lower,
                       const char* untouched) {
  ProfileField r{K::Case, title, nullptr};
  r.number = f;
  r.choices[0] = upper;
  r.choices[1] = lower;
  r.choices[2] = untouched;
  return r;
}

std::vector<std::vector<ProfileField>> BuildPages() {
  std::vector<std::vector<ProfileField>> pages(4);
  pages[0] = {
      Text("Use this string to notate Remarks or Comments:", &Profile::s_Remarks),
      Text("The following string represents the Execute command:", &Profile::s_Execute),
      Flag("Use the Execute command on its own line", &Profile::b_ExecuteSameLine, K::InvertedFlag),
      Text("The following string should be used to break continuing lines:", &Profile::s_LineBreak),
  };
  pages[1] = {
      Text("The following string is the DROP TABLE command:", &Profile::s_DropTable),
      Text("The following string is the CREATE TABLE command:", &Profile::s_CreateTable),
      Text("The following string represents a NULLABLE column:", &Profile::s_Null),
      Text("The following string represents a NOT NULLABLE column:", &Profile::s_NotNull),
      Flag("Script Null/Not Null attribute before Data Type", &Profile::b_NullBeforeType),
      CaseGroup("Table Names Formatting", &Profile::i_TableNameCase, "Script Table names all in uppercase",
                "Script Table names all in lowercase", "Leave Table names untouched"),
      CaseGroup("Column Names Formatting", &Profile::i_ColumnNameCase, "Script Column names all in uppercase",
                "Script Column names all in lowercase", "Leave Column names untouched"),
      CaseGroup("Data Type Names Formatting", &Profile::i_DataTypeCase, "Script Data Type names all in uppercase",
                "Script Data Type names all in lowercase", "Leave Data Type names untouched"),
      Text("Quote special names with (empty: the settings' brackets):", &Profile::s_QuoteOpen, kQuoteGroup),
      Text("and close them with:", &Profile::s_QuoteClose, kQuoteGroup),
      Text("Reserved words of the target, quoted as names:", &Profile::s_ReservedWords, kQuoteGroup),
  };
  ProfileField commitLines{K::Number, "Add one for every", kCommitGroup};
  commitLines.number = &Profile::i_CommitLines;
  commitLines.after = "lines of inserts";
  ProfileField insertBytes{K::Number, "Keep an INSERT of several rows under", kLoadGroup};
  insertBytes.number = &Profile::i_InsertBytes;
  insertBytes.after = "bytes (0: rows per INSERT only)";
  pages[2] = {
      Text("The following string is the DELETE command:", &Profile::s_Delete),
      Text("The following string is the INSERT INTO command:", &Profile::s_InsertInto),
      Text("The following string is the VALUES command:", &Profile::s_Values),
      Text("Numeric fields:", &Profile::s_NumericEmpty, kDefaults),
      Text("Null strings:", &Profile::s_NullString, kDefaults),
      Text("Empty strings:", &Profile::s_EmptyString, kDefaults),
      Text("The following string defines a value as a \"String\":", &Profile::s_StringDelimiter),
      Text("The following number is written for infinity (empty: written as a \"String\"):", &Profile::s_Infinity),
      Text("A text holding a carriage return is written as (%s: its bytes in hexadecimal; empty: a \"String\"):",
           &Profile::s_HexText),
      Text("", &Profile::s_Commit, kCommitGroup),
      commitLines,
      Flag("Add one after scripting each table", &Profile::b_CommitEachTable, K::Flag, kCommitGroup),
      Flag("Commit requires the 'Execute Command' (See General)", &Profile::b_CommitNeedsExecute, K::Flag,
           kCommitGroup),
      Text("Open a transaction before rows and after each COMMIT with:", &Profile::s_BeginTransaction, kLoadGroup),
      Text("Before the script's statements:", &Profile::s_LoadPreamble, kLoadGroup),
      Text("After the script's statements:", &Profile::s_LoadPostamble, kLoadGroup),
      insertBytes,
      Text("Copy statement (%t the table, %c the columns; empty: none):", &Profile::s_CopyFrom, kLoadGroup),
      Flag("Write rows with the copy statement instead of INSERTs", &Profile::b_DataCopy, K::Flag, kLoadGroup),
  };
  pages[3] = {
      Text("The following string is the DROP INDEX command:", &Profile::s_DropIndex),
      Flag("Include 'tablename.' before index name in drop", &Profile::b_DropIndexTableName),
      Text("The following string is the CREATE UNIQUE INDEX command:", &Profile::s_CreateUniqueIndex),
      Text("The following string is the CREATE INDEX command:", &Profile::s_CreateIndex),
      Text("The following string is the ON TABLE command:", &Profile::s_OnTable),
      CaseGroup("Index Names Formatting", &Profile::i_IndexNameCase, "Script Index names all in uppercase",
                "Script Index names all in lowercase", "Leave Index names untouched"),
      CaseGroup("Index Column Names Formatting", &Profile::i_IndexColumnCase, "Script Column names all in uppercase",
                "Script Column names all in lowercase", "Leave Column names untouched"),
      Text("Keys and constraints are written for this engine (same engine: as the source has them):",
           &Profile::s_TargetEngine),
      Text("The PRIMARY KEY command (empty: no keys, constraints, defaults or identities):", &Profile::s_PrimaryKey),
      Text("The UNIQUE command:", &Profile::s_Unique),
      Text("The CHECK command:", &Profile::s_Check),
      Text("The DEFAULT command:", &Profile::s_Default),
      Text("The CONSTRAINT command before a constraint's name (empty: no names):", &Profile::s_Constraint),
      Text("The FOREIGN KEY command:", &Profile::s_ForeignKey),
      Text("The REFERENCES command:", &Profile::s_References),
      Text("The DEFERRABLE command (empty: keys are never deferred):", &Profile::s_Deferrable),
      Text("Foreign keys after the data with (%t: the table; empty: inside CREATE TABLE):", &Profile::s_AddForeignKey),
      Text("An auto-numbering column's attribute:", &Profile::s_AutoNumber),
      Text("The type of an integer primary key that numbers rows by itself:", &Profile::s_RowidKey),
      Text("Sets the next value of an auto-numbering column (%t, %c, %n; statements apart by %;):",
           &Profile::s_SetNextValue),
      Text("The current time as a default:", &Profile::s_CurrentTimestamp),
      Text("The ON UPDATE command of a column:", &Profile::s_OnUpdate),
      Text("DESC after an index column (empty: indexes keep no order):", &Profile::s_IndexDescending),
      Text("An expression in an index (%s; empty: no expression indexes):", &Profile::s_IndexExpression),
      Text("WHERE before a partial index's condition (empty: no partial indexes):", &Profile::s_IndexWhere),
      Text("NULLS before FIRST or LAST after an index column (empty: nulls sort as the target sorts them):",
           &Profile::s_IndexNulls),
      Text("INCLUDE before an index's carried columns (empty: the index carries none):", &Profile::s_IndexInclude),
      Text("Index methods of the same engine the target takes (blank-separated):", &Profile::s_IndexMethods),
      Text("An index method after the table name (%m):", &Profile::s_IndexUsing),
      Text("An index method's CREATE INDEX command (%m):", &Profile::s_CreateMethodIndex),
      Text("An index on a column's first characters (%c, %n; empty: the whole column):", &Profile::s_IndexPrefix),
      Flag("Index names belong to the schema (a name met again is renamed)", &Profile::b_IndexNamesPerSchema),
      Text("A stored generated column (%s; empty: a plain column with the values):", &Profile::s_GeneratedStored),
      Text("A virtual generated column (%s; empty: created stored):", &Profile::s_GeneratedVirtual),
      Flag("NULL or NOT NULL may follow a generated column", &Profile::b_GeneratedNull),
      Text("Removes a sequence of the same engine (%n):", &Profile::s_DropSequence),
      Text("Creates a sequence of the same engine (%n, %d, %i, %l, %h, %s, %c; empty: a remark):",
           &Profile::s_CreateSequence),
      Text("Sets a sequence's next value (%Q, %v):", &Profile::s_SetSequence),
  };
  return pages;
}

// The type names as the lists show them, with their categories.
void SortedCategories(std::vector<std::string>& names, std::vector<int>& categories) {
  std::vector<std::pair<std::string, int>> rows;
  for (int c : kDisplayOrder) rows.emplace_back(CategoryName(c), c);
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return LessIgnoringCase(a.first, b.first); });
  for (auto& [n, c] : rows) {
    names.push_back(n);
    categories.push_back(c);
  }
}

}  // namespace

const std::vector<ProfileField>& ProfilePageFields(int page) {
  static const std::vector<std::vector<ProfileField>> pages = BuildPages();
  return pages.at(page);
}

// ---- Data Types page.

TypesPageModel::TypesPageModel() {
  SortedCategories(names_, categories_);
  omitted_.assign(names_.size(), false);
}

std::string TypesPageModel::Show(const Profile& p) {
  omitted_.assign(names_.size(), false);
  if (p.i_LengthRule >= 0 && p.i_LengthRule <= 2) checkedRule_ = p.i_LengthRule;
  if (p.i_LengthRule == 2) {
    omitEnabled_ = true;
    for (size_t i = 0; i < names_.size(); ++i)
      omitted_[i] = std::find(p.OmitLengthTypes.begin(), p.OmitLengthTypes.end(), names_[i]) != p.OmitLengthTypes.end();
  } else if (p.i_LengthRule == 0 || p.i_LengthRule == 1) {
    omitEnabled_ = false;
  }
  translations_ = p.s_TypeTranslation;
  shownRow_ = 0;
  modified_ = false;
  return translations_[categories_[0]];
}

std::string TypesPageModel::SelectTranslation(int row, const std::string& fieldText) {
  if (shownRow_ >= 0) translations_[categories_[shownRow_]] = fieldText;
  shownRow_ = row;
  return row < 0 ? std::string() : translations_[categories_[row]];
}

void TypesPageModel::ChooseLengthRule(int rule) {
  checkedRule_ = rule;
  omitEnabled_ = rule == 2;
  modified_ = true;
}

void TypesPageModel::SetOmitted(int row, bool selected) {
  omitted_[row] = selected;
  modified_ = true;
}

bool TypesPageModel::Apply(Profile& p, const std::string& fieldText) {
  if (!modified_) return false;
  if (shownRow_ >= 0) translations_[categories_[shownRow_]] = fieldText;
  if (checkedRule_ >= 0) p.i_LengthRule = checkedRule_;
  if (checkedRule_ == 2) {
    p.OmitLengthTypes.clear();
    for (size_t i = 0; i < names_.size(); ++i)
      if (omitted_[i]) p.OmitLengthTypes.push_back(names_[i]);
  }
  p.s_TypeTranslation = translations_;
  modified_ = false;
  p.b_Changed = 1;
  return true;
}

// ---- Functions page.

FunctionsPageModel::FunctionsPageModel() { SortedCategories(names_, categories_); }

FunctionFields FunctionsPageModel::Show(const Profile& p) {
  retrievePrefix_ = p.s_RetrievePrefix;
  retrieveSuffix_ = p.s_RetrieveSuffix;
  scriptPrefix_ = p.s_ScriptPrefix;
  scriptSuffix_ = p.s_ScriptSuffix;
  onlyIfValue_ = p.b_FuncOnlyIfValue;
  shownRow_ = -1;
  modified_ = false;
  return Select(0, {});
}

void FunctionsPageModel::Store(const FunctionFields& f) {
  if (shownRow_ < 0) return;
  const int c = categories_[shownRow_];
  retrievePrefix_[c] = f.retrievePrefix;
  retrieveSuffix_[c] = f.retrieveSuffix;
  scriptPrefix_[c] = f.scriptPrefix;
  scriptSuffix_[c] = f.scriptSuffix;
  onlyIfValue_[c] = f.onlyIfValue;
}

FunctionFields FunctionsPageModel::Select(int row, const FunctionFields& current) {
  Store(current);
  shownRow_ = row;
  if (row < 0) return {};
  const int c = categories_[row];
  return {retrievePrefix_[c], retrieveSuffix_[c], scriptPrefix_[c], scriptSuffix_[c], onlyIfValue_[c]};
}

bool FunctionsPageModel::Apply(Profile& p, const FunctionFields& current) {
  if (!modified_) return false;
  Store(current);
  p.s_RetrievePrefix = retrievePrefix_;
  p.s_RetrieveSuffix = retrieveSuffix_;
  p.s_ScriptPrefix = scriptPrefix_;
  p.s_ScriptSuffix = scriptSuffix_;
  p.b_FuncOnlyIfValue = onlyIfValue_;
  modified_ = false;
  p.b_Changed = 1;
  return true;
}

// ---- Substitutions page.

std::string DeleteAllQuestion(const std::string& find) {
  return "Are you sure you want to replace '" + find + "' with ''? This will actually delete all instances of '" +
         find + "'.";
}

std::string SubstitutionDisplay(const Substitution& s) { return s.find + " => " + s.replace; }

Substitution SplitSubstitutionDisplay(const std::string& entry) {
  const size_t at = entry.find(" => ");
  if (at == std::string::npos) return {entry, {}};
  return {entry.substr(0, at), entry.substr(at + 4)};
}

void SubstitutionsPageModel::Show(const Profile& p) {
  entries_.clear();
  for (const Substitution& s : p.Substitutions) entries_.push_back(SubstitutionDisplay(s));
  std::stable_sort(entries_.begin(), entries_.end(), LessIgnoringCase);
  modified_ = false;
}

bool SubstitutionsPageModel::Add(const std::string& find, const std::string& with, Host& host) {
  if (find.empty()) return false;
  if (with.empty() && host.Message(DeleteAllQuestion(find), Host::Buttons::YesNo) != Host::Answer::Yes) return false;
  if (find == with) {
    host.Message(kMsgSubstituteItself);
    return false;
  }
  const std::string entry = SubstitutionDisplay({find, with});
  if (std::any_of(entries_.begin(), entries_.end(),
                  [&](const std::string& e) { return EqualIgnoringCase(e, entry); })) {
    host.Message(kMsgSubstitutionExists);
    return false;
  }
  modified_ = true;
  entries_.insert(entries_.begin() + SortedPosition(entries_, entry), entry);
  return true;
}

void SubstitutionsPageModel::Remove(int row) {
  if (row < 0 || row >= static_cast<int>(entries_.size())) return;
  entries_.erase(entries_.begin() + row);
  modified_ = true;
}

bool SubstitutionsPageModel::Apply(Profile& p, const std::string& find, const std::string& with, Host& host,
                                   bool& added) {
  added = false;
  if (!find.empty()) {
    added = Add(find, with, host);
    return false;
  }
  if (!modified_) return true;
  p.Substitutions.clear();
  for (const std::string& e : entries_) p.Substitutions.push_back(SplitSubstitutionDisplay(e));
  modified_ = false;
  p.b_Changed = 1;
  return true;
}

}  // namespace mv
