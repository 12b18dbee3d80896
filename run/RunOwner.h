#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/RunContext.h"
#include "run/RunState.h"
#include "run/ScriptOutput.h"
#include "settings/RunOptions.h"
#include "shell/Host.h"

namespace mv {

class SettingsStore;

// The configuration file state the titles are built from.
struct ConfigState {
  std::string file;              // the configuration last opened or saved
  std::string titleBase = "--";  // the suffix before the first configuration
  std::string documentTitle = "Ready";
};

// Everything a run needs, owned for the life of the program: options, profiles, the working
// copy, the connection, the run state and the output. A window holds one and forwards its
// commands to it; the batch front end drives it directly.
//
// Threads: everything is called on the owning (UI) thread but the state queries, which any
// thread may call. A run's worker works on its own copies of the options and the working
// profile (RunContext); what the run changes in them comes back in CollectRun, on the UI
// thread, after Host::RunEnded. The connection belongs to the worker while a worker is active.
class RunOwner {
 public:
  RunOwner(Host& host, SettingsStore& settings, std::string programFolder);
  // Stops an active run without questions and waits for it (carrying out its host calls).
  ~RunOwner();
  RunOwner(const RunOwner&) = delete;
  RunOwner& operator=(const RunOwner&) = delete;

  // Start-up: the remembered options, then the profiles of the program folder.
  void LoadStartupState();
  // End of the program: the options back to the settings store.
  void SaveShutdownState();

  // --- commands. Refused (message, false) while a worker is active.
  bool StartRun();
  bool RerunLast();
  // belowNormal: the worker runs one step below normal priority (Start SQL Script and the
  // SQL Library); Rerun Last SQL Script runs it at normal priority.
  bool StartFreeFormRun(bool belowNormal = false);
  void PauseCommand();
  void ResumeCommand();
  void SkipCommand();
  // ask: confirm with the user first (desktop); the batch front end stops without asking.
  void StopCommand(bool ask = true);
  // Only clears the running word: safe in a signal handler.
  void StopFromSignal() noexcept {
    signalStop_.store(true);
    state_.running.store(0);
  }
  // Runs the worker's body on the thread that starts the run, which StartRun then returns
  // after, for a host that has nothing else to do meanwhile (the batch program). A process
  // with one thread spares the C library's and the drivers' locks their atomic operations,
  // a fifth of the time a SQLite run takes.
  void SetRunOnCallingThread(bool on) { onCallingThread_ = on; }
  // After Host::RunEnded: joins the ended worker and takes back what the run changed.
  void CollectRun();
  // For hosts without an event loop: waits for the worker to end, then CollectRun.
  void Wait();

  // --- state, from any thread
  bool IsRunning() const { return state_.running.load() != 0; }
  bool IsWorkerActive() const { return workerActive_.load(); }
  bool IsPaused() const { return state_.paused.load() != 0; }
  bool SkipAllowed() const { return state_.skipAllowed.load() != 0; }
  // The title composed now: the run's state text (or "Paused" while paused) + " - Mervale" +
  // the configuration suffix. A host showing a worker's title late shows this instead.
  std::string Title() const;

