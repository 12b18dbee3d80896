#include "db/RowReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "db/Diagnostics.h"
#include "db/OdbcCall.h"
#include "profiles/Profile.h"

namespace mv {

namespace {
constexpr SQLLEN kChunk = 1 << 16;
constexpr SQLLEN kFirstPiece = 512;
// The largest piece of a long value read at once: a driver's length is not trusted with more.
constexpr SQLLEN kMaxPiece = SQLLEN{1} << 28;
// A block's arrays together stay under this, however many columns grow.
constexpr SQLLEN kMaxBlockBytes = SQLLEN{4} << 20;
constexpr SQLLEN kFirstTextWidth = 256;
// What Bound says of a value in a row the driver marked with an error: nothing is known of it.
constexpr SQLLEN kRowMarked = SQL_NULL_DATA - 1000;
}  // namespace

[[gnu::hot]] bool RowReader::ReadText(SQLUSMALLINT col, std::string_view& view, std::string& spill, bool& failed) {
  failed = false;
  if (!block_) return ReadPieces(col, view, spill, failed);
  SQLLEN ind = 0;
  if (const Block::Column* b = Bound(col, ind)) [[likely]] {
    if (ind == SQL_NULL_DATA) {
      view = {};
      return false;
    }
    view = std::string_view(b->data.data() + block_->at * static_cast<SQLULEN>(b->width), static_cast<size_t>(ind));
    return true;
  }
  return ReadAgain(col, ind, view, spill, failed);
}

bool RowReader::ReadAgain(SQLUSMALLINT col, SQLLEN known, std::string_view& view, std::string& spill, bool& failed) {
  spill.clear();
  view = spill;
  if (!PositionForGetData()) {
    failed = true;
    return true;
  }
  const bool notNull = ReadPieces(col, view, spill, failed);
  if (known == kRowMarked) return notNull;
  if (!notNull || (known > 0 && view.size() < static_cast<size_t>(known))) failed = true;
  return true;
}

bool RowReader::ReadPieces(SQLUSMALLINT col, std::string_view& view, std::string& spill, bool& failed) {
  if (buffer_.size() < static_cast<size_t>(kChunk)) buffer_.resize(kChunk);
  // Most values are short, and some drivers clear the whole buffer they are given on every
  // call: ask for a small first piece, then large ones. The value is read in pieces until the
  // driver has given all of it, so nothing is ever cut.
  SQLLEN piece = kFirstPiece;
  SQLLEN ind = 0;
  SQLRETURN rc = MV_ODBC(SQLGetData, stmt_, col, SQL_C_CHAR, buffer_.data(), piece, &ind);
  // Whole in the first piece: read where the driver put it.
  if (rc == SQL_SUCCESS && ind >= 0 && ind < piece) [[likely]] {
    view = std::string_view(buffer_.data(), static_cast<size_t>(ind));
    return true;
  }
  // A long value: the rest is read straight into spill, in one piece when the driver said how
  // long it is, else in pieces that double. Some drivers measure the whole remaining value on
  // every call, so the number of calls, not only their size, decides the time a value takes.
  spill.clear();
  char* at = buffer_.data();
  for (;;) {
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc)) {
      failed = true;
      spill.clear();
      break;
    }
    if (ind == SQL_NULL_DATA) {
      spill.clear();
      view = spill;
      return false;
    }
    const bool inSpill = at != buffer_.data();
    const size_t held = inSpill ? spill.size() - static_cast<size_t>(piece) : 0;
    size_t n;
    bool more = false;
    if (rc == SQL_SUCCESS) {
      n = ind >= 0 && ind < piece ? static_cast<size_t>(ind) : strnlen(at, static_cast<size_t>(piece));
    } else if (ind >= 0 && ind != SQL_NO_TOTAL && ind < piece) {
      // SQL_SUCCESS_WITH_INFO about a value that fit.
      n = static_cast<size_t>(ind);
    } else {
      // A full piece less its terminator, with more to come.
      n = static_cast<size_t>(piece - 1);
      more = true;
    }
    if (inSpill)
      spill.resize(held + n);
    else
      spill.append(at, n);
    if (!more) break;
    // ind is what was left before this piece: the rest, and its terminator, in one piece.
    const SQLLEN rest = ind > 0 && ind != SQL_NO_TOTAL ? ind - static_cast<SQLLEN>(n) + 1 : 0;
    piece = std::min(kMaxPiece, std::max({rest, 2 * piece, kChunk}));
    const size_t base = spill.size();
    spill.resize(base + static_cast<size_t>(piece));
    at = spill.data() + base;
    rc = MV_ODBC(SQLGetData, stmt_, col, SQL_C_CHAR, at, piece, &ind);
    if (rc == SQL_NO_DATA) {
      spill.resize(base);
      break;
    }
  }
  view = spill;
  return true;
}

