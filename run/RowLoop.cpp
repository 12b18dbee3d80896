#include "run/RowLoop.h"

#include "db/DbConnection.h"
#include "db/RowReader.h"
#include "profiles/Profile.h"
#include "run/RunContext.h"
#include "run/RunState.h"
#include "run/ScriptNames.h"

namespace mv {

namespace {

// The rows ended: at their end, or on a failed fetch.
void EndOfRows(RunContext& ctx, Statement& stmt, RowReader& reader, RowSource& source, bool anyRow) {
  if (reader.FetchFailed()) {
    ctx.TableError(source.errorName);
    source.FetchFailed();
  }
  ReportFetchError(ctx, reader, stmt, source.what);
  if (anyRow || !ctx.opts.b_DoRemarks) return;
  ctx.script.RemarkStart(source.noRows, TextRole::Remark);
  if (!source.noRowsName.empty()) ctx.script.Write(source.noRowsName, TextRole::Sql, true);
}

[[gnu::cold]] void WriteNotes(RunContext& ctx, RowSource& source, RowWriter& writer) {
  // A remark never stands inside a statement: the row starts a statement of its own.
  writer.Close();
  for (const std::string& note : source.notes) ctx.script.MessageRemark(note, "", "\r\n");
  source.notes.clear();
}

[[gnu::cold]] void ValueFailed(RunContext& ctx, RowReader& reader, RowSource& source, RowWriter& writer) {
  ctx.TableError(source.errorName);
  if (source.valueFailed.empty()) return;
  writer.Close();
  ctx.script.MessageRemark(source.valueFailed + reader.lastValueError(), "", "\r\n\r\n");
}

}  // namespace

void ReportFetchError(RunContext& ctx, RowReader& reader, Statement& stmt, const std::string& what) {
  if (!reader.FetchFailed() || !ctx.connection.ReadDiagnostics(stmt.get())) return;
  // A failing fetch would otherwise end the rows as if all had been read.
  ctx.script.MessageRemark(
      "ERROR: Could not read all rows of " + RemarkSafe(what) + ": " + ctx.connection.LastError().text, "\r\n",
      "\r\n\r\n");
}

void WriteRows(RunContext& ctx, Statement& stmt, RowReader& reader, RowSource& source, RowWriter& writer) {
  // A statement that spans rows is ended before the stop note, so a stopped script holds only
  // whole statements.
  ctx.closeOpenStatement = [&writer] { writer.Close(); };
  struct Forget {
    RunContext& ctx;
    ~Forget() { ctx.closeOpenStatement = nullptr; }
  } forget{ctx};
  std::string row;
  bool anyRow = false;
  for (;;) {
    ctx.rowCheckPoint(stmt);
    if (ctx.state.skipRequested) [[unlikely]] {
      ctx.state.skipRequested = 0;
      writer.Close();
      ctx.script.RemarkStart(source.skipped, TextRole::Message);
      break;
    }
    const int failuresBefore = reader.valueFailures();
    if (!source.Read(row)) [[unlikely]] {
      writer.Close();
      EndOfRows(ctx, stmt, reader, source, anyRow);
      break;
    }
    ApplyCaseInPlace(row, ctx.opts.i_DataCase);
    if (!source.notes.empty()) [[unlikely]]
      WriteNotes(ctx, source, writer);
    if (!anyRow) writer.Begin(source.Target());
    anyRow = true;
    writer.Row(row);
    if (reader.valueFailures() != failuresBefore) [[unlikely]]
      ValueFailed(ctx, reader, source, writer);
  }
  writer.End();
}

}  // namespace mv
