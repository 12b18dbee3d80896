#include "run/TablePhase.h"

#include "profiles/Profile.h"
#include "run/RunContext.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"

namespace mv {

void RunTablePhase(RunContext& ctx, TablePhase& phase) {
  const int n = static_cast<int>(ctx.tables.size());
  ctx.host.BarRange(phase.Bar(), n);
  ctx.host.BarSetStep(phase.Bar(), 1);
  // Before the title: the state change the title announces includes what Begin sets.
  phase.Begin();
  ctx.setStateTitle(phase.Title());
  for (size_t index = 0; index < ctx.tables.size(); ++index) {
    RunTable& table = ctx.tables[index];
    if (phase.CheckEachTable()) ctx.checkPoint();
    ctx.host.PanelSelect(static_cast<int>(index));
    ctx.host.BarStep(phase.Bar());
    // Read for every table: the brackets are the settings' as they are now.
    ctx.names.ReadBrackets(ctx.settings, &ctx.connection, ctx.working);
    PhaseTable t{index, table, ApplyCase(table.name, ctx.working.i_TableNameCase), {}};
    t.written = ctx.names.Table(ctx.opts, table.name, t.name);
    // The one place a table's own file is opened: everything the phase writes of it goes there.
    TableFile* file = ctx.scriptFolder ? ctx.scriptFolder->Open(index, table.name) : nullptr;
    if (ctx.scriptFolder && !file && !ctx.TableFailed(table.name)) {
      ctx.TableError(table.name);
      ctx.script.MessageRemark("ERROR: The script of table " + RemarkSafe(table.name) + " cannot be written to " +
                                   ctx.scriptFolder->Folder() + ": " + ctx.scriptFolder->Entries()[index].error,
                               "\r\n", "\r\n");
    }
    if (file) ctx.output.DivertTo(file);
    const bool more = phase.Table(t);
    if (file) {
      ctx.output.DivertTo(nullptr);
      file->Suspend();
    }
    if (!more) break;
  }
  phase.End();
  ctx.host.BarSetPos(phase.Bar(), n);
}

}  // namespace mv
