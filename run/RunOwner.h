#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/RunState.h"
#include "run/ScriptOutput.h"
#include "settings/RunOptions.h"

namespace mv {

class Host;
class SettingsStore;

// Everything a run needs, owned for the life of the program: options, profiles, the working
// copy, the connection, the run state and the output. A window holds one and forwards its
// commands to it; the batch front end drives it directly.
//
// Threads: the commands (Pause, Resume, Skip, Stop) may be called from any thread and only
// change RunState words. Everything else is called on the owning thread while no run is active,
// or on the worker during a run. Host calls made by the worker are synchronous.
class RunOwner {
 public:
  RunOwner(Host& host, SettingsStore& settings, std::string programFolder);
  ~RunOwner();
  RunOwner(const RunOwner&) = delete;
  RunOwner& operator=(const RunOwner&) = delete;

  // Start-up: the remembered options, then the profiles of the program folder.
  void LoadStartupState();
  // End of the program: the options back to the settings store.
  void SaveShutdownState();

  // --- run controller
  // Refused (message, false) while a run is active.
  bool StartRun();
  bool RerunLast();
  void PauseCommand();
  void ResumeCommand();
  void SkipCommand();
  // ask: confirm with the user first (desktop); the batch front end stops without asking.
  void StopCommand(bool ask = true);
  // Waits for the worker thread to end.
  void Wait();
  bool IsRunning() const { return state.running.load() != 0; }

  void CheckPoint();
  [[noreturn]] void StopRun();
  // The listing's own stop: stop note, flush and close, no title, no message.
  [[noreturn]] void StopInsideListing();
  // The check before each row of a result: waits while paused, stops with the statement dropped.
  void RowCheckPoint(Statement& stmt);
  // After the last row: a remark when the rows ended on a fetch error rather than their end.
  void ReportFetchError(Statement& stmt, const std::string& what);

  // Title: state + " - Mervale" + s_TitleSuffix.
  void SetStateTitle(const std::string& state);

  // --- data scripter
  void ScriptTableData();
  struct SelectParts {
    std::string select, columnList, typeFlags;
    std::vector<std::string> prefixes, suffixes;
  };
  SelectParts BuildSelect(const TableEntry& entry);
  // Whether a column or index name must be bracketed (the column rule).
  bool IsSpecialColumnName(const std::string& name) const;
  // Whether a table name must be bracketed (the FROM rule).
  bool IsSpecialTableName(const std::string& name) const;
  // name with the brackets when special (column rule or FROM rule).
  std::string QuoteColumnName(const std::string& name) const;
  std::string QuoteTableName(const std::string& name) const;
  void ReadSpecialBrackets();
  // Writes a COMMIT (with the Execute command when the profile asks for it).
  void WriteCommit(bool tableEnd);
  void WriteInsert(const std::string& table, const std::string& columns, const std::string& row);
  // The fixed pieces of every INSERT, built once per phase rather than once per row.
  void PrepareStatementPieces();

  // --- free-form run
  // belowNormal: the worker runs one step below normal priority (Start SQL Script and the
  // SQL Library); Rerun Last SQL Script runs it at normal priority.
  bool StartFreeFormRun(bool belowNormal = false);
  void RunStatement(const std::string& sql);

  // --- connection
  void ReplaceConnection(std::unique_ptr<DbConnection> conn);
  bool HasUsableConnection() const { return connection && !connection->notConnected; }

  Host& host;
  SettingsStore& settings;
  std::string programFolder;

  RunOptions opts;
  ProfileList profiles;
  Profile working;
  std::unique_ptr<DbConnection> connection;
  RunState state;
  int scriptSaved = 1;
  int saveCancelled = 0;
  int hasRun = 0;
  int configLoadedSinceRun = 0;
  int lastSqlAvailable = 0;
  int readOnly = 1;
  // Whether the connection's table list is current (the analysis reloads it when not).
  int tableListCurrent = 0;
  int tableCount = 0;
  std::vector<TableEntry*> processedTables;
  std::string savedTitle;
  int panelShown = 0;

  // Configuration file state.
  std::string s_ConfigFile;
  std::string s_TitleSuffix;
  std::string titleBase = "--";
  std::string documentTitle = "Ready";
  // Set by AutoStart: the run was started from a configuration named at start-up.
  std::string autoStartPath;
  // Exit status the program should end with after an automatic start (-1: keep running).
  int autoStartExit = -1;
  // How the last run ended: 0 none yet, 1 finished, 2 stopped.
  int lastRunOutcome = 0;

  ScriptOutput output;

 private:
  void BeginWorker(void (RunOwner::*body)(), bool belowNormal = false);
  void RunWorker();
  void FreeFormWorker();
  void AnalysisPhase();
  void StructurePhase();
  void DataPhase();
  void IndexPhase();
  void WriteFooterAndFinish(bool scripting);
  void WriteStopNote();
  // The pending auto-save is flushed and the output file closed, at every end of a run.
  void FinishOutput();
  void OpenOnlyToFile(const char* notice);

  std::thread worker_;
  std::mutex titleMutex_;
  std::string lastTitle_;
  std::string specOpen_ = "\"", specClose_ = "\"";
  std::string insertHead_, lineBreakEnd_, executeEnd_;
  std::string statement_;
};

}  // namespace mv
