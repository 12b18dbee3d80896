#include "run/RunController.h"

#include "run/ConstraintScripter.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>

#include "base/SettingsStore.h"
#include "base/TextRules.h"
#include "db/ReadSnapshot.h"
#include "profiles/ProfileFile.h"
#include "run/ConstraintScripter.h"
#include "run/ScriptNames.h"
#include "run/Scripters.h"
#include "run/StartRules.h"

namespace mv {

namespace {
std::string ElapsedText(std::time_t elapsed) {
  long long e = elapsed < 0 ? 0 : static_cast<long long>(elapsed);
  long long hours = e / 3600;
  long long minutes = e / 60 - hours * 60;
  long long seconds = e % 60;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", hours, minutes, seconds);
  return buf;
}
// Names are data: a line break or a control character in one must not end its line.
std::string OneLine(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c >= 0x20 && c != 0x7F) {
      out += static_cast<char>(c);
      continue;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
  }
  return out;
}
// The tables a run could not read whole, for its last message.
std::string ErrorTablesText(const std::vector<std::string>& tables) {
  if (tables.empty()) return {};
  std::string text = "\n\nThese could not be read whole (the ERROR remarks in the script say why):";
  for (const std::string& t : tables) text += "\n    " + OneLine(t);
  return text;
}
// The tables read outside the run's snapshot, for its last message.
std::string OutsideSnapshotText(const std::vector<TableOutsideSnapshot>& tables) {
  if (tables.empty()) return {};
  std::string text = "\n\nWarning: these tables keep no snapshot, so their rows are of a later moment:";
  for (const TableOutsideSnapshot& t : tables) text += "\n    " + OneLine(t.name) + " (" + OneLine(t.engine) + ")";
  return text;
}
}  // namespace

std::string RunTitle::Suffix() const {
  std::lock_guard lock(mu_);
  return suffix_;
}

void RunTitle::SetSuffix(const std::string& suffix) {
  std::lock_guard lock(mu_);
  suffix_ = suffix;
}

void RunTitle::SetState(const std::string& state) {
  std::lock_guard lock(mu_);
  state_ = state;
}

std::string RunTitle::Compose(bool paused) const {
  std::lock_guard lock(mu_);
  return (paused ? std::string("Paused") : state_) + " - Mervale" + suffix_;
}

RunController::RunController(Host& h, SettingsStore& s, std::string folder)
    : host_(h), session_(h, s, std::move(folder)), output_(h, s) {
  SetBuiltInDefaults(session_.working);
}

RunController::~RunController() {
  if (workerActive_) {
    // Nothing may wait for the worker while it waits for the UI thread: the host keeps
    // carrying out its calls until it has ended.
    quiet_ = true;
    state_.running = 0;
    state_.paused = 0;
    host_.WaitWhileProcessing([this] { return !workerActive_.load(); });
  }
  if (worker_.joinable()) worker_.join();
}

RunStatus RunController::Status() const {
  return {state_.running.load() != 0, workerActive_.load(), state_.paused.load() != 0, state_.skipAllowed.load() != 0};
}

std::string RunController::Title() const { return title_.Compose(state_.paused && workerActive_); }

void RunController::SetStateTitle(const std::string& stateText) {
  title_.SetState(stateText);
  // While paused the title stays "Paused"; the new state shows on resume.
  if (!state_.paused) host_.SetTitle(Title());
  host_.RunStateChanged();
}

bool RunController::ReplaceConnection(std::unique_ptr<DbConnection> conn) {
  if (workerActive_) return false;
  session_.connection = std::move(conn);
  output_.SetSourceConnectString(session_.connection ? session_.connection->Target().connectString : std::string());
  return true;
}

bool RunController::RefuseStart(const char* message) {
  host_.Message(message, Host::Buttons::Ok);
  return false;
}

std::unique_ptr<RunContext> RunController::MakeContext() {
  auto ctx = std::make_unique<RunContext>(host_, *session_.connection, session_.settings, output_, state_);
  ctx->opts = session_.opts;
  ctx->working = session_.working;
  ctx->rowEstimate = session_.rowEstimate;
  ctx->checkPoint = [this] { CheckPoint(); };
  ctx->rowCheckPoint = [this](Statement& stmt) { RowCheckPoint(stmt); };
  ctx->setStateTitle = [this](const std::string& s) { SetStateTitle(s); };
  ctx->connectionLost = [this] { StopForLostConnection(); };
  ctx->listingStopped = [this] { StopInsideListing(); };
  return ctx;
}

