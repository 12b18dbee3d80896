#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Host.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/RunContext.h"
#include "settings/RunOptions.h"

namespace mv {

class SettingsStore;

// The configuration file state the titles are built from.
struct ConfigState {
  std::string file;              // the configuration last opened or saved
  std::string titleBase = "--";  // the suffix before the first configuration
  std::string documentTitle = "Ready";
};

// What the front ends share from run to run: options, profiles and the working copy, the
// connection, the configuration file and the flags the command rules read, and the last run's
// results. A plain record on the UI thread: a run works on its own copies (RunContext), and
// while a worker is active its fields are not changed (RunController::ReplaceConnection says
// so for the connection, which is the worker's then).
struct Session {
  Session(Host& h, SettingsStore& s, std::string folder) : host(h), settings(s), programFolder(std::move(folder)) {}

  Host& host;
  SettingsStore& settings;
  const std::string programFolder;

  RunOptions opts;
  ProfileList profiles;
  Profile working;
  std::unique_ptr<DbConnection> connection;
  ConfigState config;

  bool hasRun = false;                // a scripting run was started by the user
  bool configLoadedSinceRun = false;  // a configuration was loaded since the last run started
  bool lastSqlAvailable = false;      // a free-form statement has run
  bool readOnly = true;               // the script window ignores typing
  bool saveCancelled = false;         // the last Save Script was cancelled
  RowEstimate rowEstimate = RowEstimate::None;
  // A run started from a configuration named at start-up ends the program after an only-to-file
  // run; autoStartExit is then its exit status (-1: keep running).
  std::string autoStartPath;
  int autoStartExit = -1;
  // How the last run ended (nullopt before the first), and its context: its tables and their
  // kept columns.
  std::optional<RunOutcome> lastOutcome;
  std::unique_ptr<RunContext> lastRun;

  bool HasUsableConnection() const { return connection && connection->Connected(); }
  // The tables the last run could not read whole (its outcome is then FinishedWithErrors).
  std::vector<std::string> ErrorTables() const { return lastRun ? lastRun->errorTables : std::vector<std::string>{}; }
};

// Start-up: the remembered options, then the profiles of the program folder.
void LoadStartupState(Session& session);
// End of the program: the options back to the settings store.
void SaveShutdownState(Session& session);

}  // namespace mv
