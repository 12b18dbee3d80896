#pragma once
#include <array>
#include <string>
#include <vector>

#include "profiles/TypeCategory.h"

namespace mv {

// 0 upper case, 1 lower case, anything else untouched.
using CaseRule = int;

// Applies a case rule to ASCII letters only, so multi-byte text is never damaged.
std::string ApplyCase(std::string text, CaseRule rule);
void ApplyCaseInPlace(std::string& text, CaseRule rule);

struct Substitution {
  std::string find;
  std::string replace;
  bool operator==(const Substitution&) const = default;
};

using PerType = std::array<std::string, kTypeCategoryCount>;

// One SQL dialect. A new Profile has every string empty, the lists empty and every integer 0.
struct Profile {
  std::string s_Name;
  int b_Changed = 0;
  std::string s_Remarks;
  std::string s_Execute;
  int b_ExecuteSameLine = 0;
  std::string s_LineBreak;
  std::string s_DropTable;
  std::string s_CreateTable;
  std::string s_Null;
  std::string s_NotNull;
  int b_NullBeforeType = 0;
  CaseRule i_TableNameCase = 0;
  CaseRule i_ColumnNameCase = 0;
  CaseRule i_DataTypeCase = 0;
  std::string s_Delete;
  std::string s_InsertInto;
  std::string s_Values;
  std::string s_NumericEmpty;
  std::string s_NullString;
  std::string s_EmptyString;
  std::string s_StringDelimiter;
  std::string s_Commit;
  int i_CommitLines = 0;
  int b_CommitEachTable = 0;
  int b_CommitNeedsExecute = 0;
  std::string s_DropIndex;
  int b_DropIndexTableName = 0;
  std::string s_CreateUniqueIndex;
  std::string s_CreateIndex;
  std::string s_OnTable;
  CaseRule i_IndexNameCase = 0;
  CaseRule i_IndexColumnCase = 0;
  int i_LengthRule = 0;
  std::vector<std::string> OmitLengthTypes;
  PerType s_TypeTranslation;
  PerType s_RetrievePrefix;
  PerType s_RetrieveSuffix;
  PerType s_ScriptPrefix;
  PerType s_ScriptSuffix;
  std::array<int, kTypeCategoryCount> b_FuncOnlyIfValue{};
  std::vector<Substitution> Substitutions;
  // Written bare for an infinite value of a number column, after a minus sign for a negative
  // one (SQLite reads an overflowing literal as infinity); empty: written as a string, the
  // spelling most engines parse.
  std::string s_Infinity;
  // How a text holding a carriage return is written, %s standing for its bytes in hexadecimal
  // (the sqlite3 tool drops a CR before a line feed inside a string); empty: as other texts.
  std::string s_HexText;
  // The client's command that runs another script file, %s standing for its name (a loader of
  // one file per table names each with it); empty: the loader can only list the files.
  std::string s_IncludeScript;
  // Keys, constraints, defaults and identities: scripted only when s_PrimaryKey is set (and
  // the run option allows), so a profile without them writes what it always wrote.
  std::string s_TargetEngine;   // the engine the script is for: same-engine objects verbatim
  std::string s_PrimaryKey;     // PRIMARY KEY
  std::string s_Unique;         // UNIQUE
  std::string s_Check;          // CHECK
  std::string s_Default;        // DEFAULT
  std::string s_Constraint;     // CONSTRAINT, before a constraint's name; empty: no names
  std::string s_ForeignKey;     // FOREIGN KEY
  std::string s_References;     // REFERENCES
  std::string s_Deferrable;     // DEFERRABLE; empty: the target has no deferred keys
  std::string s_AddForeignKey;  // ALTER TABLE %t ADD: keys after the data; empty: in CREATE TABLE
  std::string s_AutoNumber;     // after an auto-numbering column's type (AUTO_INCREMENT, ...)
  std::string s_RowidKey;       // the type of an integer key that numbers rows (SQLite's rowid)
  // The next value of an auto-numbering column (%t table, %T its name as a text, %Q the table
  // as written as a text, %c column, %C its name as a text, %n next value, %m one less), several
  // statements apart by %;
  std::string s_SetNextValue;
  std::string s_CurrentTimestamp;  // the current time as a default
  std::string s_OnUpdate;          // ON UPDATE, after a column's default; empty: none
  // The target's quote characters for special names; set, they win over the settings'
  // special-name brackets (the source's quote means nothing to another engine).
  std::string s_QuoteOpen;
  std::string s_QuoteClose;
  // The target's reserved words, blank-separated: a name that is one is quoted, whatever the
  // source's rules say of it.
  std::string s_ReservedWords;
  // s_TargetEngine (above) also decides the views, types and comments: those of a source of
  // that engine are copied as the source declares them; empty: none are scripted.
  // Views: the statements' leading words, the name and "AS" and the view's SELECT after them.
  std::string s_CreateView;
  std::string s_DropView;
  std::string s_CreateMaterializedView;
  std::string s_DropMaterializedView;
  // User-defined types created before the tables: %n the type's name, %s its labels or base
  // type as the source declares them.
  std::string s_CreateEnumType;
  std::string s_CreateDomain;
  std::string s_DropType;
  // Routines and triggers whose bodies hold the statement terminator: the client's command
  // that changes it ("DELIMITER") and the terminator used around them (";;"). Empty: none.
  std::string s_DelimiterCommand;
  std::string s_BodyDelimiter;
  // Comments: %t the table, %c the column, %d the column's definition as the CREATE TABLE
  // wrote it, %s the text as a string literal.
  std::string s_TableComment;
  std::string s_ColumnComment;
  // Loading: the command that opens a transaction, written before a table's rows and after
  // every periodic COMMIT (needs s_Commit); empty: none.
  std::string s_BeginTransaction;
  // Written once before the structure of a run that scripts data, and once after its last
  // statement (also before a stop note), to switch off and back on what slows a bulk load.
  std::string s_LoadPreamble;
  std::string s_LoadPostamble;
  // The size in bytes an INSERT of several rows stays under; a row alone larger goes in an
  // INSERT of its own. 0: the run's rows per INSERT decide alone.
  int i_InsertBytes = 0;
  // The statement that starts rows in the engine's own copy format, %t the table and %c the
  // column list ("COPY %t ( %c ) FROM stdin;"); empty: the profile has none.
  std::string s_CopyFrom;
  // Rows are written in that format unless the run asks for INSERTs.
  int b_DataCopy = 0;
  // Index details, read from the engine's catalog with keys and constraints on; each empty: the
  // target takes none (named in a remark, or a plain index where the meaning is kept).
  std::string s_IndexDescending;    // DESC after a column
  std::string s_IndexExpression;    // an expression entry, %s the expression: (%s)
  std::string s_IndexWhere;         // WHERE, before a partial index's condition
  std::string s_IndexNulls;         // NULLS, before FIRST or LAST after a column
  std::string s_IndexInclude;       // INCLUDE, before the columns an index carries beside its keys
  std::string s_IndexMethods;       // the access methods of the same engine it takes, blank-separated
  std::string s_IndexUsing;         // after the table name, %m the method: USING %m
  std::string s_CreateMethodIndex;  // instead of CREATE INDEX, %m the method: CREATE %m INDEX
  std::string s_IndexPrefix;        // a column's leading characters, %c the column, %n the count
  // 1: index names are the schema's, not the table's: a name met again is renamed.
  int b_IndexNamesPerSchema = 0;
  // A generated column that the target computes, %s the expression; empty: a plain column with
  // the source's values. Virtual empty: a virtual column is created stored.
  std::string s_GeneratedStored;
  std::string s_GeneratedVirtual;
  // 1: NULL or NOT NULL may follow a generated column's expression.
  int b_GeneratedNull = 0;
  // A sequence no column owns, created before the tables for a source of the same engine with
  // its next value: %n the name, %d its type, %i increment, %l and %h its bounds, %s its start,
  // %c CYCLE or NO CYCLE; %Q the name as a text and %v the next value for the setting. Empty:
  // the sequence is named in a remark.
  std::string s_DropSequence;
  std::string s_CreateSequence;
  std::string s_SetSequence;

