#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/DbConnection.h"

namespace mv {

// How the data phase must read a column for its values to arrive as the engine holds them.
enum class EngineRead {
  AsReported,  // by the type the result column reports
  Text,        // as the engine's own text (time zones, infinity, BC dates, arrays, ...)
  Number,      // as an exact number (PostgreSQL money, without its currency sign)
  Integer,     // as a whole number (MariaDB BIT(n), which the driver hands over as bytes)
};

// A column's type as the engine declares it, and what it corrects in the driver's reading.
struct EngineType {
  std::string declared;   // the engine's own type text, as a script can write it
  bool corrects = false;  // false: the driver's category, size and scale stand
  int sqlType = 0;        // the ODBC type code whose category fits the declared type
  long size = 0;          // length or precision; 0 when the declared type has none
  long scale = 0;
  EngineRead read = EngineRead::AsReported;
  std::string userType;  // an enum or domain the script cannot create; declared is its base
  // The type as a script for the same engine writes it, where `declared` is only near it
  // (MariaDB's TIMESTAMP, TEXT, YEAR, unsigned integers, ...); empty: `declared` serves.
  std::string sameEngineType;
};

// The corrections a declared type text calls for, engine by engine (Other: none). userKind,
// for PostgreSQL, is pg_type.typtype of the column's type ('e' enum, 'd' domain, whose base
// type text is then `declared`) and userType that type's name.
EngineType ParseEngineType(Engine engine, std::string_view declared, char userKind = 'b',
                           std::string_view userType = {});

// The select-list expression that reads the column `ref` (a name as the SELECT writes it) of
// the engine as `read` says.
std::string EngineReadExpression(Engine engine, EngineRead read, const std::string& ref);

// One column of a table as the engine's own catalog declares it.
struct EngineColumn {
  std::string name;
  EngineType type;
};

// Reads the declared types of one table's columns from the engine's own catalog, in one
// statement. Empty (and no error) for an engine the program has no knowledge of; false with
// the driver's text in error when the catalog could not be read.
bool ReadEngineColumns(DbConnection& connection, const std::string& table, std::vector<EngineColumn>& out,
                       std::string& error);

// The same for every table of the connection's schema in one statement, keyed by the table's
// exact name; a table missing from it is read by itself. False (and nothing kept) with the
// driver's text in error when the statement failed.
bool ReadAllEngineColumns(DbConnection& connection, std::unordered_map<std::string, std::vector<EngineColumn>>& out,
                          std::string& error);

// Runs a catalog statement with text parameters and hands each row's values (columns 1..n,
// NULL as empty) on; false with the driver's text in error.
bool RunEngineQuery(DbConnection& connection, const std::string& sql, const std::vector<std::string>& params,
                    int columns, const std::function<void(std::vector<std::string>&)>& row, std::string& error);

// What a table-list entry is to the engine, where the driver lists it as a plain table.
struct EngineTableKind {
  std::string name;
  bool view = false;        // a view or materialized view
  std::string partitionOf;  // the partitioned table it is a partition of
};
// The entries of the connection's table list that are no plain tables (PostgreSQL only: the
// other drivers list views apart). One statement for the whole list.
std::vector<EngineTableKind> ReadEngineTableKinds(DbConnection& connection);

// Runs a catalog query with text parameters and hands each row's values (columns 1..n, NULL
// as empty) to row; false with the driver's text in error when it failed.
bool RunEngineQuery(DbConnection& connection, const std::string& sql, const std::vector<std::string>& params,
                    int columns, const std::function<void(std::vector<std::string>&)>& row, std::string& error);
// The schema (PostgreSQL) or database (MariaDB) the run reads; empty: the session's own.
std::string EngineSchemaName(const DbConnection& connection);

}  // namespace mv