bool RunController::PrepareStart(const char* busy, const char* noDatabase) {
  if (state_.running || workerActive_) return RefuseStart(busy);
  if (!session_.HasUsableConnection()) return RefuseStart(noDatabase);
  output_.SetSourceConnectString(session_.connection->Target().connectString);
  session_.connection->ClearCancel();
  const RunOptions& o = session_.opts;
  if ((o.b_OnlyToFile || o.b_AutoSave) && output_.IsSourceFile(o.s_AutoSaveFile))
    return RefuseStart(
        ("The script file " + o.s_AutoSaveFile + " is the source database: the run was not started.").c_str());
  // The last run's worker has ended (RunEnded came before this command); take back its results.
  CollectRun();
  session_.configLoadedSinceRun = false;
  run_ = MakeContext();
  state_.skipAllowed = 0;
  state_.running = 1;
  host_.DestroyPanel();
  return true;
}

bool RunController::StartRun() {
  if (!state_.running && !workerActive_ && session_.HasUsableConnection()) {
    const NameProblem problem = FindNameProblem(session_);
    if (problem.kind != NameProblem::Kind::None) return RefuseStart(problem.text.c_str());
  }
  if (!PrepareStart(BusyMessage(RunKind::Scripting), "You must select a database before you can begin.")) return false;
  session_.hasRun = true;
  scriptingRun_ = true;
  SetStateTitle("Retrieving Database Information");
  if (host_.ShowPanel()) host_.PanelClearList();
  BeginWorker(&RunController::RunWorker, false);
  return true;
}

bool RunController::StartFreeFormRun(bool belowNormal) {
  if (!PrepareStart(BusyMessage(RunKind::FreeForm), "You must have a database sources before you can begin."))
    return false;
  session_.lastSqlAvailable = true;
  scriptingRun_ = false;
  host_.RunStateChanged();
  BeginWorker(&RunController::FreeFormWorker, belowNormal);
  return true;
}

void RunController::BeginWorker(void (RunController::*body)(), bool belowNormal) {
  result_ = RunResult{};
  result_.autoStartDone = false;
  workerActive_ = true;
  uncollected_ = true;
  if (onCallingThread_)
    Work(body, belowNormal);
  else
    worker_ = std::thread([this, body, belowNormal] { Work(body, belowNormal); });
}

void RunController::Work(void (RunController::*body)(), bool belowNormal) {
  if (signalStop_.exchange(false)) state_.running = 0;
  if (belowNormal && !onCallingThread_) {
    // On Linux a thread's nice value is its own: one step nicer is one step below normal.
    const id_t tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (errno == 0) setpriority(PRIO_PROCESS, tid, current + 1);
  }
  try {
    (this->*body)();
  } catch (const RunStopped&) {
    // The stop note has been written (and the outcome set); nothing follows it.
  } catch (const std::exception& e) {
    // A fault outside the database (memory, a broken host): say so, never end in silence.
    state_.running = 0;
    result_.outcome = RunOutcome::Failed;
    if (run_) AbandonTableFolders(*run_);
    output_.CloseOutputFile();
    WorkerMessage(std::string("The run ended because of an internal error: ") + e.what());
  }
  state_.running = 0;
  state_.paused = 0;
  state_.skipAllowed = 0;
  // A stop that came between statements cancels nothing after the run.
  if (session_.connection) session_.connection->ClearCancel();
  const RunOutcome outcome = result_.outcome;
  // Cleared before the notice, so whoever handles it sees the run's final state.
  workerActive_ = false;
  host_.RunStateChanged();
  host_.RunEnded(outcome);
}

void RunController::CollectRun() {
  if (!uncollected_) return;
  uncollected_ = false;
  if (worker_.joinable()) worker_.join();
  if (!run_) return;
  // What the run changed in its copies comes back here, on the UI thread.
  session_.opts.b_AutoSave = output_.Mode().autoSave ? 1 : 0;
  session_.opts.b_OnlyToFile = output_.Mode().onlyToFile ? 1 : 0;
  session_.working = run_->working;
  session_.lastOutcome = result_.outcome;
  if (result_.autoStartDone) session_.autoStartPath.clear();
  if (result_.autoStartExit >= 0) session_.autoStartExit = result_.autoStartExit;
  session_.lastRun = std::move(run_);
}

void RunController::Wait() {
  host_.WaitWhileProcessing([this] { return !workerActive_.load(); });
  CollectRun();
}

void RunController::WorkerMessage(const std::string& text) {
  if (!quiet_) host_.Message(text, Host::Buttons::Ok);
}

void RunController::PauseCommand() {
  state_.paused = 1;
  host_.SetTitle(Title());
  host_.RunStateChanged();
}

void RunController::ResumeCommand() {
  if (state_.paused) {
    state_.paused = 0;
    host_.SetTitle(Title());
    host_.Script().MoveInsertionToEnd();
  }
  state_.paused = 0;
  host_.RunStateChanged();
}

void RunController::SkipCommand() { state_.skipRequested = 1; }