int RowReader::ColumnCount() {
  SQLSMALLINT n = 0;
  MV_ODBC(SQLNumResultCols, stmt_, &n);
  return n;
}

[[gnu::hot]] bool RowReader::Fetch() {
  if (block_) [[likely]]
    return FetchBlock();
  lastFetch_ = MV_ODBC(SQLFetch, stmt_);
  return Succeeded(lastFetch_);
}

RowReader::~RowReader() {
  if (!block_) return;
  MV_ODBC(SQLFreeStmt, stmt_, SQL_UNBIND);
  MV_ODBC(SQLSetStmtAttr, stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
  MV_ODBC(SQLSetStmtAttr, stmt_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
  MV_ODBC(SQLSetStmtAttr, stmt_, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
}

void RowReader::Rebind(const Statement& stmt) {
  stmt_ = stmt.get();
  lastFetch_ = SQL_SUCCESS;
  // The bindings belong to the handle, which is the same: the next fetch starts a block.
  if (block_) block_->fetched = block_->at = 0;
}

void RowReader::ReadInBlocks(const std::vector<ValueKind>& kinds, SQLULEN rows) {
  if (rows < 2 || kinds.empty()) return;
  auto block = std::make_unique<Block>();
  block->rows = rows;
  block->status.assign(rows, SQL_ROW_NOROW);
  for (size_t k = 0; k < kinds.size(); ++k) {
    const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(k + 1);
    Block::Column c;
    // The declared size bounds most values: a text's in characters, up to four bytes each.
    const SQLLEN size = ColumnNumber(col, SQL_DESC_LENGTH);
    const SQLLEN declared = size > 0 && size <= kFirstTextWidth ? size : kFirstTextWidth;
    switch (kinds[k]) {
      case ValueKind::Binary:
        c.cType = SQL_C_BINARY;
        c.width = declared;
        break;
      case ValueKind::Bit:
        c.cType = SQL_C_BIT;
        c.width = sizeof(unsigned char);
        break;
      case ValueKind::Real:
        c.cType = SQL_C_FLOAT;
        c.width = sizeof(float);
        break;
      case ValueKind::Double:
        c.cType = SQL_C_DOUBLE;
        c.width = sizeof(double);
        break;
      case ValueKind::FromResult:
        return;
      default:
        c.cType = SQL_C_CHAR;
        // Numbers and dates report their digits: room for a sign, a point and an exponent.
        c.width = std::max<SQLLEN>(declared * 4 + 1, 40);
        break;
    }
    block->columns.push_back(std::move(c));
  }
  block_ = std::move(block);
  MV_ODBC(SQLSetStmtAttr, stmt_, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
  MV_ODBC(SQLSetStmtAttr, stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
  MV_ODBC(SQLSetStmtAttr, stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &block_->fetched, 0);
  MV_ODBC(SQLSetStmtAttr, stmt_, SQL_ATTR_ROW_STATUS_PTR, block_->status.data(), 0);
  BindBlock();
}

void RowReader::BindBlock() {
  Block& b = *block_;
  SQLLEN total = 0;
  for (const Block::Column& c : b.columns) total += c.width;
  for (size_t k = 0; k < b.columns.size(); ++k) {
    Block::Column& c = b.columns[k];
    // A text that did not fit gets room for the longest of the last block, while the block's
    // arrays stay within their bound; a longer one is read again each time.
    if (c.needed > 0 && c.cType != SQL_C_BIT && c.cType != SQL_C_FLOAT && c.cType != SQL_C_DOUBLE) {
      const SQLLEN want = std::max(2 * c.width, c.needed + 1 + (c.needed >> 2));
      const SQLLEN room = kMaxBlockBytes / static_cast<SQLLEN>(b.rows) - (total - c.width);
      if (std::min(want, room) > c.width) {
        total += std::min(want, room) - c.width;
        c.width = std::min(want, room);
      }
    }
    c.needed = 0;
    if (c.data.size() != static_cast<size_t>(c.width) * b.rows) {
      c.data.assign(static_cast<size_t>(c.width) * b.rows, '\0');
      c.ind.assign(b.rows, 0);
    }
    MV_ODBC(SQLBindCol, stmt_, static_cast<SQLUSMALLINT>(k + 1), c.cType, c.data.data(), c.width, c.ind.data());
  }
}

[[gnu::hot]] bool RowReader::FetchBlock() {
  Block& b = *block_;
  b.positioned = false;
  if (b.at + 1 < b.fetched) {
    ++b.at;
    return true;
  }
  bool grow = false;
  for (const Block::Column& c : b.columns) grow |= c.needed > 0;
  if (grow) BindBlock();
  b.fetched = b.at = 0;
  lastFetch_ = MV_ODBC(SQLFetch, stmt_);
  if (!Succeeded(lastFetch_)) return false;
  if (b.fetched == 0) {
    lastFetch_ = SQL_NO_DATA;
    return false;
  }
  return true;
}

const RowReader::Block::Column* RowReader::Bound(SQLUSMALLINT col, SQLLEN& ind) {
  Block& b = *block_;
  Block::Column& c = b.columns[col - 1];
  if (b.status[b.at] == SQL_ROW_ERROR) [[unlikely]] {
    ind = kRowMarked;
    return nullptr;
  }
  ind = c.ind[b.at];
  if (ind == SQL_NULL_DATA) return &c;
  // A text's array holds its terminator too; a number's or a bit's is always whole.
  const SQLLEN room = c.cType == SQL_C_CHAR ? c.width - 1 : c.width;
  if (ind >= 0 && ind <= room) [[likely]]
    return &c;
  if (c.cType != SQL_C_CHAR && c.cType != SQL_C_BINARY) return &c;
  c.needed = std::max(c.needed, ind > 0 ? ind : 2 * c.width);
  return nullptr;
}

bool RowReader::PositionForGetData() {
  Block& b = *block_;
  if (b.positioned) return true;
  const SQLRETURN rc =
      MV_ODBC(SQLSetPos, stmt_, static_cast<SQLSETPOSIROW>(b.at + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE);
  b.positioned = Succeeded(rc);
  return b.positioned;
}

[[gnu::hot]] bool RowReader::Value(SQLUSMALLINT col, std::string& out) {
  std::string_view view;
  bool failed = false;
  const bool notNull = ReadText(col, view, out, failed);
  if (view.data() != out.data()) out.assign(view.data(), view.size());
  if (failed) [[unlikely]]
    NoteValueFailure();
  return notNull;
}

[[gnu::hot]] bool RowReader::View(SQLUSMALLINT col, std::string_view& view, std::string& spill) {
  bool failed = false;
  const bool notNull = ReadText(col, view, spill, failed);
  if (failed) [[unlikely]]
    NoteValueFailure();
  return notNull;
}

void RowReader::NoteValueFailure() {
  ++valueFailures_;
  lastValueError_ = DiagnosticText(SQL_HANDLE_STMT, stmt_);
  if (lastValueError_.empty()) lastValueError_ = "SQLGetData failed";
}

ValueKind RowReader::KindForType(SQLLEN type) {
  switch (type) {
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return ValueKind::Binary;
    case SQL_BIT:
      return ValueKind::Bit;
    case SQL_REAL:
      return ValueKind::Real;
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return ValueKind::Double;
    default:
      return ValueKind::Text;
  }
}

ValueKind RowReader::KindOf(SQLUSMALLINT col) {
  // Drivers disagree between the two (the SQLite driver calls a BLOB CHAR in one and BINARY in
  // the other): whichever names a kind that must not be read as characters decides.
  const ValueKind verbose = KindForType(ColumnNumber(col, SQL_DESC_TYPE));
  if (verbose != ValueKind::Text) return verbose;
  return KindForType(ColumnNumber(col, SQL_DESC_CONCISE_TYPE));
}

namespace {
void AppendHex(const char* bytes, size_t n, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < n; ++i) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
}
}  // namespace

bool RowReader::ReadBinary(SQLUSMALLINT col, std::string& out) {
  out.clear();
  if (block_) {
    SQLLEN ind = 0;
    if (const Block::Column* b = Bound(col, ind)) {
      if (ind == SQL_NULL_DATA) return false;
      AppendHex(b->data.data() + block_->at * static_cast<SQLULEN>(b->width), static_cast<size_t>(ind), out);
      return true;
    }
    if (!PositionForGetData()) {
      NoteValueFailure();
      return true;
    }
    // Read again whole: a row the driver marked reads as it would alone; otherwise the value is
    // known not to be NULL, and shorter than the driver said is cut.
    const bool notNull = ReadBinaryPieces(col, out);
    if (ind == kRowMarked) return notNull;
    if (!notNull || (ind > 0 && out.size() < 2 * static_cast<size_t>(ind))) NoteValueFailure();
    return true;
  }
  return ReadBinaryPieces(col, out);
}

bool RowReader::ReadBinaryPieces(SQLUSMALLINT col, std::string& out) {
  if (buffer_.size() < static_cast<size_t>(kChunk)) buffer_.resize(kChunk);
  bool any = false;
  for (;;) {
    SQLLEN ind = 0;
    const SQLRETURN rc = MV_ODBC(SQLGetData, stmt_, col, SQL_C_BINARY, buffer_.data(), kChunk, &ind);
    if (rc == SQL_NO_DATA) return any;
    if (!Succeeded(rc)) {
      NoteValueFailure();
      out.clear();
      return true;
    }
    if (ind == SQL_NULL_DATA) {
      out.clear();
      return false;
    }
    any = true;
    // A binary piece has no terminator: a full buffer is kChunk bytes.
    const size_t n =
        rc == SQL_SUCCESS && ind >= 0 && ind < kChunk ? static_cast<size_t>(ind) : static_cast<size_t>(kChunk);
    AppendHex(buffer_.data(), n, out);
    if (rc == SQL_SUCCESS) return true;
  }
}

namespace {
template <class T>
void ShortestText(T v, std::string& out) {
  if (std::isnan(v)) {
    out = "NaN";
  } else if (std::isinf(v)) {
    out = v > 0 ? "Infinity" : "-Infinity";
  } else {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.assign(buf, r.ptr);
  }
}
}  // namespace

template <class T>
bool RowReader::GetFixed(SQLUSMALLINT col, SQLSMALLINT cType, T& v, std::string& out, bool& isNull) {
  SQLLEN ind = 0;
  if (block_) {
    if (const Block::Column* b = Bound(col, ind)) {
      out.clear();
      isNull = ind == SQL_NULL_DATA;
      if (!isNull) std::memcpy(&v, b->data.data() + block_->at * static_cast<SQLULEN>(b->width), sizeof v);
      return !isNull;
    }
    if (!PositionForGetData()) {
      out.clear();
      isNull = false;
      NoteValueFailure();
      return false;
    }
  }
  const SQLRETURN rc = MV_ODBC(SQLGetData, stmt_, col, cType, &v, sizeof v, &ind);
  // A value that could not be read is empty (and counted); a NULL leaves nothing behind of the
  // value before it.
  out.clear();
  isNull = Succeeded(rc) && ind == SQL_NULL_DATA;
  if (Succeeded(rc)) return !isNull;
  NoteValueFailure();
  return false;
}

template <class T>
bool RowReader::ReadNumber(SQLUSMALLINT col, SQLSMALLINT cType, std::string& out) {
  T v{};
  bool isNull = false;
  if (!GetFixed(col, cType, v, out, isNull)) return !isNull;
  ShortestText(v, out);
  // A target reads the text as a double and checks the range of its column: the shortest text
  // of the largest floats reads as a double just past them, so they get the exact double.
  if constexpr (std::is_same_v<T, float>) {
    if (std::isfinite(v) && std::fabs(std::strtod(out.c_str(), nullptr)) > std::numeric_limits<float>::max()) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", static_cast<double>(v));
      out = buf;
    }
  }
  return true;
}

[[gnu::hot]] bool RowReader::Value(SQLUSMALLINT col, ValueKind kind, std::string& out) {
  if (kind == ValueKind::FromResult) kind = KindOf(col);
  switch (kind) {
    case ValueKind::Binary:
      return ReadBinary(col, out);
    case ValueKind::Bit: {
      unsigned char bit = 0;
      bool isNull = false;
      if (!GetFixed(col, SQL_C_BIT, bit, out, isNull)) return !isNull;
      out.assign(1, bit ? '1' : '0');
      return true;
    }
    case ValueKind::Real:
      return ReadNumber<float>(col, SQL_C_FLOAT, out);
    case ValueKind::Double:
      return ReadNumber<double>(col, SQL_C_DOUBLE, out);
    case ValueKind::RealText: {
      if (!Value(col, out)) return false;
      // quote() writes NULL bare and a text between apostrophes, so the two never meet.
      if (out == "NULL") {
        out.clear();
        return false;
      }
      if (!out.empty() && out.front() == '\'') {
        std::string text;
        text.reserve(out.size());
        for (size_t i = 1; i + 1 < out.size(); ++i) {
          text += out[i];
          if (out[i] == '\'' && i + 2 < out.size() && out[i + 1] == '\'') ++i;
        }
        out.swap(text);
        return true;
      }
      // A number: 15 digits when they read back exactly, else 21 in exponent form, which is
      // made the shortest exact text.
      if (out.size() <= 21) return true;
      double v = 0;
      const auto r = std::from_chars(out.data(), out.data() + out.size(), v);
      if (r.ec == std::errc() && r.ptr == out.data() + out.size()) ShortestText(v, out);
      return true;
    }
    default:
      return Value(col, out);
  }
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
