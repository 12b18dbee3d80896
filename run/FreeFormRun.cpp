#include "db/DbConnection.h"
#include "db/RowReader.h"
#include "profiles/Profile.h"
#include "profiles/Substitutions.h"
#include "run/RunState.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "run/Statements.h"
#include "run/ValueFormat.h"
#include "shell/Host.h"

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

// Reads one row of a free-form result into `row` (values formatted as the data phase formats
// them). On the first row the table and column names are found as well.
bool ReadStatementRow(RunContext& ctx, RowReader& reader, const std::string& sql, bool first, std::string& row,
                      std::string& table, std::string& columns, std::string& value, std::string& scratch) {
  const int n = reader.ColumnCount();
  if (!reader.Fetch()) return false;
  const Profile& profile = ctx.working;
  const RunOptions& opts = ctx.opts;
  row.clear();
  if (first) {
    table = reader.ResultTableName(sql);
    columns.clear();
  }
  for (int i = 1; i <= n; ++i) {
    const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(i);
    const bool isNull = !reader.Value(col, ValueKind::FromResult, value);
    if (first) {
      if (i > 1) columns += ", ";
      columns += reader.ColumnText(col, SQL_DESC_NAME);
    }
    const char flag = IsStringType(reader.ColumnNumber(col, SQL_DESC_TYPE)) ? 'F' : 'T';
    if (i > 1) row += opts.b_DataCSV ? " \t " : ", ";
    FormatValue(profile, opts, value, flag, isNull, row, scratch);
  }
  return true;
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
  const Profile& profile = ctx.working;
  const RunOptions& opts = ctx.opts;
  ScriptOutput& out = ctx.output;
  ctx.state.skipRequested = 0;
  int counter = 0;
  bool csvHeader = false;
  bool rowRead = false;
  ctx.state.skipAllowed = 1;
  ctx.setStateTitle("Scripting Data");
  const std::string& marker = profile.s_Remarks;

  Statement stmt;
  std::string error = ctx.connection.Execute(stmt, sql);
  if (!error.empty()) {
    ctx.TableError("the statement");
    out.MessageRemark("The following error was received while processing statement " + error, "\r\n", "\r\n\r\n\r\n");
    return;
  }
  RowReader reader(stmt);
  std::string table, columns, row, value, scratch;
  ScriptText statement;
  // Names the script writes are bracketed like the data scripter's; computed once, from the
  // first row's names.
  ctx.names.ReadBrackets(ctx.settings, &ctx.connection);
  std::string writtenTable, writtenColumns;
  for (;;) {
    ctx.rowCheckPoint(stmt);
    if (ctx.state.skipRequested) {
      ctx.state.skipRequested = 0;
      out.Write(marker + "  ", TextRole::RemarkMarker);
      out.Write("Statement Skipped ...\r\n\r\n", TextRole::Message);
      break;
    }
    const int failuresBefore = reader.valueFailures();
    if (!ReadStatementRow(ctx, reader, sql, !rowRead, row, table, columns, value, scratch)) {
      if (reader.FetchFailed()) ctx.TableError("the statement");
      ReportFetchError(ctx, reader, stmt, "the statement");
      if (!rowRead && opts.b_DoRemarks) {
        out.Write(marker + "  ", TextRole::RemarkMarker);
        out.Write("No data was found in statement. ", TextRole::Remark);
      }
      break;
    }
    if (!rowRead) {
      // The name found by the reader keeps its own case; the written one follows the rule.
      // A statement whose table cannot be found gets an empty table name, never empty brackets.
      writtenTable = table.empty() ? table : ctx.names.Table(opts, table, ApplyCase(table, profile.i_TableNameCase));
      writtenColumns = QuotedColumnList(ctx, columns);
    }
    if (reader.valueFailures() != failuresBefore) ctx.TableError("the statement");
    ApplyCaseInPlace(row, opts.i_DataCase);
    rowRead = true;
    ++counter;
    if (opts.b_DataCSV) {
      if (!csvHeader) {
        // The reader joins names with ", "; the CSV header splits at " , " as the data phase's does.
        out.Write(CsvLine(ReplaceAll(columns, ", ", " , "), true) + "\r\n", TextRole::Remark);
        csvHeader = true;
      }
      out.Write(CsvLine(row, false) + "\r\n", TextRole::Name);
    } else {
      statement.Clear();
      AddInsert(statement, profile, writtenTable, writtenColumns, row);
      out.Write(statement);
      if (counter >= profile.i_CommitLines && !profile.s_Commit.empty()) {
        counter = 0;
        WriteCommit(ctx, false);
      }
    }
  }
  if (profile.b_CommitEachTable && !opts.b_DataCSV && counter > 0 && !profile.s_Commit.empty()) WriteCommit(ctx, true);
  stmt.Drop();
  ctx.state.skipAllowed = 0;
}

}  // namespace mv
