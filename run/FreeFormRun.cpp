#include "base/Host.h"
#include "db/DbConnection.h"
#include "db/RowReader.h"
#include "profiles/Profile.h"
#include "profiles/Substitutions.h"
#include "run/RowLoop.h"
#include "run/RunState.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "run/Statements.h"
#include "run/ValueFormat.h"

namespace mv {

namespace {

// marker + "  " + the statement, one remark line per line of the statement (line ends made
// "\r\n"; the statement's own last line end is not repeated).
std::string StatementRemark(const std::string& marker, const std::string& sql) {
  std::string text;
  size_t start = 0;
  for (;;) {
    size_t end = sql.find('\n', start);
    std::string line = sql.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (start > 0) text += "\r\n";
    text += marker + "  " + line;
    if (end == std::string::npos || end + 1 == sql.size()) return text;
    start = end + 1;
  }
}

// The column list the reader found ("a, b"), each name in the special-name brackets when the
// column rule calls it special, as the data scripter writes INSERT column lists.
std::string QuotedColumnList(const RunContext& ctx, const std::string& columns) {
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t end = columns.find(", ", start);
    const std::string name = columns.substr(start, end == std::string::npos ? std::string::npos : end - start);
    out += name.empty() ? name : ctx.names.Column(ctx.opts, name);
    if (end == std::string::npos) return out;
    out += ", ";
    start = end + 2;
  }
}

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

// The rows of a free-form statement, each value formatted as the data phase formats it. The
// table and column names are found with the first row.
class StatementRows : public RowSource {
 public:
  StatementRows(RunContext& ctx, RowReader& reader, const std::string& sql, std::string_view separator)
      : ctx_(ctx), reader_(reader), sql_(sql), separator_(separator), columnCount_(reader.ColumnCount()) {}
  bool Read(std::string& row) override;
  RowTarget Target() override;

 private:
  RunContext& ctx_;
  RowReader& reader_;
  const std::string& sql_;
  const std::string_view separator_;
  const int columnCount_;
  bool first_ = true;
  std::string table_, columns_;  // as the reader found them ("a, b")
  std::string value_, scratch_;
};

bool StatementRows::Read(std::string& row) {
  if (!reader_.Fetch()) return false;
  const Profile& profile = ctx_.working;
  const RunOptions& opts = ctx_.opts;
  row.clear();
  if (first_) {
    table_ = reader_.ResultTableName(sql_);
    columns_.clear();
  }
  for (int i = 1; i <= columnCount_; ++i) {
    const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(i);
    const bool isNull = !reader_.Value(col, ValueKind::FromResult, value_);
    if (first_) {
      if (i > 1) columns_ += ", ";
      columns_ += reader_.ColumnText(col, SQL_DESC_NAME);
    }
    const LiteralRule rule =
        IsStringType(reader_.ColumnNumber(col, SQL_DESC_TYPE)) ? LiteralRule::String : LiteralRule::Number;
    if (i > 1) row += separator_;
    FormatValue(profile, opts, value_, rule, isNull, row, scratch_);
  }
  first_ = false;
  return true;
}

RowTarget StatementRows::Target() {
  // The name found by the reader keeps its own case; the written one follows the rule. A
  // statement whose table cannot be found gets an empty table name, never empty brackets.
  // Names the script writes are bracketed like the data phase's.
  ctx_.names.ReadBrackets(ctx_.settings, &ctx_.connection, ctx_.working);
  RowTarget target;
  if (!table_.empty())
    target.table = ctx_.names.Table(ctx_.opts, table_, ApplyCase(table_, ctx_.working.i_TableNameCase));
  target.columns = QuotedColumnList(ctx_, columns_);
  // The reader joins names with ", "; the CSV header splits at " , " as the data phase's does.
  target.header = ReplaceAll(columns_, ", ", " , ");
  return target;
}

}  // namespace

void WriteFreeFormHeader(RunContext& ctx) {
  ScriptOutput& out = ctx.output;
  const std::string& marker = ctx.working.s_Remarks;
  if (ctx.opts.b_DoRemarks) {
    out.Write(marker + "  ", TextRole::RemarkMarker);
    out.Write("DATABASE:  ", TextRole::Text);
    out.Write(ctx.connection.Target().title, TextRole::Name, true);
    out.Write("\r\n\r\n\r\n" + marker +
                  "  The following scripts were created from the following free form statement:\r\n" + marker + "\r\n",
              TextRole::RemarkMarker);
    // Every line of the statement gets its own remark marker: a statement from a library file
    // has several lines, and a bare second line would be SQL when the script is run.
    out.Write(StatementRemark(marker, ctx.opts.s_GlobalPassSql), TextRole::RemarkMarker);
    out.Write("\r\n", TextRole::RemarkMarker);
  }
  out.Write("\r\n\r\n", TextRole::Sql);
}

void RunStatement(RunContext& ctx, const std::string& sql) {
  ctx.state.skipRequested = 0;
  ctx.state.skipAllowed = 1;
  ctx.setStateTitle("Scripting Data");
  Statement stmt;
  const std::string error = ctx.connection.Execute(stmt, sql);
  if (!error.empty()) {
    if (!ctx.state.running) ctx.checkPoint();
    ctx.TableError("the statement");
    ctx.script.MessageRemark("The following error was received while processing statement " + error, "\r\n",
                             "\r\n\r\n\r\n");
    return;
  }
  RowReader reader(stmt);
  // One row a statement: the statement's rows are the user's own, whatever the run's options.
  const std::unique_ptr<RowWriter> writer = MakeRowWriter(ctx, 1);
  StatementRows rows(ctx, reader, sql, writer->Separator());
  // A value that could not be read counts as an error of the statement, without a remark.
  const RowRemarks remarks{
      "the statement", "the statement", "Statement Skipped ...\r\n\r\n", "No data was found in statement. ", "", ""};
  WriteRows(ctx, stmt, reader, rows, remarks, *writer);
  stmt.Drop();
  ctx.state.skipAllowed = 0;
}

}  // namespace mv
