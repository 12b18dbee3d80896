#pragma once
#include "settings/ui/RunSetup.h"

class QWidget;

namespace mv {
class RunOwner;
}

namespace mv::ui {

// The dialogs' view of a run owner. The owner must outlive the context.
DialogContext ContextFor(RunOwner& owner);

// "&Start Mervale": refuses while a run is active, offers to save an unsaved script, then the
// Parameters dialog; Start starts the run.
void StartCommand(RunOwner& owner, QWidget* parent);
// "Start S&QL Script": the same checks, then the Sql Script dialog; Start runs the statement
// one step below normal priority.
void StartSqlCommand(RunOwner& owner, QWidget* parent);
// "R&erun Last SQL Script": the kept statement again, no dialog and no save prompt.
void RerunLastSql(RunOwner& owner);
// After LoadStartupState: the profiles a user saved in the per-user folder (used when the
// program folder cannot be written) join the shipped ones, replacing those of the same name.
void LoadUserProfiles(RunOwner& owner);
// "Profiles > Setup": the profile manager over the owner's profiles.
void SetupProfiles(RunOwner& owner, QWidget* parent);

}  // namespace mv::ui