void RunController::StopCommand(bool ask) {
  if (ask && host_.Message("You won't be able to resume this Mervale if you stop it.\nAre you sure you want to stop?",
                           Host::Buttons::YesNo) != Host::Answer::Yes)
    return;
  state_.running = 0;
  CancelInFlight();
  host_.RunStateChanged();
}

void RunController::CancelInFlight() {
  if (workerActive_ && session_.connection) session_.connection->CancelStatement();
}

void RunController::CheckPoint() {
  while (state_.paused) {
    if (!state_.running) {
      state_.paused = 0;
      StopRun();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!state_.running) StopRun();
}

[[gnu::hot]] void RunController::RowCheckPoint(Statement& stmt) {
  // The statement is dropped before the stop note, as at every other stop.
  while (state_.paused) {
    if (!state_.running) {
      state_.paused = 0;
      stmt.Drop();
      StopRun();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!state_.running) {
    stmt.Drop();
    StopRun();
  }
}

void RunController::WriteStopNote() {
  AbandonTableFolders(*run_);
  if (run_->closeOpenStatement) run_->closeOpenStatement();
  WriteLoadPostamble();
  output_.Append("\r\n\r\n" + run_->working.s_Remarks + "  ", ScriptOutput::colorRemarkMarker);
  // A script ends with a line end, so a statement appended to it is not part of the remark.
  output_.Append("Mervale Stopped ...\r\n", ScriptOutput::colorMessage);
  result_.outcome = RunOutcome::Stopped;
}

void RunController::StopRun() {
  WriteStopNote();
  UnattendedStop(5);
  SetStateTitle("Stopped");
  output_.SetSaved(false);
  output_.FinishRun();
  WorkerMessage("Mervale has been stopped.");
  SetStateTitle("Ready");
  throw RunStopped{};
}

void RunController::StopForLostConnection() {
  WriteStopNote();
  // Not a stop the user asked for: the run ended with tables it could not read.
  result_.outcome = RunOutcome::FinishedWithErrors;
  UnattendedStop(6);
  SetStateTitle("Stopped");
  output_.SetSaved(false);
  output_.FinishRun();
  WorkerMessage("The connection to the database was lost. The script is not complete: it ends with the stop note." +
                ErrorTablesText(run_->errorTables));
  SetStateTitle("Ready");
  throw RunStopped{};
}

void RunController::UnattendedStop(int exitStatus) {
  // A stopped unattended run is no success: it ends the program as the batch program ends.
  if (scriptingRun_ && !session_.autoStartPath.empty() && output_.Mode().onlyToFile) {
    result_.autoStartDone = true;
    result_.autoStartExit = exitStatus;
  }
}

void RunController::StopInsideListing() {
  WriteStopNote();
  UnattendedStop(5);
  output_.SetSaved(false);
  output_.FinishRun();
  throw RunStopped{};
}

void RunController::OpenOnlyToFile(const char* notice) {
  OutputMode& mode = output_.Mode();
  mode.onlyToFile = false;
  output_.Append(std::string(notice) + mode.file + "\r\n\r\n", ScriptOutput::colorMessage);
  mode.onlyToFile = true;
  output_.SetSaved(true);
  output_.OpenOutputFile();
}

void RunController::BeginOutput(const char* notice) {
  const RunContext& ctx = *run_;
  state_.skipRequested = 0;
  state_.startTime = std::time(nullptr);
  output_.BeginRun(
      {ctx.opts.b_OnlyToFile != 0, ctx.opts.b_AutoSave != 0, ctx.opts.i_AutoSaveLines, ctx.opts.s_AutoSaveFile},
      ctx.working.s_Remarks);
  output_.SetLineFilter(ctx.opts.b_LineFeeds != 0, ctx.opts.b_TrimLineEnds != 0);
  if (ctx.opts.b_OnlyToFile) OpenOnlyToFile(notice);
}

void RunController::RunWorker() {
  RunContext& ctx = *run_;
  Profile& profile = ctx.working;
  ApplyWorkingProfile(session_.profiles, ctx.opts.s_WorkingProfile, profile);
  // The shorter of the two null attributes is padded so column definitions line up.
  if (profile.s_NotNull.size() > profile.s_Null.size())
    profile.s_Null = PadToWidth(profile.s_Null, profile.s_NotNull.size(), true);
  else
    profile.s_NotNull = PadToWidth(profile.s_NotNull, profile.s_Null.size(), true);
  BeginOutput("Output of this script is being written to file: ");
  // Scripting only reads: the session says so to the engine, so nothing can write to the source.
  const std::string readOnly = ctx.connection.SetReadOnly(true);
  if (ctx.opts.b_DoRemarks) {
    output_.Write(profile.s_Remarks + "  ", TextRole::RemarkMarker);
    output_.Write("DATABASE:  ", TextRole::Text);
    output_.Write(RemarkSafe(ctx.connection.Target().title), TextRole::Name, true);
  }
  if (!readOnly.empty())
    ctx.script.MessageRemark("NOTE: The session could not be made read-only: " + readOnly, "\r\n", "");
  // Everything from the table list to the last row is read at one moment of the database.
  ReadSnapshot snapshot(ctx.connection);
  const std::string snapshotError = snapshot.Begin();
  if (!snapshotError.empty() && ctx.connection.Driver().engine != Engine::Other) {
    // The engines named all give one; when theirs is refused (a locked SQLite file) nothing
    // can be read at all, and a script of nothing would pass for an empty database.
    ctx.script.MessageRemark("ERROR: The database could not be read: " + snapshotError, "\r\n", "");
    ctx.runError = "The database could not be read, so nothing was scripted:\n\n" + snapshotError;
    WriteFooterAndFinish(true);
    return;
  }
  if (!snapshotError.empty())
    ctx.script.MessageRemark("NOTE: The database could not be read at one moment: " + snapshotError, "\r\n", "");
  else if (!snapshot.Isolation().empty())
    ctx.script.MessageRemark("NOTE: Read in one transaction at isolation level " + snapshot.Isolation(), "\r\n", "");
  ctx.snapshot = &snapshot;
  if (OpenTableFolders(ctx)) {
    AnalysisPhase(ctx);
    PrepareConstraints(ctx);
    ObjectsBeforeTables(ctx);
    if (ctx.opts.b_DoTabData) WriteLoadPreamble();
    if (ctx.opts.b_DoTabStruct || ctx.opts.b_DoTabData) {
      StructurePhase(ctx);
      if (ctx.opts.b_DoTabData) DataPhase(ctx);
    }
    if (ctx.opts.b_DoIndex) IndexPhase(ctx);
    KeysPhase(ctx);
    ObjectsAfterTables(ctx);
    WriteLoadPostamble();
    FinishTableFolders(ctx);
  }
  snapshot.End();
  ctx.snapshot = nullptr;
  WriteFooterAndFinish(true);
}

void RunController::WriteLoadPreamble() {
  RunContext& ctx = *run_;
  const Profile& profile = ctx.working;
  if (!profile.s_LoadPreamble.empty()) output_.Write("\r\n" + profile.s_LoadPreamble + "\r\n", TextRole::Sql, true);
  ctx.postamblePending = !profile.s_LoadPostamble.empty();
}

void RunController::WriteLoadPostamble() {
  RunContext& ctx = *run_;
  if (!ctx.postamblePending) return;
  ctx.postamblePending = false;
  output_.Write("\r\n" + ctx.working.s_LoadPostamble + "\r\n", TextRole::Sql, true);
}

void RunController::FreeFormWorker() {
  RunContext& ctx = *run_;
  BeginOutput("Output of this report is being written to file: ");
  // The statement is the user's own and runs as typed.
  ctx.connection.SetReadOnly(false);
  WriteFreeFormHeader(ctx);
  state_.skipAllowed = 1;
  RunStatement(ctx, ctx.opts.s_GlobalPassSql);
  state_.skipAllowed = 0;
  WriteFooterAndFinish(false);
}

void RunController::WriteFooterAndFinish(bool scripting) {
  state_.running = 0;
  std::time_t elapsed = std::time(nullptr) - state_.startTime.load();
  // The elapsed time changes on every run: a script meant for comparing leaves it out.
  const std::string time =
      run_->opts.b_NoElapsedTime ? std::string() : " Elapsed Time: " + ElapsedText(elapsed) + " ---";
  output_.Append("\r\n\r\n" + run_->working.s_Remarks + "  --- End of Mervale ---" + time + "\r\n",
                 ScriptOutput::colorMessage);
  SetStateTitle("Finished");
  output_.SetSaved(false);
  output_.FinishRun();
  const bool clean = run_->errorTables.empty() && run_->runError.empty() && run_->listingError.empty();
  result_.outcome = clean ? RunOutcome::Finished : RunOutcome::FinishedWithErrors;
  if (scripting && !session_.autoStartPath.empty()) {
    result_.autoStartDone = true;
    if (output_.Mode().onlyToFile) {
      // The unattended run ends the program with the batch program's statuses: 0 finished,
      // 6 with tables it could not read whole.
      result_.autoStartExit = clean ? 0 : 6;
      return;
    }
    host_.ShowMaximized();
  }
  // A script that never reached its file was not written: the front end says why instead.
  if (!run_->runError.empty())
    WorkerMessage(run_->runError);
  else if (host_.Script().Delivered())
    WorkerMessage("Mervale has finished scripting the database" + ErrorTablesText(run_->errorTables) +
                  OutsideSnapshotText(run_->outsideSnapshot) + NotScriptedText(run_->notScripted.Items()));
  SetStateTitle("Ready");
}

}  // namespace mv
