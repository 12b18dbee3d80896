#pragma once
#include <functional>
#include <string>
#include <vector>

#include "base/Host.h"
#include "db/EngineTypes.h"
#include "db/OdbcHandles.h"
#include "profiles/Profile.h"
#include "run/ScriptNames.h"
#include "run/ScriptWriter.h"
#include "settings/RunOptions.h"

namespace mv {

class DbConnection;
class ScriptOutput;
class SettingsStore;
struct RunState;

// One kept column of a table, recorded by the structure pass for the data phase.
struct ColumnInfo {
  std::string name;        // COLUMN_NAME as returned
  std::string definition;  // text written after the column name
  int sqlType = 0;         // DATA_TYPE as the driver reported it: the values are read by it
  int category = 0;        // the category the CREATE TABLE used (the engine's, where it corrected the driver)
  bool isNumeric = false;
  // How the values must be read to arrive as the engine holds them.
  EngineRead engineRead = EngineRead::AsReported;
  // A number type of the profile's own: a text that is no number cannot go into it.
  bool numberTyped = false;
};

// One table a run processes, with the columns the structure pass kept.
struct RunTable {
  std::string name;  // TABLE_NAME as returned
  std::vector<ColumnInfo> columns;
  // Every column the catalog named, kept or not (an index entry that is none is an expression).
  std::vector<std::string> catalogColumns;
};

// How the data phase learns each table's row count for a progress display.
enum class RowEstimate {
  None,        // not at all
  Statistics,  // from the catalog's statistics
  Count,       // by a COUNT(*) first
};

// What a run's worker works with: its own copies of the options and the working profile, the
// connection (the worker's alone during the run), the output and the run's calls back into
// the controller (check points and titles). The phases take this instead of the controller.
struct RunContext {
  RunContext(Host& h, DbConnection& c, SettingsStore& s, ScriptOutput& o, RunState& st)
      : host(h), connection(c), settings(s), output(o), state(st), script(o, working, opts) {}

  Host& host;
  DbConnection& connection;
  SettingsStore& settings;
  ScriptOutput& output;
  RunState& state;

  RunOptions opts;
  Profile working;
  // The statement vocabulary, in the working profile's words.
  ScriptWriter script;
  std::vector<RunTable> tables;
  ScriptNames names;
  RowEstimate rowEstimate = RowEstimate::None;
  // Tables whose structure, rows or indexes could not be read whole, in the order met.
  std::vector<std::string> errorTables;
  // Records that table could not be read whole (once per table).
  void TableError(const std::string& table) {
    for (const std::string& t : errorTables)
      if (t == table) return;
    errorTables.push_back(table);
  }

  // Waits while paused; stops the run (stop note, then unwinding) when it was stopped.
  std::function<void()> checkPoint;
  // The same before each row of a result, with the statement freed before the stop note.
  std::function<void(Statement&)> rowCheckPoint;
  // Title: state + " - Mervale" + the configuration suffix.
  std::function<void(const std::string&)> setStateTitle;
  // Ends the run at once with the stop note: the connection is gone, nothing more can be read.
  std::function<void()> connectionLost;
  // Ends the run with the stop note when it was stopped while the table list was read.
  std::function<void()> listingStopped;
  // Set while a statement spans rows (several rows per INSERT): ends it before the stop note,
  // so a stopped script holds only whole statements.
  std::function<void()> closeOpenStatement;
  // The profile's load postamble is still to be written (before the footer or the stop note).
  bool postamblePending = false;
};

}  // namespace mv
