#pragma once
#include <string>

#include <optional>

#include "db/DbConnection.h"
#include "db/OdbcHandles.h"
#include "db/RowReader.h"

namespace mv {

// One row of the column catalog, as the driver gave it.
struct ColumnRow {
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
  // The table's row count from its statistics row (TYPE SQL_TABLE_STAT, CARDINALITY), as the
  // driver has it at hand (SQL_QUICK: nothing is computed for it), else from the engine's own
  // statistics (PostgreSQL, MariaDB); -1 when neither has one. An estimate, for progress only.
  long long TableCardinality(const std::string& table);
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
  long long EngineRowEstimate(const std::string& table);
  Fetch FetchRow();
  // The error the connection has just read, as this reader's.
  void TakeError();

  DbConnection& c_;
  Statement st_;
  std::optional<RowReader> reader_;  // of st_, once open
  DriverMessage error_;
  int valueFailures_ = 0;
  std::string a_, b_, c2_, d_, e_, f_;
};

}  // namespace mv
