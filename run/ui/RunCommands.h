#pragma once
#include "settings/ui/RunSetup.h"

class QWidget;

namespace mv {
class RunController;
}

namespace mv::ui {

// The dialogs' view of a run controller's session. The controller must outlive the context.
DialogContext ContextFor(RunController& run);

// "&Start Mervale": refuses while a run is active, offers to save an unsaved script, then the
// Parameters dialog; Start starts the run.
void StartCommand(RunController& run, QWidget* parent);
// "Start S&QL Script": the same checks, then the Sql Script dialog; Start runs the statement
// one step below normal priority.
void StartSqlCommand(RunController& run, QWidget* parent);
// "R&erun Last SQL Script": the kept statement again, no dialog and no save prompt.
void RerunLastSql(RunController& run);
// After LoadStartupState: the profiles a user saved in the per-user folder (used when the
// program folder cannot be written) join the shipped ones, replacing those of the same name.
void LoadUserProfiles(RunController& run);
// "Profiles > Setup": the profile manager over the owner's profiles.
void SetupProfiles(RunController& run, QWidget* parent);

}  // namespace mv::ui
