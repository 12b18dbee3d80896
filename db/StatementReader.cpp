#include "db/DbConnection.h"

#include <cstring>

#include "profiles/Profile.h"
#include "run/DataScripter.h"
#include "run/RunOwner.h"

namespace mv {

namespace {
constexpr SQLLEN kChunk = 1 << 16;
constexpr SQLLEN kFirstPiece = 512;

// Character, binary, date and time codes are written as strings; everything else as a number.
bool IsStringType(SQLLEN type) {
  switch (type) {
    case -10:
    case -9:
    case -8:
    case -4:
    case -3:
    case -2:
    case -1:
    case 1:
    case 9:
    case 10:
    case 11:
    case 12:
      return true;
    default:
      return false;
  }
}
}  // namespace

bool DbConnection::GetValue(SQLHSTMT stmt, SQLUSMALLINT col, std::string& out) {
  out.clear();
  if (valueBuf_.size() < static_cast<size_t>(kChunk)) valueBuf_.resize(kChunk);
  // Most values are short, and some drivers clear the whole buffer they are given on every
  // call: ask for a small first piece, then large ones. The value is read in pieces until the
  // driver has given all of it, so nothing is ever cut.
  SQLLEN piece = kFirstPiece;
  for (;;) {
    SQLLEN ind = 0;
    SQLRETURN rc = SQLGetData(stmt, col, SQL_C_CHAR, valueBuf_.data(), piece, &ind);
    if (rc == SQL_NO_DATA) return true;
    if (!Succeeded(rc)) {
      ++getDataFailures;
      std::string saved = lastError;
      FetchErrorText(stmt, false);
      lastGetDataError = lastError.empty() ? std::string("SQLGetData failed") : lastError;
      lastError = saved;
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
  const bool withLists = lists.typeFlags && lists.prefixes && lists.suffixes;
  SQLSMALLINT n = 0;
  // The data phase selects exactly its kept columns, so it knows the count without asking.
  if (withLists)
    n = static_cast<SQLSMALLINT>(lists.typeFlags->size());
  else
    SQLNumResultCols(stmt, &n);
  SQLRETURN rc = SQLFetch(stmt);
  lastFetchResult = rc;
  // A row fetched with a warning is still a row: ending there would drop the rest silently.
  if (!Succeeded(rc)) return 0;

  const Profile& w = view->working;
  const RunOptions& o = view->opts;
  const bool wantTable = tableName && *tableName == "-oo";
  const bool wantColumns = columnList && *columnList == "-oo";
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
      flag = (*lists.typeFlags)[k];
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
    if (i > 1) row += o.b_DataCSV ? " \t " : ", ";
    // The value is formatted straight into the row; a wrapper, when there is one, goes around it.
    const size_t start = row.size();
    FormatValue(w, o, value_, flag, isNull, row, scratch_);
    if (!prefix->empty() || !suffix->empty()) {
      const std::string_view formatted(row.data() + start, row.size() - start);
      bool bare = false;
      if (formatted.empty() || formatted == w.s_NullString || formatted == w.s_EmptyString ||
          formatted == w.s_NumericEmpty) {
        int category = CategoryOf(static_cast<int>(ColAttributeNumber(stmt, i, SQL_DESC_TYPE)));
        bare = w.b_FuncOnlyIfValue[category] != 0;
      }
      if (!bare) {
        row.insert(start, *prefix);
        row += *suffix;
      }
    }
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
