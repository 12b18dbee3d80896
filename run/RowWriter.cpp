#include "run/RowWriter.h"

#include "profiles/Profile.h"
#include "run/RunContext.h"
#include "run/ScriptOutput.h"
#include "run/ValueFormat.h"

namespace mv {

std::unique_ptr<RowWriter> MakeRowWriter(RunContext& ctx, int rowsPerInsert) {
  if (ctx.opts.b_DataCSV) return std::make_unique<CsvRowWriter>(ctx);
  return std::make_unique<InsertRowWriter>(ctx, rowsPerInsert);
}

void InsertRowWriter::Begin(const RowTarget& target) {
  group_.Begin(ctx_.working, target.table, target.columns);
  rows_ = 0;
}

[[gnu::hot]] void InsertRowWriter::Row(const std::string& row) {
  const Profile& profile = ctx_.working;
  statement_.Clear();
  statement_.KeepPieces(ctx_.output.ColoursMatter());
  group_.AddRow(statement_, row);
  // An INSERT never spans a COMMIT.
  const bool commit = ++rows_ >= profile.i_CommitLines && !profile.s_Commit.empty();
  if (commit) group_.Close(statement_, profile);
  ctx_.output.Write(statement_);
  if (commit) [[unlikely]] {
    rows_ = 0;
    ctx_.script.Commit(false);
  }
}

void InsertRowWriter::Close() {
  if (!group_.IsOpen()) return;
  statement_.Clear();
  group_.Close(statement_, ctx_.working);
  ctx_.output.Write(statement_);
}

void InsertRowWriter::End() {
  const Profile& profile = ctx_.working;
  if (profile.b_CommitEachTable && rows_ > 0 && !profile.s_Commit.empty()) ctx_.script.Commit(true);
  rows_ = 0;
}

void CsvRowWriter::Begin(const RowTarget& target) { header_ = CsvLine(target.header, true) + "\r\n"; }

void CsvRowWriter::Row(const std::string& row) {
  if (!header_.empty()) {
    ctx_.output.Write(header_, TextRole::Remark, true);
    header_.clear();
  }
  ctx_.output.Write(CsvLine(row, false) + "\r\n", TextRole::Name, true);
}

}  // namespace mv
