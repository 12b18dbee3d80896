#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "db/OdbcHandles.h"

namespace mv {

class Host;

// One table of the connection's table list.
struct TableEntry {
  std::string name;   // TABLE_NAME as returned
  std::string owner;  // the schema or catalog that holds it, where the list names one
};

// The connection's table list; loaded: read since the connection or its owner last changed.
// Without an owner the list holds the tables the session reaches by their names alone (the
// current schema or database); elsewhere holds the others, which only an owner reaches. The
// engines' own catalogs are in neither.
struct TableList {
  std::vector<TableEntry> entries;
  std::vector<TableEntry> elsewhere;
  bool loaded = false;
  // Why the list could not be read (the catalog failed, or a file answered with nothing
  // because it cannot be read); empty when it was.
  std::string error;
};

// One entry of the owner chooser: text and item data (0 schema or "-not required-", 7777 catalog).
struct OwnerChoice {
  std::string text;
  int data = 0;
};

// The engine behind the driver, from SQL_DBMS_NAME.
enum class Engine { SQLite, PostgreSQL, MariaDB, Other };
// The engine's name as the shipped profiles spell it; empty for Other.
const char* EngineName(Engine e);

// What a connection reaches.
struct ConnectionTarget {
  // As a configuration saves it: the driver's completed string when it can connect again.
  std::string connectString;
  std::string dsn;  // the data source it names, upper case; empty when none
  std::string serverName, userName;
  std::string loginUser;  // the user name, trimmed: an owner other than it is named in the title
  // The owner whose tables are read (empty: none). The catalog mark is kept from the owner probe
  // also when there is no owner.
  std::string owner;
  bool ownerIsCatalog = false;
  std::string title;  // the window's and the script's name for the connection
};

// The title of a connection: user@DSN(server), or what the connect string starts with.
std::string ConnectionTitle(const ConnectionTarget& target);
// The DSN a connect string names, upper case; empty when it names none.
std::string DsnOf(const std::string& connectString);

// What the driver says of the engine.
struct DriverFacts {
  std::string dbmsName;
  Engine engine = Engine::Other;
  std::string identifierQuote;        // "" when none
  std::vector<std::string> keywords;  // its reserved words, upper case
  int identifierCase = 0;             // how it folds unquoted names (SQL_IC_*; 0 unknown)
  // The rows are read in blocks of bound arrays: the driver is measured faster that way, and
  // reads a value again in a block (SQLSetPos, SQLGetData in blocks and on bound columns).
  bool readsInBlocks = false;
  bool hasSchemas = false, hasCatalogs = false;
  std::vector<std::string> schemas, catalogs;
};

// A driver's message: its text (every record) and the first record's SQLSTATE.
struct DriverMessage {
  std::string text;
  std::string sqlState;
};

// The one live ODBC connection with its owner, title and table list. During a run it belongs
// to the worker; the UI thread uses it only while no run is active.
class DbConnection {
 public:
  static constexpr size_t kMaxConnectString = 512;

  ~DbConnection();
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;

  // The data-source chooser of the host. A cancelled choice gives a connection that is not
  // connected, without a message.
  static std::unique_ptr<DbConnection> ConnectInteractive(Host& host);
  static std::unique_ptr<DbConnection> ConnectWithString(Host& host, const std::string& connectString,
                                                         const std::string& owner, const std::string& catalogFlag);

  bool Connected() const { return connected_; }
  // The connection was refused because the owner named does not exist.
  bool OwnerNotFound() const { return ownerNotFound_; }
  const ConnectionTarget& Target() const { return target_; }
  const DriverFacts& Driver() const { return driver_; }
  SQLHDBC dbc() const { return dbc_.get(); }
  // The owner filter a catalog call starts with (it is retried without one when it fails).
  bool FiltersByOwner() const { return !target_.owner.empty() && (driver_.hasSchemas || driver_.hasCatalogs); }

  // Empty on success (statement left open in stmt); else the error text (statement dropped).
  std::string Execute(Statement& stmt, const std::string& sql);
  // Cancels the statement Execute is running, if any (SQLCancel), so that a stop does not wait
  // for it and the server is left running nothing. Any thread may call it.
  // A cancel that came while no statement ran holds for the next one, which then does not
  // run (a stop between statements); a new run clears it.
  void CancelStatement();
  void ClearCancel();
  // Reads the diagnostics of stmt (of the connection when stmt is null) into LastError; false
  // when there was none.
  bool ReadDiagnostics(SQLHSTMT stmt);
  const DriverMessage& LastError() const { return lastError_; }
  // Whether sqlState or the driver says the connection itself is gone.
  bool ConnectionLost(const std::string& sqlState);
  // Puts the session into (or out of) read-only mode in the engine's own words; the error
  // text, empty when it took.
  std::string SetReadOnly(bool on);

  // The owner chooser's entries, the one matching the owner selected (and applied).
  std::vector<OwnerChoice> FillOwnerChooser(int& selected);
  void ApplyOwnerChoice(const std::vector<OwnerChoice>& choices, int selected);
  // The user chose choices[selected]: it becomes the owner, the title follows, and the table
  // list is read again when next needed.
  void ChooseOwner(const std::vector<OwnerChoice>& choices, int selected);

  // Table catalog. stopped, when given, is asked after every row; when it answers true the
  // listing ends at once (the statement freed) and LoadTables returns -1.
  int LoadTables(const std::function<bool()>& stopped = {});
  const TableList& Tables() const { return tables_; }

 private:
  explicit DbConnection(Host& host) : host_(host) {}
  bool AllocHandles();
  // Marks the connection failed and says why.
  void FailConnect(const std::string& reason);
  bool DriverConnect(const std::string& given);
  void ReadServerAndUser();
  void ReadEngineFacts();
  std::string InfoText(SQLUSMALLINT type);
  void ProbeOwners(bool catalogs);
  // The schema (PostgreSQL) or database (MariaDB) names alone reach; nullopt where not known.
  std::optional<std::string> CurrentOwner();
  // Sorts what the catalog listed into the list, elsewhere, or nothing (the engine's own).
  void ScopeTables(std::vector<TableEntry> listed);
  bool IsKnownOwner() const;
  void ApplyCatalog();
  // The steps after a successful driver connect: owners probed, the owner given taken, an unknown
  // owner dropped.
  void ProbeAndCheckOwner(const std::string& owner = {}, const std::string& catalogFlag = {});
  void Disconnect();

  Host& host_;
  EnvHandle env_;
  ConnHandle dbc_;
  bool connected_ = false;
  bool ownerNotFound_ = false;
  ConnectionTarget target_;
  DriverFacts driver_;
  DriverMessage lastError_;
  TableList tables_;
  // The statement Execute is running; the mutex keeps it from being freed while it is cancelled.
  std::mutex inFlightMu_;
  SQLHSTMT inFlight_ = SQL_NULL_HSTMT;
  bool cancelPending_ = false;
};

}  // namespace mv
