#pragma once
#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <string>
#include <vector>

namespace mv::bench {

// A bare ODBC connection of its own, independent of the core: the baseline the data phase is
// measured against, and the way the SQLite table is generated. Every failure throws
// std::runtime_error with the driver's diagnostics.
class OdbcSession {
 public:
  // What a plain fetch read, so a run that reads nothing cannot pass for a fast one.
  static constexpr size_t kDefaultBuffer = 1 << 16;

  struct FetchTotals {
    long rows = 0;
    long values = 0;
    long nulls = 0;
    long long bytes = 0;
  };

  // bufferBytes: the size of the one SQLGetData buffer (a piece of a longer value). Some
  // drivers fill the whole buffer on every call, so its size is part of what is measured.
  explicit OdbcSession(size_t bufferBytes = kDefaultBuffer);
  ~OdbcSession();
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;

  void Connect(const std::string& connectString);
  // Runs one statement and discards any result.
  void Exec(const std::string& sql);
  // The baseline: SQLExecDirect, then SQLFetch and SQLGetData(SQL_C_CHAR) of every column of
  // every row into one reused buffer, nothing else.
  FetchTotals PlainFetch(const std::string& select);

 private:
  std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) const;
  [[noreturn]] void Fail(const std::string& what, SQLSMALLINT type, SQLHANDLE handle) const;

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  std::vector<char> buffer_;
};

}  // namespace mv::bench
