#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/OdbcHandles.h"

namespace mv {

// How a result column's values are read.
enum class ValueKind {
  FromResult,  // decided by the type the result column reports (Kind)
  Text,        // as characters
  Binary,      // as bytes, written as their hexadecimal text (a zero-length value is not NULL)
  Bit,         // as 0 or 1
  Real,        // as a single-precision number, the shortest text that reads back the same
  Double,      // as a double-precision number, likewise
  RealText,    // SQLite's quote() of the value: NULL, a number with every digit, a quoted text
};

// Reads the rows of an executed statement: values whole, as text, into buffers the caller
// reuses from row to row, with their NULL flag; the result columns' names and types. The reader
// owns the buffer the driver writes values into and what it said about a value it could not
// give, so reading never touches the connection's state.
class RowReader {
 public:
  explicit RowReader(const Statement& stmt) : stmt_(stmt.get()) {}
  RowReader(RowReader&&) = default;
  // The driver writes into the block's arrays until they are unbound.
  ~RowReader();
  // Reads the result of stmt from now on (the statement was executed again, with the same columns).
  void Rebind(const Statement& stmt);
  // From the next fetch on, reads rows in blocks of up to rows, every column into an array bound
  // for the kind it is read as (kinds[k] for column k + 1, none FromResult). A value longer than
  // its column's array is read again whole, with the row positioned in the block, and the array
  // grows for the blocks after. Only for a driver known to read a value again in a block: a
  // driver that cannot would cut it.
  void ReadInBlocks(const std::vector<ValueKind>& kinds, SQLULEN rows);

  int ColumnCount();
  // The next row; a row fetched with a warning is still a row (ending there would drop the
  // rest silently). false at the end or on a fetch error (FetchFailed tells which).
  bool Fetch();
  bool FetchFailed() const { return lastFetch_ != SQL_NO_DATA && !Succeeded(lastFetch_); }
  // Column col (1-based) into out; false for NULL. A value whose SQLGetData fails reads as
  // empty and is counted, with the driver's message kept.
  bool Value(SQLUSMALLINT col, std::string& out);
  // The same as text without a copy: a view valid until the next read (spill holds a value
  // that came in pieces).
  bool View(SQLUSMALLINT col, std::string_view& view, std::string& spill);
  // The same, read by kind (FromResult: by the result column's own type).
  bool Value(SQLUSMALLINT col, ValueKind kind, std::string& out);
  // The kind a result column's type calls for.
  ValueKind KindOf(SQLUSMALLINT col);
  static ValueKind KindForType(SQLLEN sqlType);
  int valueFailures() const { return valueFailures_; }
  const std::string& lastValueError() const { return lastValueError_; }

  std::string ColumnText(SQLUSMALLINT col, SQLUSMALLINT field);
  SQLLEN ColumnNumber(SQLUSMALLINT col, SQLUSMALLINT field);
  // The table a free-form statement reads: the driver's name for the first column, else its
  // base table, else the name after FROM.
  std::string ResultTableName(const std::string& sql);
  static std::string TableNameAfterFrom(const std::string& sql);

 private:
  // The value as characters, in pieces until whole: a view of buffer_ when it came in one piece,
  // else of spill.
  bool ReadText(SQLUSMALLINT col, std::string_view& view, std::string& spill, bool& failed);
  // The same with SQLGetData, in pieces.
  bool ReadPieces(SQLUSMALLINT col, std::string_view& view, std::string& spill, bool& failed);
  // A value of a block read again, which the driver said is known bytes long: shorter is cut.
  [[gnu::cold]] bool ReadAgain(SQLUSMALLINT col, SQLLEN known, std::string_view& view, std::string& spill,
                               bool& failed);
  bool ReadBinary(SQLUSMALLINT col, std::string& out);
  bool ReadBinaryPieces(SQLUSMALLINT col, std::string& out);
  template <class T>
  bool ReadNumber(SQLUSMALLINT col, SQLSMALLINT cType, std::string& out);
  // One fixed-size value: true when read; false for NULL (isNull) or a failure (counted).
  template <class T>
  bool GetFixed(SQLUSMALLINT col, SQLSMALLINT cType, T& v, std::string& out, bool& isNull);
  // Counts a value SQLGetData could not give and keeps the driver's message about it.
  [[gnu::cold, gnu::noinline]] void NoteValueFailure();

  // The rows of the last block fetch, each column in an array of its own.
  struct Block {
    struct Column {
      SQLSMALLINT cType = SQL_C_CHAR;
      SQLLEN width = 0;   // bytes per row; a text's terminator included
      SQLLEN needed = 0;  // the longest value of the last block that did not fit
      std::vector<char> data;
      std::vector<SQLLEN> ind;
    };
    SQLULEN rows = 0;
    std::vector<Column> columns;
    std::vector<SQLUSMALLINT> status;
    SQLULEN fetched = 0, at = 0;
    bool positioned = false;
  };
  // The bound value of col in the current row: nullptr when it must be read with SQLGetData (it did
  // not fit, or the driver marked the row), with the row positioned for that.
  const Block::Column* Bound(SQLUSMALLINT col, SQLLEN& ind);
  [[gnu::cold]] bool PositionForGetData();
  void BindBlock();
  bool FetchBlock();

  SQLHSTMT stmt_;
  std::vector<char> buffer_;
  SQLRETURN lastFetch_ = SQL_SUCCESS;
  int valueFailures_ = 0;
  std::string lastValueError_;
  std::unique_ptr<Block> block_;  // null: a row at a time, every value through SQLGetData
};

}  // namespace mv
