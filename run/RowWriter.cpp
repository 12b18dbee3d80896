#include "run/RowWriter.h"

#include "profiles/Profile.h"
#include "run/RunContext.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/ValueFormat.h"

namespace mv {

std::unique_ptr<RowWriter> MakeRowWriter(RunContext& ctx, int rowsPerInsert) {
  if (ctx.csvFolder) return std::make_unique<CsvFileRowWriter>(ctx);
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
  ctx_.output.Write(CsvLine(row, false), TextRole::Data);
  ctx_.output.Write("\r\n", TextRole::Name, true);
}

}  // namespace mv

namespace mv {

void AppendCsvField(std::string& row, std::string_view value, bool isNull) {
  if (isNull) return;
  const bool quote = value.empty() || value == "\\." || value.find_first_of(",\"\r\n") != std::string_view::npos;
  if (!quote) {
    row += value;
    return;
  }
  row += '"';
  for (const char c : value) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

void CsvFileRowWriter::Table(const RowTarget& target) {
  target_ = target;
  rows_ = 0;
  skipped_ = false;
  lineEnd_ = ctx_.opts.b_LineFeeds ? "\n" : "\r\n";
  file_ = ctx_.csvFolder->Open(target.index, target.source);
  if (!file_) return;
  std::string header;
  for (size_t i = 0; i < target.names.size(); ++i) {
    if (i > 0) header += ',';
    AppendCsvField(header, target.names[i], false);
  }
  file_->Write(header + lineEnd_);
}

[[gnu::hot]] void CsvFileRowWriter::Row(const std::string& row) {
  ++rows_;
  if (!file_) return;
  file_->Write(row);
  file_->Write(lineEnd_);
}

void CsvFileRowWriter::End() {
  TableFolder& folder = *ctx_.csvFolder;
  const TableFolder::Entry& entry = folder.Entries()[target_.index];
  std::string why;
  if (ctx_.TableFailed(target_.source))
    why = "the table could not be read whole";
  else if (skipped_)
    why = "the rest of its rows was skipped";
  else if (file_ && !folder.Finish(target_.index, rows_))
    why = entry.error;
  else if (!file_)
    why = entry.error;
  file_ = nullptr;
  if (!why.empty()) {
    folder.Abandon(target_.index, why);
    ctx_.TableError(target_.source);
    ctx_.script.MessageRemark("ERROR: The rows of table " + RemarkSafe(target_.source) + " were not written to " +
                                  folder.Folder() + "/" + entry.file + ": " + why + ". The file was left out.",
                              "", "\r\n\r\n");
    return;
  }
  if (!ctx_.opts.b_DoRemarks) return;
  ctx_.script.RemarkStart(std::to_string(rows_) + (rows_ == 1 ? " row" : " rows") + " written to file ",
                          TextRole::Remark);
  ctx_.script.Write(RemarkSafe(folder.Folder() + "/" + entry.file) + "\r\n\r\n", TextRole::Sql, true);
}

}  // namespace mv
