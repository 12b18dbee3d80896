#pragma once
// The desktop's dialogs as the main window's hooks: Parameters, Start SQL Script, the profile
// manager and the data source chooser (shared by the program and its screenshot tool).
#include <optional>
#include <string>

#include "db/ui/DataSourceDialog.h"
#include "run/ui/RunCommands.h"
#include "settings/ui/ParametersDialog.h"
#include "settings/ui/SqlScriptDialog.h"
#include "shell/ui/MainWindow.h"

namespace mv {

inline MainWindow::DialogHooks DesktopDialogHooks() {
  MainWindow::DialogHooks hooks;
  hooks.parameters = [](QWidget* parent, RunController& owner) {
    ui::DialogContext ctx = ui::ContextFor(owner);
    return ui::RunParametersDialog(ctx, parent) == ui::ParametersDialog::Started;
  };
  hooks.sqlScript = [](QWidget* parent, RunController& owner) {
    ui::DialogContext ctx = ui::ContextFor(owner);
    return ui::RunSqlScriptDialog(ctx, parent);
  };
  hooks.profiles = [](QWidget* parent, RunController& owner) { ui::SetupProfiles(owner, parent); };
  hooks.chooseDataSource = [](QWidget* parent, const std::string& current,
                              const std::vector<std::string>& recent) -> std::optional<DataSourceChoice> {
    const auto choice = ui::ChooseDataSource(parent, current, recent);
    if (!choice) return std::nullopt;
    return DataSourceChoice{choice->connectString, choice->fieldPassword};
  };
  return hooks;
}

}  // namespace mv
