#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/Host.h"
#include "db/DbConnection.h"
#include "db/EngineTypes.h"
#include "profiles/Profile.h"
#include "run/RunState.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "settings/Filters.h"

namespace mv {

namespace {

// What the driver lists as tables and the engine does not store as such, with the words the
// list of tables not processed adds to each: a partition's rows come with its parent's, and a
// view's SELECT is no table to create.
using NotTables = std::unordered_map<std::string, std::string>;

NotTables ReadNotTables(RunContext& ctx) {
  NotTables notTables;
  if (!ctx.opts.b_EngineTypes) return notTables;
  std::unordered_set<std::string> listed;
  for (const TableEntry& t : ctx.connection.Tables().entries) listed.insert(t.name);
  for (const EngineTableKind& k : ReadEngineTableKinds(ctx.connection)) {
    if (k.view)
      notTables[k.name] = " (a view)";
    else if (listed.count(k.partitionOf))
      notTables[k.name] = " (a partition of " + RemarkSafe(k.partitionOf) + ")";
  }
  return notTables;
}

void WriteTableCount(RunContext& ctx, int count) {
  if (!ctx.opts.b_DoRemarks) return;
  ScriptWriter& out = ctx.script;
  out.Write("\r\n\r\n\r\n" + ctx.working.s_Remarks + "  ", TextRole::RemarkMarker);
  out.Write(std::to_string(count), TextRole::Name);
  out.Write(count == 1 ? " table was found in " : " tables were found in ", TextRole::Text);
  out.Write(RemarkSafe(ctx.connection.Target().title) + "\r\n\r\n", TextRole::Name, true);
}

// The tables the run processes, each a line of the Control Panel.
void ChooseTables(RunContext& ctx, const NotTables& notTables) {
  for (const TableEntry& t : ctx.connection.Tables().entries) {
    ctx.checkPoint();
    if (TableIsSkipped(ctx.opts, t.name) || notTables.count(t.name)) continue;
    ctx.tables.emplace_back();
    ctx.tables.back().name = t.name;
    ctx.host.PanelSelect(ctx.host.PanelAddLine(t.name));
    ctx.host.BarStep(Host::kAnalysisBar);
  }
}

// The remark naming the tables left out; false when there were none.
bool ListTablesNotProcessed(RunContext& ctx, const NotTables& notTables) {
  const RunOptions& opts = ctx.opts;
  if (!opts.b_DoTabSkipped || !opts.b_DoTabStruct) return false;
  ScriptWriter& out = ctx.script;
  const std::string& marker = ctx.working.s_Remarks;
  bool any = false;
  auto list = [&](const std::string& name, const std::string& why) {
    if (!any && opts.b_DoRemarks) {
      out.Write("\r\n" + marker + "  ", TextRole::RemarkMarker);
      out.Write("The following tables were not processed\r\n", TextRole::Text, true);
    }
    any = true;
    if (!opts.b_DoRemarks) return;
    out.Write(marker + "  \t\t", TextRole::RemarkMarker);
    out.Write(RemarkSafe(name) + why + "\r\n", TextRole::Remark, true);
  };
  int last = -1;
  for (const TableEntry& t : ctx.connection.Tables().entries) {
    ctx.checkPoint();
    const int found = ctx.host.PanelFindLine(t.name, last);
    if (found >= 0) last = found;
    ctx.host.PanelSelect(found);
    ctx.host.BarStep(Host::kAnalysisBar);
    const auto notTable = notTables.find(t.name);
    if (!TableIsSkipped(opts, t.name) && notTable == notTables.end()) continue;
    list(t.name, notTable == notTables.end() ? "" : notTable->second);
  }
  // Tables of other schemas or databases: the run names them with the owner that reaches them.
  for (const TableEntry& t : ctx.connection.Tables().elsewhere) list(t.name, " (owner " + RemarkSafe(t.owner) + ")");
  return any;
}

// A table whose engine keeps no row versions is read as it is when its turn comes: the script
// says so, as the last message does.
void WarnTablesOutsideSnapshot(RunContext& ctx) {
  if (!ctx.snapshot) return;
  std::vector<std::string> names;
  for (const RunTable& t : ctx.tables) names.push_back(t.name);
  ctx.outsideSnapshot = ctx.snapshot->TablesOutside(names);
  for (const TableOutsideSnapshot& t : ctx.outsideSnapshot)
    ctx.script.MessageRemark("WARNING: " + RemarkSafe(t.name) + " (" + RemarkSafe(t.engine) +
                                 ") keeps no snapshot: its rows are read as they are when it is scripted",
                             "\r\n", "");
}

}  // namespace

void AnalysisPhase(RunContext& ctx) {
  ctx.setStateTitle("Analyzing Database");
  // Read again inside the run's snapshot: a list a dialog read may be of another moment.
  if (ctx.connection.LoadTables([&ctx] { return !ctx.state.running; }) < 0) ctx.listingStopped();
  if (!ctx.connection.Tables().error.empty()) {
    ctx.listingError = ctx.connection.Tables().error;
    ctx.script.MessageRemark("ERROR: The list of tables could not be read: " + RemarkSafe(ctx.listingError), "\r\n",
                             "\r\n");
  }
  const int count = static_cast<int>(ctx.connection.Tables().entries.size());
  WriteTableCount(ctx, count);
  ctx.host.BarRange(Host::kAnalysisBar, 2 * count);
  ctx.host.BarSetStep(Host::kAnalysisBar, 1);
  const NotTables notTables = ReadNotTables(ctx);
  ChooseTables(ctx, notTables);
  const bool listed = ListTablesNotProcessed(ctx, notTables);
  WarnTablesOutsideSnapshot(ctx);
  ctx.host.BarSetPos(Host::kAnalysisBar, 2 * count);
  if (!listed) ctx.script.Write("\r\n", TextRole::RemarkMarker, true);
}

}  // namespace mv
