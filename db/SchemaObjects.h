#pragma once
#include <string>
#include <vector>

namespace mv {

class DbConnection;

// A view as the engine keeps it.
struct ViewDef {
  std::string name;
  bool materialized = false;
  std::string select;       // its SELECT, in the engine's own SQL
  std::string statement;    // the whole CREATE statement where the engine keeps one (SQLite), else empty
  std::string checkOption;  // "LOCAL" or "CASCADED" when the view has one
};

// An enum ('e') or domain ('d') type of the schema.
struct UserTypeDef {
  std::string name;
  char kind = 'e';
  std::string definition;  // enum: its labels as literals, comma-separated; domain: base type and constraints
  std::string reference;   // the type as a column's declared type names it
};

// A trigger or a stored routine (function, procedure), as the engine writes its CREATE statement.
struct CodeObject {
  std::string name;
  std::string table;      // a trigger's table; empty for a routine
  std::string statement;  // empty when the engine hands none over (named in a remark)
};

// A comment on a table (column empty) or a column.
struct CommentDef {
  std::string table, column, text;
};

// What the schema holds beside its tables' columns, rows and indexes, each catalog read in one
// statement for the whole schema. errors holds the text of each catalog that failed.
struct SchemaObjects {
  std::vector<ViewDef> views;
  std::vector<UserTypeDef> types;
  std::vector<CodeObject> routines;
  std::vector<CodeObject> triggers;
  std::vector<CommentDef> comments;
  std::vector<std::string> errors;
};

// Reads them from the engine's own catalog (SQLite, PostgreSQL, MariaDB); empty for any other.
SchemaObjects ReadSchemaObjects(DbConnection& connection);

// Removes every `schema`. qualifier MariaDB writes before the names of a view's SELECT, so the
// SELECT reads the database the script is loaded into.
std::string WithoutSchemaQualifier(const std::string& select, const std::string& schema);

}  // namespace mv
