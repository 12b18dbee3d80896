#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/OdbcHandles.h"

namespace mv {

class Host;

// One table of the connection's table list.
struct TableEntry {
  std::string name;  // TABLE_NAME as returned
};

// One entry of the owner chooser: text and item data (0 schema or "-not required-", 7777 catalog).
struct OwnerChoice {
  std::string text;
  int data = 0;
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

  static std::string ExtractDsn(const std::string& connectString);
  void ProbeSchemas();
  void ProbeCatalogs();
  int IsKnownOwner() const;
  void ApplyCatalog();
  std::string BuildTitle();
  // Empty on success (statement left open in stmt); else the error text (statement dropped).
  std::string Execute(Statement& stmt, const std::string& sql);
  // Reads the diagnostics of stmt (of the connection when stmt is null) into lastError and
  // lastSqlState; shows them when show is set. 1 when there was a message.
  int FetchErrorText(SQLHSTMT stmt, bool show);
  void ClearTables() { tables.clear(); }
  void Disconnect();

  std::vector<OwnerChoice> FillOwnerChooser(int& selected);
  void ApplyOwnerChoice(const std::vector<OwnerChoice>& choices, int selected);

  // Table catalog. stopped, when given, is asked after every row; when it answers true the
  // listing ends at once (the statement freed) and LoadTables returns -1.
  int LoadTables(const std::function<bool()>& stopped = {});

  // Reads one value whole with SQLGetData, in pieces, into out. Returns false for NULL. A
  // failing SQLGetData reads as empty; failed is then set when given.
  bool GetValue(SQLHSTMT stmt, SQLUSMALLINT col, std::string& out, bool* failed = nullptr);
  // The same as a view: into the value buffer when the value came in one piece, else into
  // spill. Valid until the next read of this connection.
  bool GetValueView(SQLHSTMT stmt, SQLUSMALLINT col, std::string_view& view, std::string& spill, bool* failed);
  // The owner filter a catalog call starts with (it is retried without one when it fails):
  // catalog and schema arguments, empty when there is no owner to filter by.
  bool FiltersByOwner() const { return !s_DatabaseUser.empty() && (hasSchemas || hasCatalogs); }

  enum class Engine { SQLite, PostgreSQL, MariaDB, Other };
  // The engine behind the driver, from SQL_DBMS_NAME.
  Engine engine() const;
  // Puts the session into (or out of) read-only mode in the engine's own words; the error
  // text, empty when it took.
  std::string SetReadOnly(bool on);
  // Whether the last error (lastSqlState) or the driver says the connection itself is gone.
  bool ConnectionLost();

  SQLHENV env() const { return env_.get(); }
  SQLHDBC dbc() const { return dbc_.get(); }

  std::string serverName;
  std::string userName;
  std::string dsn;
  int notConnected = 0;
  std::string s_ConnectString;
  int tablesLoaded = 0;
  std::string title;
  std::string loginUser;
  int b_IsCatalog = 0;
  int hasSchemas = 0;
  int hasCatalogs = 0;
  std::string s_DatabaseUser;
  std::vector<std::string> schemas;
  std::vector<std::string> catalogs;
  std::string lastError;
  std::string lastSqlState;
  // The driver's message about the last value whose SQLGetData failed.
  std::string lastGetDataError;
  std::string lastGetDataState;
  std::vector<TableEntry> tables;
  // What the driver says of the engine: its name, the identifier quote ("" when none), its
  // reserved words (upper case) and how it folds unquoted names (SQL_IC_*; 0 unknown).
  std::string dbmsName;
  std::string identifierQuote;
  std::vector<std::string> keywords;
  int identifierCase = 0;

 private:
  explicit DbConnection(Host& host) : host_(host) {}
  bool AllocHandles();
  // Marks the connection failed and says why.
  void FailConnect(const std::string& reason);
  bool DriverConnect(const std::string& in);
  void ReadServerAndUser();
  void ReadEngineFacts();
  std::string InfoText(SQLUSMALLINT type);
  void ProbeOwners(bool catalogs);
  // The steps after a successful driver connect shared by both ways of connecting.
  void AfterConnect(const std::string& owner, const std::string& catalogFlag, bool ownerGiven);

  Host& host_;
  EnvHandle env_;
  ConnHandle dbc_;
  bool connected_ = false;
  std::vector<char> valueBuf_;
};

}  // namespace mv
