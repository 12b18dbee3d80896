#pragma once
#include <string>

#include "db/OdbcHandles.h"

namespace mv {

class DbConnection;

// Reads the rows of an executed statement: values whole, as text, into buffers the caller
// reuses from row to row, with their NULL flag; the result columns' names and types.
class RowReader {
 public:
  RowReader(DbConnection& connection, const Statement& stmt) : c_(connection), stmt_(stmt.get()) {}

  int ColumnCount();
  // The next row; a row fetched with a warning is still a row (ending there would drop the
  // rest silently). false at the end or on a fetch error (FetchFailed tells which).
  bool Fetch();
  bool FetchFailed() const { return lastFetch_ != SQL_NO_DATA && !Succeeded(lastFetch_); }
  // Column col (1-based) into out; false for NULL. A value whose SQLGetData fails reads as
  // empty and is counted, with the driver's message kept.
  bool Value(SQLUSMALLINT col, std::string& out);
  int valueFailures() const { return valueFailures_; }
  const std::string& lastValueError() const { return lastValueError_; }

  std::string ColumnText(SQLUSMALLINT col, SQLUSMALLINT field);
  SQLLEN ColumnNumber(SQLUSMALLINT col, SQLUSMALLINT field);
  // The table a free-form statement reads: the driver's name for the first column, else its
  // base table, else the name after FROM.
  std::string ResultTableName(const std::string& sql);
  static std::string TableNameAfterFrom(const std::string& sql);

 private:
  DbConnection& c_;
  SQLHSTMT stmt_;
  SQLRETURN lastFetch_ = SQL_SUCCESS;
  int valueFailures_ = 0;
  std::string lastValueError_;
};

}  // namespace mv
