#include "run/StartRules.h"

#include "run/RunController.h"

namespace mv {

const char* BusyMessage(RunKind kind) {
  // The stored texts, spelling included.
  return kind == RunKind::Scripting
             ? "You cannot start another Mervale before the previuos one ends.\nPress the <stop> icon to terminate the "
               "current Mervale"
             : "You cannot start another script before the previous one ends.\nPress the <stop> icon to terminate the "
               "current script";
}

bool OfferToSave(RunController& run, RunKind kind) {
  Session& s = run.session();
  s.saveCancelled = false;
  if (run.Output().Saved()) return true;
  const char* question = kind == RunKind::Scripting ? "The script has not been saved. Do you wish to save it?"
                                                    : "The report has not been saved. Do you wish to save it?";
  switch (s.host.Message(question, Host::Buttons::YesNoCancel)) {
    case Host::Answer::Cancel:
      return false;
    case Host::Answer::Yes:
      SaveScript(run);
      return !s.saveCancelled;
    default:
      return true;
  }
}

bool CanStart(RunController& run, RunKind kind) {
  const RunStatus status = run.Status();
  if (status.running || status.workerActive) {
    run.session().host.Message(BusyMessage(kind), Host::Buttons::Ok);
    return false;
  }
  return OfferToSave(run, kind);
}

bool SaveScript(RunController& run, const std::string& givenPath) {
  int cancelled = run.session().saveCancelled ? 1 : 0;
  run.Output().SaveScript(cancelled, givenPath);
  run.session().saveCancelled = cancelled != 0;
  return !cancelled && run.Output().Saved();
}

}  // namespace mv
