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
void EndOfRows(RunContext& ctx, Statement& stmt, RowReader& reader, RowSource& source, const RowRemarks& remarks,
               bool anyRow) {
  if (reader.FetchFailed()) {
    ctx.TableError(remarks.errorName);
    source.FetchFailed();
  }
  ReportFetchError(ctx, reader, stmt, remarks.what);
  if (anyRow || !ctx.opts.b_DoRemarks) return;
  ctx.script.RemarkStart(remarks.noRows, TextRole::Remark);
  if (!remarks.noRowsName.empty()) ctx.script.Write(remarks.noRowsName, TextRole::Sql, true);
}

[[gnu::cold]] void WriteNotes(RunContext& ctx, RowSource& source, RowWriter& writer) {
  // A remark never stands inside a statement: the row starts a statement of its own.
  writer.Close();
  for (const std::string& note : source.Notes()) ctx.script.MessageRemark(note, "", "\r\n");
  source.Notes().clear();
}

[[gnu::cold]] void ValueFailed(RunContext& ctx, RowReader& reader, const RowRemarks& remarks, RowWriter& writer) {
  ctx.TableError(remarks.errorName);
  if (remarks.valueFailed.empty()) return;
  writer.Close();
  ctx.script.MessageRemark(remarks.valueFailed + reader.lastValueError(), "", "\r\n\r\n");
}

}  // namespace

void ReportFetchError(RunContext& ctx, RowReader& reader, Statement& stmt, const std::string& what) {
  if (!reader.FetchFailed() || !ctx.connection.ReadDiagnostics(stmt.get())) return;
  // A failing fetch would otherwise end the rows as if all had been read.
  ctx.script.MessageRemark(
      "ERROR: Could not read all rows of " + RemarkSafe(what) + ": " + ctx.connection.LastError().text, "\r\n",
      "\r\n\r\n");
}

void WriteRows(RunContext& ctx, Statement& stmt, RowReader& reader, RowSource& source, const RowRemarks& remarks,
               RowWriter& writer) {
  // A statement that spans rows is ended before the stop note, so a stopped script holds only
  // whole statements.
  ctx.closeOpenStatement = [&writer] {
    writer.Close();
    writer.Stopped();
  };
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
      writer.Skipped();
      ctx.script.RemarkStart(remarks.skipped, TextRole::Message);
      break;
    }
    const int failuresBefore = reader.valueFailures();
    if (!source.Read(row)) [[unlikely]] {
      writer.Close();
      EndOfRows(ctx, stmt, reader, source, remarks, anyRow);
      break;
    }
    if (!writer.CopyValues()) ApplyCaseInPlace(row, ctx.opts.i_DataCase);
    if (!source.Notes().empty()) [[unlikely]]
      WriteNotes(ctx, source, writer);
    if (!anyRow) writer.Begin(source.Target());
    anyRow = true;
    writer.Row(row);
    if (reader.valueFailures() != failuresBefore) [[unlikely]]
      ValueFailed(ctx, reader, remarks, writer);
  }
  writer.End();
}

}  // namespace mv