  // --- records, on the UI thread while no worker is active
  RunOptions& Options() { return opts_; }
  const RunOptions& Options() const { return opts_; }
  ProfileList& Profiles() { return profiles_; }
  Profile& Working() { return working_; }
  DbConnection* Connection() { return connection_.get(); }
  // Refused (false) while a worker is active: the connection is the worker's then.
  bool ReplaceConnection(std::unique_ptr<DbConnection> conn);
  bool HasUsableConnection() const { return connection_ && connection_->Connected(); }
  ScriptOutput& Output() { return output_; }
  bool ScriptSaved() const { return output_.Saved(); }
  void SetScriptSaved(bool saved) { output_.SetSaved(saved); }
  // Asks for a path unless one is given; false when cancelled or nothing was written.
  bool SaveScript(const std::string& givenPath = {});
  bool SaveCancelled() const { return saveCancelled_ != 0; }
  void SetSaveCancelled(bool v) { saveCancelled_ = v ? 1 : 0; }
  bool HasRun() const { return hasRun_; }
  void SetHasRun(bool v) { hasRun_ = v; }
  bool LastSqlAvailable() const { return lastSqlAvailable_; }
  // How the last run ended; nullopt before the first.
  std::optional<RunOutcome> LastOutcome() const { return lastOutcome_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  SettingsStore& Settings() { return settings_; }
  Host& host() { return host_; }
  const std::string& ProgramFolder() const { return programFolder_; }
  ConfigState& Config() { return config_; }
  // Appended to every title (the configuration's name); read by the worker's titles too.
  std::string TitleSuffix() const;
  void SetTitleSuffix(const std::string& suffix);
  // Whether a configuration was loaded since the last run started.
  bool ConfigLoadedSinceRun() const { return configLoadedSinceRun_; }
  void SetConfigLoadedSinceRun(bool v) { configLoadedSinceRun_ = v; }
  // A run started from a configuration named at start-up ends the program after an
  // only-to-file run; AutoStartExit is then its exit status (-1: keep running).
  void SetAutoStart(const std::string& path) { autoStartPath_ = path; }
  const std::string& AutoStartPath() const { return autoStartPath_; }
  int AutoStartExit() const { return autoStartExit_; }
  // The tables the last run could not read whole (its outcome is then FinishedWithErrors).
  std::vector<std::string> ErrorTables() const { return lastRun_ ? lastRun_->errorTables : std::vector<std::string>{}; }
  // How the next runs learn each table's row count for the host's progress (RunContext).
  void SetRowEstimate(RowEstimate mode) { rowEstimate_ = mode; }
  // The last run's context (its tables and kept columns), after CollectRun; null before.
  const RunContext* LastRun() const { return lastRun_.get(); }
  RunContext* LastRun() { return lastRun_.get(); }

 private:
  // What the worker hands back at its end.
  struct RunResult {
    RunOutcome outcome = RunOutcome::Finished;
    int autoStartExit = -1;
    bool autoStartDone = false;
  };

  bool RefuseStart(const char* message);
  // What both kinds of run do before their worker starts; false (with the message) when refused.
  bool PrepareStart(const char* busy, const char* noDatabase);
  std::unique_ptr<RunContext> MakeContext();
  void BeginWorker(void (RunOwner::*body)(), bool belowNormal);
  void RunWorker();
  void FreeFormWorker();
  void WriteFooterAndFinish(bool scripting);
  void WriteStopNote();
  void OpenOnlyToFile(const char* notice);
  // The start of every run's output: its mode, an empty window in the script font, and the
  // only-to-file notice.
  void BeginOutput(const char* notice);
  void CheckPoint();
  void RowCheckPoint(Statement& stmt);
  [[noreturn]] void StopRun();
  // The listing's own stop: stop note, flush and close, no title, no message.
  [[noreturn]] void StopInsideListing();
  // The connection is gone: stop note, the tables not read named, the outcome "with errors".
  [[noreturn]] void StopForLostConnection();
  void SetStateTitle(const std::string& state);
  // A message of the worker; none while the owner is being destroyed.
  void WorkerMessage(const std::string& text);

  Host& host_;
  SettingsStore& settings_;
  std::string programFolder_;

  RunOptions opts_;
  ProfileList profiles_;
  Profile working_;
  std::unique_ptr<DbConnection> connection_;
  RunState state_;
  ScriptOutput output_;
  ConfigState config_;

  int saveCancelled_ = 0;
  bool hasRun_ = false;
  bool configLoadedSinceRun_ = false;
  bool lastSqlAvailable_ = false;
  bool readOnly_ = true;
  RowEstimate rowEstimate_ = RowEstimate::None;
  std::string autoStartPath_;
  int autoStartExit_ = -1;
  std::optional<RunOutcome> lastOutcome_;

  // The run in progress (the worker's) and the last one collected.
  std::unique_ptr<RunContext> run_;
  std::unique_ptr<RunContext> lastRun_;
  RunResult result_;
  std::thread worker_;
  bool onCallingThread_ = false;
  bool uncollected_ = false;  // a run has ended whose results CollectRun has not taken back
  // A stop signal that may come before the run has begun: it stops the run at its start.
  std::atomic<bool> signalStop_{false};
  std::atomic<bool> workerActive_{false};
  std::atomic<bool> quiet_{false};

  mutable std::mutex titleMutex_;
  std::string stateText_ = "Ready";
  std::string titleSuffix_;
};

}  // namespace mv
