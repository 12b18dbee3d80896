#pragma once
#include <string>
#include <vector>

#include "db/DbConnection.h"

namespace mv {

// A key or constraint of a table as the engine declares it.
struct EngineKey {
  enum class Kind { Primary, Unique, Check, Foreign, Exclusion };
  Kind kind = Kind::Primary;
  std::string table;
  std::string name;  // the constraint's own name; empty when the engine gives it none
  std::vector<std::string> columns;
  // A check's condition, in parentheses, as the engine writes it; an exclusion constraint's
  // whole definition (EXCLUDE USING ...).
  std::string check;
  std::string refTable;
  std::vector<std::string> refColumns;
  // The actions in SQL words ("CASCADE", "SET NULL", "SET DEFAULT", "RESTRICT"); empty: NO ACTION.
  std::string onDelete, onUpdate;
  bool deferrable = false, initiallyDeferred = false;
  // The index that carries a primary, unique or exclusion key: the index phase passes over it.
  std::string index;
};

// How a column numbers new rows by itself.
enum class AutoNumber {
  None,
  Identity,        // an identity (BY DEFAULT), AUTO_INCREMENT or SQLite AUTOINCREMENT column
  IdentityAlways,  // PostgreSQL GENERATED ALWAYS AS IDENTITY
  Serial,          // a default that takes the next value of a sequence the column owns
  Rowid,           // SQLite INTEGER PRIMARY KEY: the next row gets the largest id plus one
};

// What the engine declares of a column beyond its type.
struct EngineColumnFacts {
  std::string table, column;
  int notNull = -1;          // 1 NOT NULL, 0 nullable, -1 not known
  std::string defaultValue;  // the default's expression as the engine writes it; empty: none
  std::string generated;     // a generated column's expression; empty: none
  bool generatedStored = false;
  // The declared type of a column the driver's catalog does not list (SQLite's generated ones).
  std::string hiddenType;
  std::string onUpdate;  // MariaDB ON UPDATE expression
  AutoNumber autoNumber = AutoNumber::None;
  // The value the next new row gets (from the sequence, AUTO_INCREMENT or sqlite_sequence);
  // 0 when not known.
  long long nextValue = 0;
};

// A PostgreSQL sequence that no column owns.
struct EngineSequence {
  std::string name, dataType;
  long long start = 1, increment = 1, minValue = 1, maxValue = 0;
  bool cycle = false;
  long long nextValue = 1;  // the value nextval gives next
};

// An index as the engine declares it (a key's own index too: the index phase passes over those).
struct EngineIndex {
  struct Part {
    std::string column;      // the column; empty for an expression
    std::string expression;  // an expression's text as the engine writes it
    bool descending = false;
    int prefix = 0;       // MariaDB: the leading characters indexed; 0: the whole value
    std::string opclass;  // PostgreSQL: an operator class that is not the type's default
    // PostgreSQL: where NULLs sort when that is not its default for the order (last ascending,
    // first descending); 0: the default.
    enum Nulls { kNullsDefault, kNullsFirst, kNullsLast } nulls = kNullsDefault;
  };
  std::string table, name;
  bool unique = false;
  // The access method in the engine's words; empty for the engine's plain B-tree.
  std::string method;
  std::vector<Part> parts;
  std::string where;  // a partial index's condition; empty: every row
  // PostgreSQL: the columns the index carries beside its keys (INCLUDE).
  std::vector<std::string> include;
};

// Everything above for every table of the connection's schema, each catalog read once.
struct EngineSchema {
  std::vector<EngineKey> keys;
  std::vector<EngineColumnFacts> columns;
  std::vector<EngineSequence> sequences;
  std::vector<EngineIndex> indexes;
};

// Reads the keys, column facts, indexes and sequences from the engine's own catalog (SQLite, PostgreSQL,
// MariaDB), one statement per catalog for every table; empty for any other source. False with
// the driver's text in error when a catalog could not be read.
bool ReadEngineSchema(DbConnection& connection, EngineSchema& out, std::string& error);

// What a driver's catalog could not say: for one table, or (table empty) for every table.
struct CatalogGap {
  std::string what, table, reason;
};

// For any other source: the primary keys (SQLPrimaryKeys), foreign keys (SQLForeignKeys),
// defaults and nullability (SQLColumns) of the given tables, one call per table and catalog.
// The primary key's index is found in SQLStatistics, so the index phase passes over it. A
// catalog function the driver does not support gives nothing, named once in gaps; a call
// that fails names its table.
void ReadDriverSchema(DbConnection& connection, const std::vector<std::string>& tables, EngineSchema& out,
                      std::vector<CatalogGap>& gaps);

}  // namespace mv
