#include "run/StartRules.h"

#include "run/RunController.h"
#include "settings/Filters.h"

namespace mv {

NameProblem FindNameProblem(Session& s) {
  // No name at all (a configuration without one) takes the first profile, as it always has.
  if (!s.opts.s_WorkingProfile.empty() && !s.profiles.FindProfile(s.opts.s_WorkingProfile))
    return {NameProblem::Kind::Profile, "The profile " + s.opts.s_WorkingProfile + " was not found."};
  if (s.opts.IncludeOnlyTables.empty() || !s.HasUsableConnection()) return {};
  DbConnection& c = *s.connection;
  c.LoadTables();
  std::vector<std::string> names;
  for (const TableEntry& t : c.Tables().entries) names.push_back(t.name);
  const std::vector<std::string> unmatched = UnmatchedTables(s.opts, names);
  if (unmatched.empty()) return {};
  std::string text =
      unmatched.size() == 1 ? "This table name matches no table of " : "These table names match no table of ";
  text += c.Target().title + ":";
  for (const std::string& u : unmatched) text += "\n    " + u;
  return {NameProblem::Kind::Tables, text};
}

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
