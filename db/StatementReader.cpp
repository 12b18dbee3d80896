#include "db/DbConnection.h"

#include <cstring>

#include "profiles/Profile.h"
#include "run/DataScripter.h"
#include "run/RunOwner.h"

namespace mv {

namespace {
constexpr SQLLEN kChunk = 1 << 16;

// Character, binary, date and time codes are written as strings; everything else as a number.
bool IsStringType(SQLLEN type) {
  switch (type) {
    case -10: case -9: case -8: case -4: case -3: case -2: case -1: case 1: case 9: case 10: case 11: case 12:
      return true;
    default:
      return false;
  }
}
}  // namespace

bool DbConnection::GetValue(SQLHSTMT stmt, SQLUSMALLINT col, std::string& out) {
  out.clear();
  // The value is read in pieces until the driver has given all of it: nothing is ever cut.
  if (valueBuf_.size() < static_cast<size_t>(kChunk)) valueBuf_.resize(kChunk);
  for (;;) {
    SQLLEN ind = 0;
    SQLRETURN rc = SQLGetData(stmt, col, SQL_C_CHAR, valueBuf_.data(), kChunk, &ind);
    if (rc == SQL_NO_DATA) return true;
    if (!Succeeded(rc)) {
      ++getDataFailures;
      lastGetDataError = [&] {
        std::string saved = lastError;
        FetchErrorText(stmt, false);
        std::string text = lastError;
        lastError = saved;
        return text.empty() ? std::string("SQLGetData failed") : text;
      }();
      out.clear();
      return true;
    }
    if (ind == SQL_NULL_DATA) return false;
    if (rc == SQL_SUCCESS) {
      size_t n = ind >= 0 && ind < kChunk ? static_cast<size_t>(ind) : strnlen(valueBuf_.data(), kChunk);
      out.append(valueBuf_.data(), n);
      return true;
    }
    // SQL_SUCCESS_WITH_INFO: a full buffer less its terminator, more to come.
    if (ind > 0 && ind != SQL_NO_TOTAL && static_cast<size_t>(ind) < kChunk) {
      out.append(valueBuf_.data(), static_cast<size_t>(ind));
      return true;
    }
    if (ind > 0 && ind != SQL_NO_TOTAL && out.empty()) out.reserve(static_cast<size_t>(ind));
    out.append(valueBuf_.data(), static_cast<size_t>(kChunk - 1));
  }
}

std::string DbConnection::ColAttributeText(SQLHSTMT stmt, SQLUSMALLINT col, SQLUSMALLINT field) {
  std::vector<char> buf(1024, '\0');
  SQLSMALLINT len = 0;
  SQLRETURN rc = SQLColAttribute(stmt, col, field, buf.data(), static_cast<SQLSMALLINT>(buf.size()), &len, nullptr);
  if (!Succeeded(rc)) return {};
  if (len >= static_cast<SQLSMALLINT>(buf.size())) {
    buf.assign(static_cast<size_t>(len) + 1, '\0');
    rc = SQLColAttribute(stmt, col, field, buf.data(), static_cast<SQLSMALLINT>(buf.size()), &len, nullptr);
    if (!Succeeded(rc)) return {};
  }
  return std::string(buf.data());
}

SQLLEN DbConnection::ColAttributeNumber(SQLHSTMT stmt, SQLUSMALLINT col, SQLUSMALLINT field) {
  SQLLEN value = 0;
  SQLColAttribute(stmt, col, field, nullptr, 0, nullptr, &value);
  return value;
}

int DbConnection::ReadRows(SQLHSTMT stmt, std::string& row, const RowLists& lists, std::string* tableName,
                           std::string* columnList, const std::string& sql) {
  rowHadColumns = 0;
  SQLSMALLINT n = 0;
  SQLNumResultCols(stmt, &n);
  SQLRETURN rc = SQLFetch(stmt);
  lastFetchResult = rc;
  // A row fetched with a warning is still a row: ending there would drop the rest silently.
  if (!Succeeded(rc)) return 0;

  const Profile& w = view->working;
  const RunOptions& o = view->opts;
  const bool wantTable = tableName && *tableName == "-oo";
  const bool wantColumns = columnList && *columnList == "-oo";
  const bool withLists = lists.typeFlags && lists.prefixes && lists.suffixes;
  std::string names;
  const char* separator = "";
  static const std::string kEmpty;

  row.clear();
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(n); ++i) {
    const bool isNull = !GetValue(stmt, i, value_);
    const std::string* prefix = &kEmpty;
    const std::string* suffix = &kEmpty;
    char flag = 'T';
    if (withLists) {
      const size_t k = i - 1u;
      if (k < lists.prefixes->size()) prefix = &(*lists.prefixes)[k];
      if (k < lists.suffixes->size()) suffix = &(*lists.suffixes)[k];
      flag = k < lists.typeFlags->size() ? (*lists.typeFlags)[k] : 'F';
    } else {
      if (i == 1 && wantTable) {
        std::string t = ColAttributeText(stmt, 1, SQL_COLUMN_TABLE_NAME);
        if (t.empty()) t = ColAttributeText(stmt, 1, SQL_DESC_BASE_TABLE_NAME);
        if (t.empty()) t = TableNameAfterFrom(sql);
        *tableName = t;
      }
      if (wantColumns) {
        names += separator;
        names += ColAttributeText(stmt, i, SQL_DESC_NAME);
        separator = ", ";
      }
      flag = IsStringType(ColAttributeNumber(stmt, i, SQL_DESC_TYPE)) ? 'F' : 'T';
    }
    FormatValue(w, o, value_, flag, isNull, formatted_, scratch_);
    if (formatted_.empty() || formatted_ == w.s_NullString || formatted_ == w.s_EmptyString ||
        formatted_ == w.s_NumericEmpty) {
      int category = CategoryOf(static_cast<int>(ColAttributeNumber(stmt, i, SQL_DESC_TYPE)));
      if (w.b_FuncOnlyIfValue[category]) prefix = suffix = &kEmpty;
    }
    if (i > 1) row += o.b_DataCSV ? " \t " : ", ";
    row += *prefix;
    row += formatted_;
    row += *suffix;
    rowHadColumns = 1;
  }
  if (wantColumns) *columnList = names;
  return 1;
}

std::string DbConnection::TableNameAfterFrom(const std::string& sql) {
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
