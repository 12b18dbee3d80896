#include "run/ui/RunCommands.h"

#include "profiles/ProfileFolders.h"
#include "profiles/ui/ProfilesSheet.h"
#include "run/RunOwner.h"
#include "settings/ui/ParametersDialog.h"
#include "settings/ui/SqlScriptDialog.h"
#include "shell/Host.h"

namespace mv::ui {

namespace {

// Steps 1 to 3 of both start commands: no second run, and an unsaved script is offered for
// saving first. False ends the command.
bool ReadyToStart(RunOwner& owner, const char* busy, const char* unsaved) {
  if (owner.IsRunning() || owner.IsWorkerActive()) {
    owner.host().Message(busy);
    return false;
  }
  if (!owner.ScriptSaved()) {
    owner.SetSaveCancelled(false);
    const Host::Answer a = owner.host().Message(unsaved, Host::Buttons::YesNoCancel);
    if (a == Host::Answer::Cancel) return false;
    if (a == Host::Answer::Yes) owner.SaveScript();
  }
  return !owner.SaveCancelled();
}

}  // namespace

DialogContext ContextFor(RunOwner& owner) {
  DialogContext ctx{owner.Options(),  owner.Profiles(), owner.Working(),
                    owner.Settings(), owner.host(),     owner.ProgramFolder()};
  ctx.connection = [&owner] { return owner.Connection(); };
  ctx.replaceConnection = [&owner](std::unique_ptr<DbConnection> c) { owner.ReplaceConnection(std::move(c)); };
  // The remaining calls are filled in by the dialog, bound to where the context then lives.
  return ctx;
}

void StartCommand(RunOwner& owner, QWidget* parent) {
  if (!ReadyToStart(owner,
                    "You cannot start another Mervale before the previuos one ends.\nPress the <stop> icon to "
                    "terminate the current Mervale",
                    "The script has not been saved. Do you wish to save it?"))
    return;
  DialogContext ctx = ContextFor(owner);
  if (RunParametersDialog(ctx, parent) != ParametersDialog::Started) return;
  owner.SetScriptSaved(false);
  owner.StartRun();
}

void StartSqlCommand(RunOwner& owner, QWidget* parent) {
  if (!ReadyToStart(owner,
                    "You cannot start another script before the previous one ends.\nPress the <stop> icon to "
                    "terminate the current script",
                    "The report has not been saved. Do you wish to save it?"))
    return;
  DialogContext ctx = ContextFor(owner);
  if (RunSqlScriptDialog(ctx, parent)) owner.StartFreeFormRun(true);
}

void RerunLastSql(RunOwner& owner) { owner.StartFreeFormRun(false); }

void LoadUserProfiles(RunOwner& owner) { DiscoverUserProfiles(owner.Profiles(), owner.ProgramFolder(), owner.host()); }

void SetupProfiles(RunOwner& owner, QWidget* parent) {
  OpenProfileManager(parent, owner.Profiles(), owner.Options().s_WorkingProfile, owner.Working(), owner.Settings(),
                     owner.ProgramFolder(), owner.host());
}

}  // namespace mv::ui
