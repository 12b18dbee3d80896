#include "run/RunOwner.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>

#include "profiles/ProfileFile.h"
#include "settings/Filters.h"
#include "shell/SettingsStore.h"
#include "shell/Host.h"

namespace mv {

namespace {
using C = ScriptOutput;

std::string ElapsedText(std::time_t elapsed) {
  long long e = elapsed < 0 ? 0 : static_cast<long long>(elapsed);
  long long hours = e / 3600;
  long long minutes = e / 60 - hours * 60;
  long long seconds = e % 60;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", hours, minutes, seconds);
  return buf;
}
}  // namespace

RunOwner::RunOwner(Host& h, SettingsStore& s, std::string folder)
    : host(h), settings(s), programFolder(std::move(folder)), output(h, opts, working, s, scriptSaved) {
  SetBuiltInDefaults(working);
}

RunOwner::~RunOwner() {
  if (worker_.joinable()) {
    state.running = 0;
    state.paused = 0;
    worker_.join();
  }
}

void RunOwner::LoadStartupState() {
  LoadRunSettings(settings, opts, working, &readOnly);
  DiscoverProfiles(profiles, programFolder, opts.s_WorkingProfile, working, host);
}

void RunOwner::SaveShutdownState() { SaveRunSettings(settings, opts, working); }

void RunOwner::SetStateTitle(const std::string& stateText) {
  std::string title = stateText + " - Mervale" + s_TitleSuffix;
  {
    std::lock_guard lock(titleMutex_);
    lastTitle_ = title;
  }
  host.SetTitle(title);
}

void RunOwner::ReplaceConnection(std::unique_ptr<DbConnection> conn) {
  processedTables.clear();
  connection = std::move(conn);
  if (connection) connection->view = this;
  tableListCurrent = 0;
  tableCount = 0;
}

bool RunOwner::StartRun() {
  if (state.running) {
    host.Message(
        "You cannot start another Mervale before the previuos one ends.\nPress the <stop> icon to terminate the "
        "current Mervale",
        Host::Buttons::Ok);
    return false;
  }
  if (!HasUsableConnection()) {
    host.Message("You must select a database before you can begin.", Host::Buttons::Ok);
    return false;
  }
  if (worker_.joinable()) worker_.join();
  processedTables.clear();
  state.skipAllowed = 0;
  hasRun = 1;
  state.running = 1;
  host.DestroyPanel();
  SetStateTitle("Retrieving Database Information");
  panelShown = host.ShowPanel() ? 1 : 0;
  if (panelShown) host.PanelClearList();
  BeginWorker(&RunOwner::RunWorker);
  return true;
}

bool RunOwner::RerunLast() { return StartRun(); }

void RunOwner::BeginWorker(void (RunOwner::*body)(), bool belowNormal) {
  worker_ = std::thread([this, body, belowNormal] {
    if (belowNormal) {
      // On Linux a thread's nice value is its own: one step nicer is one step below normal.
      const id_t tid = static_cast<id_t>(syscall(SYS_gettid));
      errno = 0;
      const int current = getpriority(PRIO_PROCESS, tid);
      if (errno == 0) setpriority(PRIO_PROCESS, tid, current + 1);
    }
    try {
      (this->*body)();
    } catch (const RunStopped&) {
      // The stop note has been written; nothing follows it.
    } catch (const std::exception& e) {
      // A fault outside the database (memory, a broken host): say so, never end in silence.
      state.running = 0;
      lastRunOutcome = 2;
      host.Message(std::string("The run ended because of an internal error: ") + e.what(), Host::Buttons::Ok);
      output.CloseOutputFile();
    }
    state.running = 0;
    state.paused = 0;
    state.skipAllowed = 0;
  });
}

void RunOwner::Wait() {
  if (worker_.joinable()) worker_.join();
}

void RunOwner::PauseCommand() {
  if (!state.paused) {
    std::lock_guard lock(titleMutex_);
    savedTitle = lastTitle_;
  }
  host.SetTitle("Paused - Mervale" + s_TitleSuffix);
  state.paused = 1;
}

void RunOwner::ResumeCommand() {
  if (state.paused) {
    std::string title;
    {
      std::lock_guard lock(titleMutex_);
      title = savedTitle;
    }
    host.SetTitle(title);
    host.Script().MoveInsertionToEnd();
  }
  state.paused = 0;
}

void RunOwner::SkipCommand() { state.skipRequested = 1; }

void RunOwner::StopCommand(bool ask) {
  if (ask && host.Message("You won't be able to resume this Mervale if you stop it.\nAre you sure you want to stop?",
                          Host::Buttons::YesNo) != Host::Answer::Yes)
    return;
  state.running = 0;
  scriptSaved = 0;
}

void RunOwner::CheckPoint() {
  while (state.paused) {
    if (!state.running) {
      state.paused = 0;
      StopRun();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!state.running) StopRun();
}

void RunOwner::FinishOutput() {
  if (opts.b_AutoSave) {
    output.AutoSaveFlush();
    output.ResetAutoSave();
  }
  if (opts.b_OnlyToFile) {
    scriptSaved = 1;
    output.CloseOutputFile();
  }
}

void RunOwner::WriteStopNote() {
  output.Append("\r\n\r\n" + working.s_Remarks + "  ", C::colorRemarkMarker);
  output.Append("Mervale Stopped ...", C::colorMessage);
  lastRunOutcome = 2;
}

void RunOwner::StopRun() {
  WriteStopNote();
  SetStateTitle("Stopped");
  FinishOutput();
  host.Message("Mervale has been stopped.", Host::Buttons::Ok);
  SetStateTitle("Ready");
  throw RunStopped{};
}

void RunOwner::StopInsideListing() {
  WriteStopNote();
  FinishOutput();
  throw RunStopped{};
}

void RunOwner::RowCheckPoint(Statement& stmt) {
  // The statement is dropped before the stop note, as at every other stop.
  while (state.paused) {
    if (!state.running) {
      state.paused = 0;
      stmt.Drop();
      StopRun();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!state.running) {
    stmt.Drop();
    StopRun();
  }
}

void RunOwner::ReportFetchError(Statement& stmt, const std::string& what) {
  if (connection->lastFetchResult == SQL_NO_DATA || !connection->FetchErrorText(stmt.get(), false)) return;
  // A failing fetch would otherwise end the rows as if all had been read.
  output.Append("\r\n" + working.s_Remarks + "  ERROR: Could not read all rows of " + what + ": " +
                    connection->lastError + "\r\n\r\n",
                C::colorMessage, true);
}

void RunOwner::OpenOnlyToFile(const char* notice) {
  opts.b_OnlyToFile = 0;
  output.Append(std::string(notice) + opts.s_AutoSaveFile + "\r\n\r\n", C::colorMessage);
  opts.b_OnlyToFile = 1;
  scriptSaved = 1;
  output.OpenOutputFile();
}

void RunOwner::RunWorker() {
  ApplyWorkingProfile(profiles, opts.s_WorkingProfile, working);
  // The shorter of the two null attributes is padded so column definitions line up.
  if (working.s_NotNull.size() > working.s_Null.size())
    working.s_Null = ScriptOutput::PadToWidth(working.s_Null, working.s_NotNull.size(), true);
  else
    working.s_NotNull = ScriptOutput::PadToWidth(working.s_NotNull, working.s_Null.size(), true);
  configLoadedSinceRun = 0;
  state.skipRequested = 0;
  state.startTime = std::time(nullptr);
  lastRunOutcome = 0;
  output.ApplyScriptFont();
  if (opts.b_OnlyToFile) OpenOnlyToFile("Output of this script is being written to file: ");
  if (opts.b_DoRemarks) {
    output.Append(working.s_Remarks + "  ", C::colorRemarkMarker);
    output.Append("DATABASE:  ", C::colorText);
    output.Append(connection->title, C::colorName, true);
  }
  AnalysisPhase();
  if (opts.b_DoTabStruct || opts.b_DoTabData) {
    StructurePhase();
    if (opts.b_DoTabData) DataPhase();
  }
  if (opts.b_DoIndex) IndexPhase();
  WriteFooterAndFinish(true);
}

void RunOwner::WriteFooterAndFinish(bool scripting) {
  state.running = 0;
  std::time_t elapsed = std::time(nullptr) - state.startTime.load();
  output.Append(
      "\r\n\r\n" + working.s_Remarks + "  --- End of Mervale --- Elapsed Time: " + ElapsedText(elapsed) + " ---",
      C::colorMessage);
  SetStateTitle("Finished");
  scriptSaved = 0;
  FinishOutput();
  lastRunOutcome = 1;
  if (scripting && !autoStartPath.empty()) {
    autoStartPath.clear();
    if (opts.b_OnlyToFile) {
      // The unattended run ends the program; success is 0.
      autoStartExit = 0;
      return;
    }
    host.ShowMaximized();
  }
  host.Message("Mervale has finished scripting the database", Host::Buttons::Ok);
  SetStateTitle("Ready");
}

void RunOwner::AnalysisPhase() {
  SetStateTitle("Analyzing Database");
  if (!tableListCurrent) {
    tableCount = connection->LoadTables(0);
    tableListCurrent = 1;
  }
  if (opts.b_DoRemarks) {
    output.Append("\r\n\r\n\r\n" + working.s_Remarks + "  ", C::colorRemarkMarker);
    output.Append(std::to_string(tableCount), C::colorName);
    output.Append(tableCount == 1 ? " table was found in " : " tables were found in ", C::colorText);
    output.Append(connection->title + "\r\n\r\n", C::colorName, true);
  }
  host.BarRange(Host::kAnalysisBar, 2 * tableCount);
  host.BarSetStep(Host::kAnalysisBar, 1);
  for (TableEntry& t : connection->tables) {
    CheckPoint();
    if (!TableIsSkipped(opts, t.name)) {
      t.marks[0] = 1;
      t.marks[3] = 1;
      processedTables.push_back(&t);
      host.PanelSelect(host.PanelAddLine(t.name));
      host.BarStep(Host::kAnalysisBar);
    }
  }
  bool first = true;
  if (opts.b_DoTabSkipped && opts.b_DoTabStruct) {
    int last = -1;
    for (TableEntry& t : connection->tables) {
      CheckPoint();
      int found = host.PanelFindLine(t.name, last);
      if (found >= 0) last = found;
      host.PanelSelect(found);
      host.BarStep(Host::kAnalysisBar);
      if (!TableIsSkipped(opts, t.name)) continue;
      if (first) {
        if (opts.b_DoRemarks) {
          output.Append("\r\n" + working.s_Remarks + "  ", C::colorRemarkMarker);
          output.Append("The following tables were not processed\r\n", C::colorText, true);
        }
        first = false;
      }
      if (opts.b_DoRemarks) {
        output.Append(working.s_Remarks + "  \t\t", C::colorRemarkMarker);
        output.Append(t.name + "\r\n", C::colorRemark, true);
      }
    }
  }
  host.BarSetPos(Host::kAnalysisBar, 2 * tableCount);
  if (first) output.Append("\r\n", C::colorRemarkMarker, true);
}

void RunOwner::StructurePhase() {
  const int n = static_cast<int>(processedTables.size());
  host.BarRange(Host::kStructureBar, n);
  host.BarSetStep(Host::kStructureBar, 1);
  host.BarSetStep(Host::kDataBar, 1);
  SetStateTitle("Scripting Structures");
  connection->ScriptTableStructure();
  host.BarSetPos(Host::kStructureBar, n);
}

void RunOwner::DataPhase() { ScriptTableData(); }

void RunOwner::IndexPhase() {
  const int n = static_cast<int>(processedTables.size());
  host.BarRange(Host::kIndexBar, n);
  host.BarSetStep(Host::kIndexBar, 1);
  SetStateTitle("Scripting Indexes");
  connection->ScriptIndexes(1);
  host.BarSetPos(Host::kIndexBar, n);
}

}  // namespace mv
