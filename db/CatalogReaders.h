#pragma once
#include <string>

#include <optional>
#include <unordered_map>

#include "db/DbConnection.h"
#include "db/OdbcHandles.h"
#include "db/RowReader.h"

namespace mv {

// One row of the column catalog, as the driver gave it.
struct ColumnRow {
  std::string table;     // TABLE_NAME, read only when every table's columns come in one call
  std::string name;      // COLUMN_NAME
  int sqlType = 0;       // DATA_TYPE
  std::string typeName;  // TYPE_NAME
  long size = 0;         // COLUMN_SIZE (0 when NULL)
  long scale = 0;        // DECIMAL_DIGITS (0 when NULL)
  long nullable = -1;    // NULLABLE (-1 when missing)
};

// One row of the statistics catalog.
struct IndexRow {
  bool nonUnique = false;  // NON_UNIQUE is 1
  std::string indexName;   // INDEX_NAME
  int type = 0;            // TYPE (SQL_TABLE_STAT for the table's own statistics row)
  std::string columnName;  // COLUMN_NAME (or the expression an index is built on)
};

// Reads a catalog of one table row by row. Open starts the catalog call with the owner
// filter, retrying once without it; Next reads a row, every value through SQLGetData so no
// name is ever cut.
class CatalogReader {
 public:
  enum class Fetch { Row, End, Error };

  explicit CatalogReader(DbConnection& connection) : c_(connection) {}
  // false when the statement could not be allocated or the call failed; error() then holds
  // the driver's text.
  bool OpenColumns(const std::string& table);
  bool OpenStatistics(const std::string& table);
  // The column catalog of every table the owner filter takes, in one call.
  bool OpenAllColumns();
  // The table's row count from its statistics row (TYPE SQL_TABLE_STAT, CARDINALITY), as the
  // driver has it at hand (SQL_QUICK: nothing is computed for it), else from the engine's own
  // statistics (PostgreSQL, MariaDB); -1 when neither has one. An estimate, for progress only.
  long long TableCardinality(const std::string& table);
  // The same estimate for every table of the connection's schema in one statement, keyed by
  // the table's exact name, for the engines whose drivers keep no statistics row (SQLite,
  // PostgreSQL, MariaDB: a table missing from it has no estimate). False for any other source
  // or when the statement failed; the tables are then asked one by one.
  bool AllTableCardinalities(std::unordered_map<std::string, long long>& out);
  // A row fetched with a warning still counts: dropping it would lose a column. Error: the
  // fetch failed with a diagnostic (error() says it); a failure without one reads as End.
  Fetch Next(ColumnRow& row);
  Fetch Next(IndexRow& row);
  void Close() {
    reader_.reset();
    st_.Drop();
  }
  const DriverMessage& error() const { return error_; }
  // Values whose SQLGetData failed, since Open.
  int valueFailures() const { return valueFailures_; }

 private:
  bool Open(const std::string& table, bool statistics, SQLUSMALLINT accuracy = SQL_ENSURE);
  // The engine's own statistics: one table's, or every table's (keyed by name) when table is empty.
  std::string EngineEstimateSql(const std::string& table);
  long long EngineRowEstimate(const std::string& table);
  Fetch FetchRow();
  // The error the connection has just read, as this reader's.
  void TakeError();

  DbConnection& c_;
  Statement st_;
  std::optional<RowReader> reader_;  // of st_, once open
  DriverMessage error_;
  int valueFailures_ = 0;
  bool allTables_ = false;  // the open column catalog is every table's
  std::string a_, b_, c2_, d_, e_, f_;
};

}  // namespace mv
