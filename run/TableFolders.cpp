#include "base/Host.h"
#include "profiles/Profile.h"
#include "run/RunContext.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"

namespace mv {

namespace {

constexpr const char* kLoader = "load.sql";

void FolderError(RunContext& ctx, const std::string& text) {
  ctx.output.FileFailed();
  ctx.script.MessageRemark("ERROR: " + text, "\r\n", "\r\n");
  ctx.host.Message(text, Host::Buttons::Ok);
}

// The loader: each table's file in the run's order, in the client's words for running a file.
std::string LoaderText(const Profile& profile, const TableFolder& folder) {
  std::string text;
  const std::string& include = profile.s_IncludeScript;
  const size_t at = include.find("%s");
  if (at == std::string::npos)
    text +=
        profile.s_Remarks + "  The profile names no command to run a file (s_IncludeScript): the files, in order:\n";
  for (const TableFolder::Entry& e : folder.Entries()) {
    if (!e.written) continue;
    if (at == std::string::npos)
      text += profile.s_Remarks + "  " + e.file + "\n";
    else
      text += include.substr(0, at) + e.file + include.substr(at + 2) + "\n";
  }
  return text;
}

}  // namespace

bool OpenTableFolders(RunContext& ctx) {
  const RunOptions& opts = ctx.opts;
  if (!opts.s_OutputDir.empty())
    ctx.scriptFolder = std::make_unique<TableFolder>(opts.s_OutputDir, ".sql",
                                                     std::vector<std::string>{kLoader, TableFolder::kManifest});
  if (!opts.s_CsvDir.empty() && opts.b_DoTabData)
    ctx.csvFolder =
        std::make_unique<TableFolder>(opts.s_CsvDir, ".csv", std::vector<std::string>{TableFolder::kManifest});
  for (const std::unique_ptr<TableFolder>* folder : {&ctx.scriptFolder, &ctx.csvFolder}) {
    if (!*folder) continue;
    const std::string reason = (*folder)->Prepare();
    if (reason.empty()) continue;
    FolderError(ctx, reason + ". Nothing was scripted.");
    ctx.scriptFolder.reset();
    ctx.csvFolder.reset();
    return false;
  }
  return true;
}

void FinishTableFolders(RunContext& ctx) {
  if (TableFolder* folder = ctx.scriptFolder.get()) {
    for (size_t i = 0; i < folder->Entries().size() && i < ctx.tables.size(); ++i) {
      const RunTable& table = ctx.tables[i];
      const TableFolder::Entry& e = folder->Entries()[i];
      if (e.file.empty()) continue;
      if (ctx.TableFailed(table.name))
        folder->Abandon(i, "the table could not be read whole");
      else if (!folder->Finish(i, table.rows))
        ctx.TableError(table.name);
      if (!e.written)
        ctx.script.MessageRemark("ERROR: The script of table " + RemarkSafe(table.name) + " was left out of " +
                                     folder->Folder() + ": " + e.error + ".",
                                 "\r\n", "\r\n");
    }
    std::string reason = folder->WriteFile(kLoader, LoaderText(ctx.working, *folder));
    if (!reason.empty()) FolderError(ctx, reason);
    reason = folder->WriteManifest();
    if (!reason.empty()) FolderError(ctx, reason);
  }
  if (TableFolder* folder = ctx.csvFolder.get()) {
    const std::string reason = folder->WriteManifest();
    if (!reason.empty()) FolderError(ctx, reason);
  }
}

void AbandonTableFolders(RunContext& ctx) {
  ctx.output.DivertTo(nullptr);
  if (ctx.scriptFolder) ctx.scriptFolder->AbandonAll();
  if (ctx.csvFolder) ctx.csvFolder->AbandonAll();
}

}  // namespace mv
