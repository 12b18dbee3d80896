#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "run/ScriptText.h"
#include "run/Statements.h"

namespace mv {

struct RunContext;

// What a result's rows go into, as the script names it.
struct RowTarget {
  std::string table;    // as statements write it
  std::string columns;  // the column list an INSERT names
  std::string header;   // the names a CSV header gives, " , " between them
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
};

// The writer the options choose: CSV records, else INSERTs of up to rowsPerInsert rows.
std::unique_ptr<RowWriter> MakeRowWriter(RunContext& ctx, int rowsPerInsert);

// INSERT INTO ... VALUES, up to rowsPerInsert rows a statement, with the profile's periodic
// COMMIT (no INSERT spans one) and its COMMIT at a table's end.
class InsertRowWriter : public RowWriter {
 public:
  InsertRowWriter(RunContext& ctx, int rowsPerInsert) : ctx_(ctx), group_(rowsPerInsert) {}
  std::string_view Separator() const override { return ", "; }
  void Begin(const RowTarget& target) override;
  void Row(const std::string& row) override;
  void Close() override;
  void End() override;

 private:
  RunContext& ctx_;
  InsertGroup group_;
  ScriptText statement_;
  int rows_ = 0;  // since the last COMMIT
};

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

}  // namespace mv