  bool operator==(const Profile&) const = default;
};

// Sets fields 3 to 32 to the built-in defaults (the working copy at start-up).
void SetBuiltInDefaults(Profile& p);

// The profile named "Default": built-in defaults, the six rules taken from the working copy,
// and one substitution (apostrophe to two apostrophes) so that values cannot break the script.
Profile MakeDefaultProfile(const Profile& working);

// Copies fields 3 to 40 (everything but the name and the changed mark).
void CopyProfileSettings(const Profile& from, Profile& to);

// Profiles in the order they were found; names compare byte for byte.
class ProfileList {
 public:
  Profile* FindProfile(const std::string& name);
  const Profile* FindProfile(const std::string& name) const;
  Profile& Append(Profile p);
  bool Remove(const std::string& name);
  bool empty() const { return items_.empty(); }
  size_t size() const { return items_.size(); }
  Profile& operator[](size_t i) { return items_[i]; }
  const Profile& operator[](size_t i) const { return items_[i]; }
  std::vector<Profile>::iterator begin() { return items_.begin(); }
  std::vector<Profile>::iterator end() { return items_.end(); }
  std::vector<Profile>::const_iterator begin() const { return items_.begin(); }
  std::vector<Profile>::const_iterator end() const { return items_.end(); }
  void clear() { items_.clear(); }

 private:
  std::vector<Profile> items_;
};

// Selects the profile named workingName (else the first, whose name then replaces workingName)
// and copies it into the working copy. The list must not be empty.
void ApplyWorkingProfile(const ProfileList& list, std::string& workingName, Profile& working);

}  // namespace mv
