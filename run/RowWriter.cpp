#include "run/RowWriter.h"

#include <climits>

#include "profiles/Profile.h"
#include "run/RunContext.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/ValueFormat.h"

namespace mv {

DataFormat ChosenDataFormat(const RunContext& ctx) {
  if (ctx.opts.b_DataCSV) return DataFormat::Csv;
  if (ctx.opts.i_DataFormat == 1) return DataFormat::Insert;
  if (ctx.opts.i_DataFormat == 2 || ctx.working.b_DataCopy) return DataFormat::Copy;
  return DataFormat::Insert;
}

std::unique_ptr<RowWriter> MakeRowWriter(RunContext& ctx, int rowsPerInsert) {
  if (ctx.csvFolder) return std::make_unique<CsvFileRowWriter>(ctx);
  if (ctx.opts.b_DataCSV) return std::make_unique<CsvRowWriter>(ctx);
  return std::make_unique<InsertRowWriter>(ctx, rowsPerInsert, false);
}

std::unique_ptr<RowWriter> MakeDataRowWriter(RunContext& ctx) {
  // Real CSV files take the rows whatever the script's own format.
  if (ctx.csvFolder) return std::make_unique<CsvFileRowWriter>(ctx);
  switch (ChosenDataFormat(ctx)) {
    case DataFormat::Csv:
      return std::make_unique<CsvRowWriter>(ctx);
    case DataFormat::Copy:
      return std::make_unique<CopyRowWriter>(ctx);
    case DataFormat::Insert:
      break;
  }
  return std::make_unique<InsertRowWriter>(ctx, ctx.opts.i_RowsPerInsert, true);
}

void LoadTransaction::Open() {
  const Profile& profile = ctx_.working;
  if (open_ || profile.s_BeginTransaction.empty() || profile.s_Commit.empty()) return;
  open_ = true;
  ctx_.output.Write(profile.s_BeginTransaction + "\r\n", TextRole::Remark, true);
}

void LoadTransaction::Commit(bool tableEnd) {
  open_ = false;
  ctx_.script.Commit(tableEnd);
}

namespace {

// Rows per INSERT: with a size in bytes and the run's default of one, the size alone decides.
int RowsPerInsert(const Profile& profile, int rowsPerInsert, bool bulk) {
  if (bulk && profile.i_InsertBytes > 0 && rowsPerInsert <= 1) return INT_MAX;
  return rowsPerInsert;
}

}  // namespace

InsertRowWriter::InsertRowWriter(RunContext& ctx, int rowsPerInsert, bool bulk)
    : ctx_(ctx),
      bulk_(bulk),
      limit_(bulk && ctx.working.i_InsertBytes > 0 ? static_cast<size_t>(ctx.working.i_InsertBytes) : 0),
      group_(RowsPerInsert(ctx.working, rowsPerInsert, bulk)),
      transaction_(ctx) {}

void InsertRowWriter::Begin(const RowTarget& target) {
  const Profile& profile = ctx_.working;
  group_.Begin(profile, target.table, target.columns);
  rows_ = 0;
  // What the statement adds around its rows, counted generously: the limit is never passed.
  head_ = profile.s_InsertInto.size() + target.table.size() + target.columns.size() + profile.s_Values.size() +
          2 * profile.s_LineBreak.size() + profile.s_Execute.size() + 32;
  perRow_ = profile.s_Values.size() + profile.s_LineBreak.size() + 16;
}

[[gnu::hot]] void InsertRowWriter::Row(const std::string& row) {
  const Profile& profile = ctx_.working;
  statement_.Clear();
  statement_.KeepPieces(ctx_.output.ColoursMatter());
  if (limit_ > 0) {
    // A row that would carry the statement past the limit starts one of its own.
    if (group_.IsOpen() && bytes_ + perRow_ + row.size() > limit_) group_.Close(statement_, profile);
    bytes_ = (group_.IsOpen() ? bytes_ + perRow_ : head_) + row.size();
  }
  // Free-form rows too: the profile's COMMIT needs its BEGIN.
  if (!transaction_.IsOpen() && !group_.IsOpen()) transaction_.Open();
  group_.AddRow(statement_, row);
  // An INSERT never spans a COMMIT.
  const bool commit = ++rows_ >= profile.i_CommitLines && !profile.s_Commit.empty();
  if (commit) group_.Close(statement_, profile);
  ctx_.output.Write(statement_);
  if (commit) [[unlikely]] {
    rows_ = 0;
    transaction_.Commit(false);
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
  if (transaction_.IsOpen() || (profile.b_CommitEachTable && rows_ > 0 && !profile.s_Commit.empty()))
    transaction_.Commit(true);
  rows_ = 0;
}

void InsertRowWriter::Stopped() {
  if (transaction_.IsOpen()) transaction_.Commit(true);
}

namespace {

void ReplaceAll(std::string& text, std::string_view find, const std::string& by) {
  for (size_t at = text.find(find); at != std::string::npos; at = text.find(find, at + by.size()))
    text.replace(at, find.size(), by);
}

}  // namespace

void CopyRowWriter::Begin(const RowTarget& target) {
  start_ = ctx_.working.s_CopyFrom;
  // The names first go in as markers of their own, so a name holding "%c" stays as it is.
  ReplaceAll(start_, "%t", std::string(1, '\x01'));
  ReplaceAll(start_, "%c", std::string(1, '\x02'));
  ReplaceAll(start_, "\x01", target.table);
  ReplaceAll(start_, "\x02", target.columns);
  start_ += "\r\n";
  rows_ = 0;
}

[[gnu::hot]] void CopyRowWriter::Row(const std::string& row) {
  const Profile& profile = ctx_.working;
  if (!copying_) {
    transaction_.Open();
    ctx_.output.Write(start_, TextRole::Sql, true);
    copying_ = true;
  }
  line_.assign(row);
  line_ += "\r\n";
  ctx_.output.Write(line_, TextRole::Name, true);
  if (++rows_ >= profile.i_CommitLines && !profile.s_Commit.empty()) [[unlikely]] {
    Close();
    rows_ = 0;
    transaction_.Commit(false);
  }
}

void CopyRowWriter::Close() {
  if (!copying_) return;
  copying_ = false;
  ctx_.output.Write("\\.\r\n\r\n", TextRole::Sql, true);
}

void CopyRowWriter::End() {
  const Profile& profile = ctx_.working;
  if (transaction_.IsOpen() || (profile.b_CommitEachTable && rows_ > 0 && !profile.s_Commit.empty()))
    transaction_.Commit(true);
  rows_ = 0;
}

void CopyRowWriter::Stopped() {
  if (transaction_.IsOpen()) transaction_.Commit(true);
}

[[gnu::hot]] void AppendCopyValue(std::string& out, std::string_view value, bool isNull, bool binary) {
  if (isNull) {
    out.append("\\N", 2);
    return;
  }
  if (binary) {
    // bytea's hexadecimal input, its backslash escaped for the copy format.
    out.append("\\\\x", 3);
    out.append(value);
    return;
  }
  size_t from = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const char* escape = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
    if (!escape) continue;
    out.append(value, from, i - from);
    out.append(escape, 2);
    from = i + 1;
  }
  out.append(value, from, std::string_view::npos);
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
