#include "run/LibraryCommands.h"

#include "run/RunOwner.h"
#include "base/Host.h"
#include "base/SqlLibrary.h"

namespace mv {

int OpenLibraryEntry(RunOwner& owner, const SqlLibrary& library, int command) {
  const std::string path = library.PathFor(command);
  if (path.empty()) return 0;
  std::string text;
  if (!SqlLibrary::ReadStatement(path, text)) {
    owner.host().Message("Could not open file '" + path + "'", Host::Buttons::Ok);
    return 0;
  }
  owner.Options().s_GlobalPassSql = text;
  // Without Auto Run the statement waits for the Sql Script dialog.
  if (SqlLibrary::AutoRun(owner.Settings()) && owner.HasUsableConnection()) RunLibraryStatement(owner, text);
  return 1;
}

bool RunLibraryStatement(RunOwner& owner, const std::string& text) {
  if (owner.IsRunning() || owner.IsWorkerActive()) {
    owner.host().Message(
        "You cannot start another script before the previous one ends.\nPress the <stop> icon to terminate the current "
        "script",
        Host::Buttons::Ok);
    return false;
  }
  if (!owner.ScriptSaved()) {
    owner.SetSaveCancelled(false);
    const Host::Answer answer =
        owner.host().Message("The report has not been saved. Do you wish to save it?", Host::Buttons::YesNoCancel);
    if (answer == Host::Answer::Cancel) return false;
    if (answer == Host::Answer::Yes) owner.SaveScript();
  }
  if (owner.SaveCancelled()) return false;
  owner.Options().s_GlobalPassSql = text;
  return owner.StartFreeFormRun(true);
}

}  // namespace mv
