#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Host.h"
#include "db/CatalogReaders.h"
#include "db/EngineKeys.h"
#include "db/EngineTypes.h"
#include "db/OdbcHandles.h"
#include "db/ReadSnapshot.h"
#include "db/SchemaObjects.h"
#include "profiles/Profile.h"
#include "run/NotScripted.h"
#include "run/ScriptNames.h"
#include "run/ScriptWriter.h"
#include "run/TableFolder.h"
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
  // A generated column the target computes as the source does: created, never given values.
  bool computed = false;
};

// One table a run processes, with the columns the structure pass kept.
struct RunTable {
  std::string name;  // TABLE_NAME as returned
  std::vector<ColumnInfo> columns;
  // The generated columns the target computes, each with the place in columns it stands
  // before in CREATE TABLE (past the end: last); the rows leave them out.
  std::vector<std::pair<size_t, ColumnInfo>> computedColumns;
  // Every column the catalog named, kept or not (an index entry that is none is an expression).
  std::vector<std::string> catalogColumns;
  // The rows the data phase read, -1 before it did.
  long long rows = -1;
  // The catalog named no column of a table that has some (or could not say): nothing of it is
  // scripted, neither its removal nor its rows.
  bool columnsUnread = false;
  // With keys and constraints on: what the engine declares of the table beyond its columns'
  // types, and which of its foreign keys close a cycle (added after the data in every target).
  std::vector<EngineKey> keys;
  std::vector<EngineColumnFacts> facts;
  std::vector<size_t> cycleKeys;
  // The indexes as the engine declares them (with keys and constraints on, from an engine
  // whose catalog is read), and the key and index names the target takes instead of the
  // source's where the target's index names are the schema's.
  std::vector<EngineIndex> indexes;
  std::map<std::string, std::string> renamed;
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
  // Keys, constraints, defaults and identities are scripted: the option is on and the working
  // profile has the words for them.
  bool constraints = false;
  // The source's sequences that no column owns.
  std::vector<EngineSequence> sequences;
  // Every table's row estimate by name, read once when first asked: 1 read, -1 the tables are
  // asked one by one, 0 not yet.
  std::unordered_map<std::string, long long> rowEstimates;
  int rowEstimatesRead = 0;
  // Every table's column catalog rows and engine types by name, read in one pass before the
  // structure phase (for the engines whose catalogs allow it); a table missing from them is read by itself.
  std::unordered_map<std::string, std::vector<ColumnRow>> catalogRows;
  bool catalogRowsRead = false;
  std::unordered_map<std::string, std::vector<EngineColumn>> engineColumns;
  bool engineColumnsRead = false;
  // The indexes come from the engine's catalog (RunTable::indexes), not the driver's statistics.
  bool engineIndexes = false;
  // The views, types, routines, triggers and comments of the schema, read once before the
  // tables when the profile names a target engine.
  SchemaObjects objects;
  bool objectsRead = false;
  // Tables whose structure, rows or indexes could not be read whole, in the order met.
  std::vector<std::string> errorTables;
  // The run's one moment of the database while the run holds it (null outside), and the tables
  // it does not hold, for the remark and the last message.
  ReadSnapshot* snapshot = nullptr;
  std::vector<TableOutsideSnapshot> outsideSnapshot;
  // Why the run could read nothing at all (its outcome is then FinishedWithErrors); empty else.
  std::string runError;
  // Why the table list could not be read; the run then ends with errors.
  std::string listingError;
  // Records that table could not be read whole (once per table).
  void TableError(const std::string& table) {
    for (const std::string& t : errorTables)
      if (t == table) return;
    errorTables.push_back(table);
  }
  // Objects of the source named in a remark instead of being scripted.
  NotScriptedList notScripted;

  // A file per table: the scripts and the CSV rows; null when the run writes none.
  std::unique_ptr<TableFolder> scriptFolder, csvFolder;
  bool TableFailed(const std::string& table) const {
    for (const std::string& t : errorTables)
      if (t == table) return true;
    return false;
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
