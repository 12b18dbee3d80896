#pragma once
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/SqlLibrary.h"
#include "base/WindowPlacement.h"
#include "run/CommandStates.h"
#include "shell/ui/FindBox.h"
#include "shell/ui/HelpWindow.h"

namespace mv {

class QtHost;
class RunController;
class ScriptView;
class SettingsStore;

// The main window "Mervale": menus, toolbar, status bar and the script view. A thin client of
// RunController: every command calls the core, and the enable rules come from CommandStatesFor.
class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // The dialogs of the options, plugged in by the program when they are built. A command
  // whose hook is empty stays disabled.
  struct DialogHooks {
    // The Parameters dialog on a copy of the run options, written back on Start or Close.
    // Returns true when the user pressed Start.
    std::function<bool(QWidget* parent, RunController& owner)> parameters;
    // The Sql Script dialog (statement and CSV switch). Returns true when the statement is to run.
    std::function<bool(QWidget* parent, RunController& owner)> sqlScript;
    // The profile manager.
    std::function<void(QWidget* parent, RunController& owner)> profiles;
    // The data source chooser: the connect string chosen (and its password field), or nothing.
    // recent: the connections used before, newest first, without passwords.
    std::function<std::optional<DataSourceChoice>(QWidget* parent, const std::string& current,
                                                  const std::vector<std::string>& recent)>
        chooseDataSource;
  };

  MainWindow(SettingsStore& settings, std::string programFolder, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The remembered options, the profiles, the script font and the library folder. Separate
  // from the constructor so that a caller can first decide how messages are answered.
  void LoadStartupState();
  void SetDialogHooks(DialogHooks hooks);
  // Size, position and state from the settings; call before the window is first shown.
  void ApplyPlacement(const WindowPlacement& placement);
  // Loads a configuration without questions and runs it (the file named on the command line).
  void StartWith(const std::string& path);
  // Exit status after a run started with StartWith; -1 while the program keeps running.
  int AutoExitStatus() const { return autoExit_; }

  RunController& Owner() { return *owner_; }
  QtHost& Host() { return *host_; }
  ScriptView& View() { return *view_; }
  QMenu* LibraryMenu() { return libraryMenu_; }
  FindBox* Find() { return find_; }
  HelpWindow* Help() { return help_; }
  QLabel* DatabasePane() { return databasePane_; }
  // The command with this object name ("start", "pause", "find", ...).
  QAction* Command(const char* name) const;

 public slots:
  // Re-reads the run state: enable rules of the menus, toolbar and Control Panel, title, panes.
  void RefreshCommands();
  void ShowHelp(const std::string& topic = "index");

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Moves and shrinks the window so that its frame, as the window manager drew it, is on the
  // screen: a restored size that fits the screen can still leave the frame, and with it the
  // status bar, past the screen's edge.
  void KeepFrameOnScreen();
  QAction* AddCommand(QMenu* menu, const char* name, const QString& text, const char* prompt, const QKeySequence& key,
                      void (MainWindow::*slot)());
  void BuildMenus();
  void RebuildLibraryMenu();
  void OnRunEnded();

  void StartCommand();
  void RerunLastCommand();
  void StartSqlCommand();
  void RerunLastSqlCommand();
  void PauseCommand();
  void ResumeCommand();
  void SkipCommand();
  void StopCommand();
  void OpenConfigurationCommand();
  void SaveConfigurationCommand();
  void SaveConfigurationAsCommand();
  void SaveScriptCommand();
  void CopyCommand();
  void FindCommand();
  void PrintCommand();
  void ExportPdfCommand();
  void FontCommand();
  void ReadOnlyCommand();
  void ProfilesCommand();
  void ManageLibraryCommand();
  void AutoRunCommand();
  void HelpTopicsCommand();
  void AboutCommand();
  void ExitCommand();

  SettingsStore& settings_;
  std::string programFolder_;
  ScriptView* view_;
  std::unique_ptr<QtHost> host_;
  std::unique_ptr<RunController> owner_;  // after host_: destroyed first, while the host still answers
  SqlLibrary library_;
  DialogHooks hooks_;
  std::map<std::string, QAction*> commands_;
  QMenu* libraryMenu_ = nullptr;
  QPointer<FindBox> find_;
  QPointer<HelpWindow> help_;
  QLabel* databasePane_ = nullptr;
  std::string chosenConnection_;  // the chooser's last string, remembered once it connects
  int autoExit_ = -1;
  bool placementSaved_ = false;
};

}  // namespace mv
