#pragma once
#include <string>

namespace mv {

class RunController;
struct Session;

// A name the user gave that the run would match to nothing: the profile, or a table name or
// pattern of the tables to script. Empty text when every name matches.
struct NameProblem {
  enum class Kind { None, Profile, Tables };
  Kind kind = Kind::None;
  std::string text;
};
// Asked before a scripting run starts (the table list is read for it), so that such a name is
// an error with a message instead of a run of something else.
NameProblem FindNameProblem(Session& session);

// The two kinds of run a front end starts.
enum class RunKind {
  Scripting,  // Start Mervale, Rerun Last, a configuration's run
  FreeForm,   // Start SQL Script, the SQL Library
};

// "May a run start, save first?", for every front end: refused with the busy message while a run
// or its worker is active; an unsaved script is offered for saving first, and a Cancel (of the
// question or of the save) refuses too.
bool CanStart(RunController& run, RunKind kind);
// The unsaved-script question alone (as when the window closes); false when the user cancelled.
bool OfferToSave(RunController& run, RunKind kind);
// The message a start gets while another run of its kind is active.
const char* BusyMessage(RunKind kind);

// Save Script: asks for a path unless one is given; false when cancelled or nothing was written.
// Also during a run: the file takes the window's text of that moment.
bool SaveScript(RunController& run, const std::string& givenPath = {});

}  // namespace mv
