#include "db/RowReader.h"

#include <cstring>
#include <vector>

#include "db/DbConnection.h"
#include "db/OdbcCall.h"
#include "profiles/Profile.h"

namespace mv {

namespace {
constexpr SQLLEN kChunk = 1 << 16;
constexpr SQLLEN kFirstPiece = 512;
}  // namespace

bool DbConnection::GetValue(SQLHSTMT stmt, SQLUSMALLINT col, std::string& out, bool* failed) {
  out.clear();
  if (failed) *failed = false;
  if (valueBuf_.size() < static_cast<size_t>(kChunk)) valueBuf_.resize(kChunk);
  // Most values are short, and some drivers clear the whole buffer they are given on every
  // call: ask for a small first piece, then large ones. The value is read in pieces until the
  // driver has given all of it, so nothing is ever cut.
  SQLLEN piece = kFirstPiece;
  for (;;) {
    SQLLEN ind = 0;
    SQLRETURN rc = MV_ODBC(SQLGetData, stmt, col, SQL_C_CHAR, valueBuf_.data(), piece, &ind);
    if (rc == SQL_NO_DATA) return true;
    if (!Succeeded(rc)) {
      if (failed) *failed = true;
      const std::string saved = lastError, savedState = lastSqlState;
      FetchErrorText(stmt, false);
      lastGetDataError = lastError.empty() ? std::string("SQLGetData failed") : lastError;
      lastGetDataState = lastSqlState;
      lastError = saved;
      lastSqlState = savedState;
      out.clear();
      return true;
    }
    if (ind == SQL_NULL_DATA) return false;
    if (rc == SQL_SUCCESS) {
      size_t n =
          ind >= 0 && ind < piece ? static_cast<size_t>(ind) : strnlen(valueBuf_.data(), static_cast<size_t>(piece));
      out.append(valueBuf_.data(), n);
      return true;
    }
    // SQL_SUCCESS_WITH_INFO: either a warning about a value that fit, or a full buffer less
    // its terminator with more to come.
    if (ind >= 0 && ind != SQL_NO_TOTAL && ind < piece) {
      out.append(valueBuf_.data(), static_cast<size_t>(ind));
      return true;
    }
    if (ind > 0 && ind != SQL_NO_TOTAL && out.empty()) out.reserve(static_cast<size_t>(ind));
    out.append(valueBuf_.data(), static_cast<size_t>(piece - 1));
    piece = kChunk;
  }
}

int RowReader::ColumnCount() {
  SQLSMALLINT n = 0;
  MV_ODBC(SQLNumResultCols, stmt_, &n);
  return n;
}

bool RowReader::Fetch() {
  lastFetch_ = MV_ODBC(SQLFetch, stmt_);
  return Succeeded(lastFetch_);
}

bool RowReader::Value(SQLUSMALLINT col, std::string& out) {
  bool failed = false;
  const bool notNull = c_.GetValue(stmt_, col, out, &failed);
  if (failed) {
    ++valueFailures_;
    lastValueError_ = c_.lastGetDataError;
  }
  return notNull;
}

std::string RowReader::ColumnText(SQLUSMALLINT col, SQLUSMALLINT field) {
  std::vector<char> buf(1024, '\0');
  SQLSMALLINT len = 0;
  SQLRETURN rc =
      MV_ODBC(SQLColAttribute, stmt_, col, field, buf.data(), static_cast<SQLSMALLINT>(buf.size()), &len, nullptr);
  if (!Succeeded(rc)) return {};
  if (len >= static_cast<SQLSMALLINT>(buf.size())) {
    buf.assign(static_cast<size_t>(len) + 1, '\0');
    rc = MV_ODBC(SQLColAttribute, stmt_, col, field, buf.data(), static_cast<SQLSMALLINT>(buf.size()), &len, nullptr);
    if (!Succeeded(rc)) return {};
  }
  return std::string(buf.data());
}

SQLLEN RowReader::ColumnNumber(SQLUSMALLINT col, SQLUSMALLINT field) {
  SQLLEN value = 0;
  MV_ODBC(SQLColAttribute, stmt_, col, field, nullptr, 0, nullptr, &value);
  return value;
}

std::string RowReader::ResultTableName(const std::string& sql) {
  std::string t = ColumnText(1, SQL_COLUMN_TABLE_NAME);
  if (t.empty()) t = ColumnText(1, SQL_DESC_BASE_TABLE_NAME);
  if (t.empty()) t = TableNameAfterFrom(sql);
  return t;
}

std::string RowReader::TableNameAfterFrom(const std::string& sql) {
  std::string upper = ApplyCase(sql, 0);
  size_t p = upper.find("FROM");
  if (p == std::string::npos || p == 0) return {};
  std::string rest = sql.substr(p + 4);
  size_t b = rest.find_first_not_of(" \t\r\n\f\v");
  if (b == std::string::npos) return {};
  rest = rest.substr(b);
  size_t end = rest.find_first_of(" ,\t(;\n", 1);
  return end == std::string::npos ? rest : rest.substr(0, end);
}

}  // namespace mv
