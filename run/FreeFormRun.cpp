
#include "profiles/Profile.h"
#include "profiles/Substitutions.h"
#include "run/DataScripter.h"
#include "run/RunOwner.h"
#include "shell/Host.h"

namespace mv {

namespace {
using C = ScriptOutput;

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

// The column list ReadRows found ("a, b"), each name in the special-name brackets when the
// column rule calls it special, as the data scripter writes INSERT column lists.
std::string QuotedColumnList(const RunOwner& owner, const std::string& columns) {
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t end = columns.find(", ", start);
    const std::string name = columns.substr(start, end == std::string::npos ? std::string::npos : end - start);
    out += name.empty() ? name : owner.QuoteColumnName(name);
    if (end == std::string::npos) return out;
    out += ", ";
    start = end + 2;
  }
}
}  // namespace

bool RunOwner::StartFreeFormRun(bool belowNormal) {
  if (state.running) {
    host.Message(
        "You cannot start another script before the previous one ends.\nPress the <stop> icon to terminate the current "
        "script",
        Host::Buttons::Ok);
    return false;
  }
  if (!HasUsableConnection()) {
    host.Message("You must have a database sources before you can begin.", Host::Buttons::Ok);
    return false;
  }
  if (worker_.joinable()) worker_.join();
  state.running = 1;
  host.DestroyPanel();
  panelShown = 0;
  BeginWorker(&RunOwner::FreeFormWorker, belowNormal);
  return true;
}

void RunOwner::FreeFormWorker() {
  state.skipRequested = 0;
  lastSqlAvailable = 1;
  state.startTime = std::time(nullptr);
  configLoadedSinceRun = 0;
  lastRunOutcome = 0;
  output.ApplyScriptFont();
  if (opts.b_OnlyToFile) OpenOnlyToFile("Output of this report is being written to file: ");
  const std::string& R = working.s_Remarks;
  if (opts.b_DoRemarks) {
    output.Append(R + "  ", C::colorRemarkMarker);
    output.Append("DATABASE:  ", C::colorText);
    output.Append(connection->title, C::colorName, true);
    output.Append("\r\n\r\n\r\n" + R +
                      "  The following scripts were created from the following free form statement:\r\n" + R + "\r\n",
                  C::colorRemarkMarker);
    // Every line of the statement gets its own remark marker: a statement from a library file
    // has several lines, and a bare second line would be SQL when the script is run.
    output.Append(StatementRemark(R, opts.s_GlobalPassSql), C::colorRemarkMarker);
    output.Append("\r\n", C::colorRemarkMarker);
  }
  output.Append("\r\n\r\n", C::colorSql);
  state.skipAllowed = 1;
  RunStatement(opts.s_GlobalPassSql);
  state.skipAllowed = 0;
  WriteFooterAndFinish(false);
}

void RunOwner::RunStatement(const std::string& sql) {
  configLoadedSinceRun = 0;
  state.skipRequested = 0;
  int counter = 0;
  bool csvHeader = false;
  bool rowRead = false;
  state.skipAllowed = 1;
  SetStateTitle("Scripting Data");
  PrepareStatementPieces();
  const std::string& R = working.s_Remarks;

  Statement stmt;
  std::string error = connection->Execute(stmt, sql);
  if (!error.empty()) {
    output.Append("\r\nThe following error was received while processing statement ", C::colorMessage);
    output.Append(error + "\r\n\r\n\r\n", C::colorMessage, true);
    return;
  }
  std::string table = "-oo", columns = "-oo", row;
  // Names the script writes are bracketed like the data scripter's; computed once, from the
  // first row's names.
  ReadSpecialBrackets();
  std::string writtenTable, writtenColumns;
  for (;;) {
    RowCheckPoint(stmt);
    if (state.skipRequested) {
      state.skipRequested = 0;
      output.Append(R + "  ", C::colorRemarkMarker);
      output.Append("Statement Skipped ...\r\n\r\n", C::colorMessage);
      break;
    }
    if (!connection->ReadRows(stmt.get(), row, {}, &table, &columns, sql)) {
      ReportFetchError(stmt, "the statement");
      if (!rowRead && opts.b_DoRemarks) {
        output.Append(R + "  ", C::colorRemarkMarker);
        output.Append("No data was found in statement. ", C::colorRemark);
      }
      break;
    }
    if (!rowRead) {
      // The name found by the reader keeps its own case; the written one follows the rule.
      // A statement whose table cannot be found gets an empty table name, never empty brackets.
      writtenTable = table.empty() ? table : QuoteTableName(ApplyCase(table, working.i_TableNameCase));
      writtenColumns = QuotedColumnList(*this, columns);
    }
    ApplyCaseInPlace(row, opts.i_DataCase);
    rowRead = true;
    ++counter;
    if (opts.b_DataCSV) {
      if (!csvHeader) {
        // The reader joins names with ", "; the CSV header splits at " , " as the data phase's does.
        output.Append(CsvLine(ReplaceAll(columns, ", ", " , "), true) + "\r\n", C::colorRemark);
        csvHeader = true;
      }
      output.Append(CsvLine(row, false) + "\r\n", C::colorName);
    } else {
      WriteInsert(writtenTable, writtenColumns, row);
      if (counter >= working.i_CommitLines && !working.s_Commit.empty()) {
        counter = 0;
        WriteCommit(false);
      }
    }
  }
  if (working.b_CommitEachTable && !opts.b_DataCSV && counter > 0 && !working.s_Commit.empty()) WriteCommit(true);
  stmt.Drop();
  state.skipAllowed = 0;
}

}  // namespace mv
