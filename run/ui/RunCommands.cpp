#include "run/ui/RunCommands.h"

#include "base/Host.h"
#include "profiles/ProfileFolders.h"
#include "profiles/ui/ProfilesSheet.h"
#include "run/RunController.h"
#include "run/StartRules.h"
#include "settings/ui/ParametersDialog.h"
#include "settings/ui/SqlScriptDialog.h"

namespace mv::ui {

DialogContext ContextFor(RunController& run) {
  Session& s = run.session();
  DialogContext ctx{s.opts, s.profiles, s.working, s.settings, s.host, s.programFolder};
  ctx.connection = [&s] { return s.connection.get(); };
  ctx.replaceConnection = [&run](std::unique_ptr<DbConnection> c) { run.ReplaceConnection(std::move(c)); };
  // The remaining calls are filled in by the dialog, bound to where the context then lives.
  return ctx;
}

void StartCommand(RunController& run, QWidget* parent) {
  if (!CanStart(run, RunKind::Scripting)) return;
  DialogContext ctx = ContextFor(run);
  if (RunParametersDialog(ctx, parent) != ParametersDialog::Started) return;
  run.Output().SetSaved(false);
  run.StartRun();
}

void StartSqlCommand(RunController& run, QWidget* parent) {
  if (!CanStart(run, RunKind::FreeForm)) return;
  DialogContext ctx = ContextFor(run);
  if (RunSqlScriptDialog(ctx, parent)) run.StartFreeFormRun(true);
}

void RerunLastSql(RunController& run) { run.StartFreeFormRun(false); }

void LoadUserProfiles(RunController& run) {
  Session& s = run.session();
  DiscoverUserProfiles(s.profiles, s.programFolder, s.host);
}

void SetupProfiles(RunController& run, QWidget* parent) {
  Session& s = run.session();
  OpenProfileManager(parent, s.profiles, s.opts.s_WorkingProfile, s.working, s.settings, s.programFolder, s.host);
}

}  // namespace mv::ui
