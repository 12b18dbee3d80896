#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/Host.h"
#include "run/RunContext.h"
#include "run/RunState.h"
#include "run/ScriptOutput.h"
#include "run/Session.h"

namespace mv {

class SettingsStore;

// The run's state words at one moment, read from any thread.
struct RunStatus {
  bool running = false;       // a run is under way and not stopped
  bool workerActive = false;  // its worker has not ended yet
  bool paused = false;
  bool skipAllowed = false;
};

// The parts of the window title, read by the worker's titles too: the run's state text and the
// suffix the configuration's name gives.
class RunTitle {
 public:
  std::string Suffix() const;
  void SetSuffix(const std::string& suffix);
  void SetState(const std::string& state);
  // The state text (or "Paused") + " - Mervale" + the suffix.
  std::string Compose(bool paused) const;

 private:
  mutable std::mutex mu_;
  std::string state_ = "Ready";
  std::string suffix_;
};

// Starts and controls runs over the session it owns: start, pause, resume, skip and stop, the
// worker and the stop unwind. A window holds one and forwards its commands to it; the batch
// front end drives it directly.
//
// Threads: everything is called on the owning (UI) thread but Status and Title, which any
// thread may call. A run's worker works on its own copies of the options and the working
// profile (RunContext); what the run changes in them comes back in CollectRun, on the UI
// thread, after Host::RunEnded.
class RunController {
 public:
  RunController(Host& host, SettingsStore& settings, std::string programFolder);
  // Stops an active run without questions and waits for it (carrying out its host calls).
  ~RunController();
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  // The record the front ends share; not changed while a worker is active.
  Session& session() { return session_; }
  ScriptOutput& Output() { return output_; }
  // Refused (false) while a worker is active: the connection is the worker's then.
  bool ReplaceConnection(std::unique_ptr<DbConnection> conn);

  // --- commands. A start is refused (message, false) while a run or its worker is active, and
  // without a usable connection.
  bool StartRun();
  // belowNormal: the worker runs one step below normal priority (Start SQL Script and the
  // SQL Library); Rerun Last SQL Script runs it at normal priority.
  bool StartFreeFormRun(bool belowNormal = false);
  void PauseCommand();
  void ResumeCommand();
  void SkipCommand();
  // ask: confirm with the user first (desktop); the batch front end stops without asking.
  void StopCommand(bool ask = true);
  // Cancels the statement the run is executing (a watcher's call after StopFromSignal).
  void CancelInFlight();
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

  // --- from any thread
  RunStatus Status() const;
  // The title composed now. A host showing a worker's title late shows this instead.
  std::string Title() const;
  RunTitle& Titles() { return title_; }

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
  void BeginWorker(void (RunController::*body)(), bool belowNormal);
  // The worker's frame: the body, the stop unwind caught, the end announced.
  void Work(void (RunController::*body)(), bool belowNormal);
  void RunWorker();
  void FreeFormWorker();
  void WriteFooterAndFinish(bool scripting);
  // The profile's statements around a bulk load, when the run scripts data.
  void WriteLoadPreamble();
  void WriteLoadPostamble();
  void WriteStopNote();
  // The exit status an unattended scripting run that stops gives the program.
  void UnattendedStop(int exitStatus);
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
  // A message of the worker; none while the controller is being destroyed.
  void WorkerMessage(const std::string& text);

  Host& host_;
  Session session_;
  RunState state_;
  ScriptOutput output_;
  RunTitle title_;

  // The run in progress (the worker's).
  std::unique_ptr<RunContext> run_;
  RunResult result_;
  std::thread worker_;
  bool onCallingThread_ = false;
  bool scriptingRun_ = false;  // the run in progress scripts the database (not a free-form one)
  bool uncollected_ = false;   // a run has ended whose results CollectRun has not taken back
  // A stop signal that may come before the run has begun: it stops the run at its start.
  std::atomic<bool> signalStop_{false};
  std::atomic<bool> workerActive_{false};
  std::atomic<bool> quiet_{false};
};

}  // namespace mv
