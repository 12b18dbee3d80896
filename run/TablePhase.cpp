#include "run/TablePhase.h"

#include "profiles/Profile.h"
#include "run/RunContext.h"

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
    if (!phase.Table(t)) break;
  }
  phase.End();
  ctx.host.BarSetPos(phase.Bar(), n);
}

}  // namespace mv
