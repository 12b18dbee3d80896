#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "run/ScriptText.h"
#include "run/Statements.h"

namespace mv {

struct RunContext;
class TableFile;

// What a result's rows go into, as the script names it.
struct RowTarget {
  std::string table;               // as statements write it
  std::string columns;             // the column list an INSERT names
  std::string header;              // the names a CSV header gives, " , " between them
  std::string source;              // TABLE_NAME as returned (a file per table is named after it)
  size_t index = 0;                // the table's place in the run
  std::vector<std::string> names;  // the columns' names as a CSV file's header gives them
};

// Writes the rows of one result in one data format: the row loop hands it every row, its values
// formatted and joined by Separator(), and the writer owns its statements and COMMITs. A new
// format (COPY, INSERTs sized by bytes, one CSV file per table) is a new RowWriter.
class RowWriter {
 public:
  virtual ~RowWriter() = default;
  // Between the values of a row.
  virtual std::string_view Separator() const = 0;
  // Before the first row of a result.
  virtual void Begin(const RowTarget& target) = 0;
  virtual void Row(const std::string& row) = 0;
  // Ends an open statement before text that is not a row (a remark, the stop note).
  virtual void Close() = 0;
  // After the last row of a result, once closed; also for a result without rows.
  virtual void End() = 0;
  // Before a table's rows are read, for a writer with a file per table.
  virtual void Table(const RowTarget&) {}
  // The rest of the rows was skipped: a file of them would not be whole.
  virtual void Skipped() {}
  // Whether the row holds the values as read rather than as SQL: each value appended by
  // AppendCsvField, Separator() between them.
  virtual bool RawFields() const { return false; }
  // The run stops after Close: an open transaction is committed, so the script's rows load.
  virtual void Stopped() {}
  // The row holds values in the engine's copy format (escaped, unquoted, letter case applied
  // value by value) rather than literals.
  virtual bool CopyValues() const { return false; }
};

// One value as a field of an RFC 4180 record: NULL is an empty field, the empty text "", and a
// field with a comma, a quote, a line end or that reads as PostgreSQL's end of data is quoted.
void AppendCsvField(std::string& row, std::string_view value, bool isNull);

// The rows' format the run writes in: the run option, else the profile's.
enum class DataFormat { Insert, Csv, Copy };
DataFormat ChosenDataFormat(const RunContext& ctx);

// The writer the options choose: CSV records, else INSERTs of up to rowsPerInsert rows, one
// statement each (a free-form statement's rows).
std::unique_ptr<RowWriter> MakeRowWriter(RunContext& ctx, int rowsPerInsert);
// The data phase's writer: the format chosen, INSERTs sized and in the profile's transactions.
std::unique_ptr<RowWriter> MakeDataRowWriter(RunContext& ctx);

// The profile's transaction around the rows: opened before a row when none is open (only with a
// BEGIN and a COMMIT in the profile), closed by each COMMIT.
class LoadTransaction {
 public:
  explicit LoadTransaction(RunContext& ctx) : ctx_(ctx) {}
  void Open();
  void Commit(bool tableEnd);
  bool IsOpen() const { return open_; }

 private:
  RunContext& ctx_;
  bool open_ = false;
};

// INSERT INTO ... VALUES, up to rowsPerInsert rows a statement and under the profile's size in
// bytes, with the profile's periodic COMMIT (no INSERT spans one) and its COMMIT at a table's end.
class InsertRowWriter : public RowWriter {
 public:
  // bulk: the profile's size in bytes and transactions apply.
  InsertRowWriter(RunContext& ctx, int rowsPerInsert, bool bulk);
  std::string_view Separator() const override { return ", "; }
  void Begin(const RowTarget& target) override;
  void Row(const std::string& row) override;
  void Close() override;
  void End() override;
  void Stopped() override;

 private:
  RunContext& ctx_;
  const bool bulk_;
  const size_t limit_;  // bytes an INSERT stays under; 0: none
  InsertGroup group_;
  ScriptText statement_;
  LoadTransaction transaction_;
  int rows_ = 0;       // since the last COMMIT
  size_t bytes_ = 0;   // of the open INSERT
  size_t head_ = 0;    // an INSERT's text before its first row and after its last
  size_t perRow_ = 0;  // the text between two rows
};

// The engine's copy format: the profile's COPY statement, one line a row, values separated by
// tabs, ended by a line holding "\." alone; a periodic COMMIT ends the copy and starts another.
class CopyRowWriter : public RowWriter {
 public:
  explicit CopyRowWriter(RunContext& ctx) : ctx_(ctx), transaction_(ctx) {}
  std::string_view Separator() const override { return "\t"; }
  void Begin(const RowTarget& target) override;
  void Row(const std::string& row) override;
  void Close() override;
  void End() override;
  void Stopped() override;
  bool CopyValues() const override { return true; }

 private:
  RunContext& ctx_;
  LoadTransaction transaction_;
  std::string start_;  // the COPY statement of the result
  std::string line_;
  bool copying_ = false;
  int rows_ = 0;  // since the last COMMIT
};

// One value in the copy format appended to out: \N for NULL, backslash, tab, line feed and
// carriage return escaped; binary (hexadecimal text) as \\x and its digits.
void AppendCopyValue(std::string& out, std::string_view value, bool isNull, bool binary);

// Comma-separated records, every field quoted, after a header of the column names.
class CsvRowWriter : public RowWriter {
 public:
  explicit CsvRowWriter(RunContext& ctx) : ctx_(ctx) {}
  std::string_view Separator() const override { return " \t "; }
  void Begin(const RowTarget& target) override;
  void Row(const std::string& row) override;
  void Close() override {}
  void End() override {}

 private:
  RunContext& ctx_;
  std::string header_;  // written before the first row
};

// One RFC 4180 file per table in the run's CSV folder, after a header row of the column names;
// the script says where each table's rows went. A table that could not be read whole leaves
// its file out.
class CsvFileRowWriter : public RowWriter {
 public:
  explicit CsvFileRowWriter(RunContext& ctx) : ctx_(ctx) {}
  std::string_view Separator() const override { return ","; }
  bool RawFields() const override { return true; }
  void Table(const RowTarget& target) override;
  void Begin(const RowTarget&) override {}
  void Row(const std::string& row) override;
  void Close() override {}
  void End() override;
  void Skipped() override { skipped_ = true; }

 private:
  RunContext& ctx_;
  RowTarget target_;
  bool skipped_ = false;
  TableFile* file_ = nullptr;
  std::string lineEnd_;
  long long rows_ = 0;
};

}  // namespace mv
