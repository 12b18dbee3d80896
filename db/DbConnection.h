#pragma once
#include <memory>
#include <string>
#include <vector>

#include "db/OdbcHandles.h"

namespace mv {

class RunOwner;
class Host;

// One kept column of a table, recorded by the structure pass for the data phase.
struct ColumnInfo {
  std::string name;        // COLUMN_NAME as returned
  std::string definition;  // text written after the column name
  int sqlType = 0;
  int hasLength = 0;
  int isNumeric = 0;
};

struct TableEntry {
  std::string name;             // TABLE_NAME as returned
  int marks[4] = {0, 0, 0, 0};  // analysis marks of the run controller
  std::vector<ColumnInfo> columns;
};

// One entry of the owner chooser: text and item data (0 schema or "-not required-", 7777 catalog).
struct OwnerChoice {
  std::string text;
  int data = 0;
};

// The one live ODBC connection with its owner, title, table list and catalog readers.
class DbConnection {
 public:
  static constexpr size_t kMaxConnectString = 512;

  ~DbConnection();
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;

  // The driver manager's own data-source dialog. Without a window there is none: the attempt
  // fails at once with a message instead of waiting for a dialog that cannot appear.
  static std::unique_ptr<DbConnection> ConnectInteractive(Host& host, void* parentWindow);
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
  int FetchErrorText(SQLHSTMT stmt, bool show);
  static void FreeStatement(Statement& stmt) { stmt.Drop(); }
  void ClearTables() { tables.clear(); }
  void Disconnect();

  std::vector<OwnerChoice> FillOwnerChooser(int& selected);
  void ApplyOwnerChoice(const std::vector<OwnerChoice>& choices, int selected);

  // Table catalog. noStopCheck 0: honours a stop request of the run (worker thread).
  int LoadTables(int noStopCheck);
  // Structure, index and statement readers.
  int ScriptTableStructure();
  int ScriptIndexes(int write);
  struct RowLists {
    const std::string* typeFlags = nullptr;
    const std::vector<std::string>* prefixes = nullptr;
    const std::vector<std::string>* suffixes = nullptr;
  };
  int ReadRows(SQLHSTMT stmt, std::string& row, const RowLists& lists, std::string* tableName, std::string* columnList,
               const std::string& sql);
  static std::string TableNameAfterFrom(const std::string& sql);

  SQLHENV env() const { return hEnv; }
  SQLHDBC dbc() const { return hDbc; }

  std::string serverName;
  std::string userName;
  std::string dsn;
  int notConnected = 0;
  std::string s_ConnectString;
  int tablesLoaded = 0;
  RunOwner* view = nullptr;
  std::string title;
  std::string loginUser;
  int b_IsCatalog = 0;
  int hasSchemas = 0;
  int hasCatalogs = 0;
  std::string s_DatabaseUser;
  std::vector<std::string> schemas;
  std::vector<std::string> catalogs;
  std::string lastError;
  std::vector<TableEntry> tables;
  SQLSMALLINT lastFetchResult = 0;
  int rowHadColumns = 0;
  // Values whose SQLGetData failed (read as empty) and the last driver message about it.
  int getDataFailures = 0;
  std::string lastGetDataError;

 private:
  explicit DbConnection(Host& host) : host_(host) {}
  bool AllocHandles();
  // Marks the connection failed and says why.
  void FailConnect(const std::string& reason);
  bool DriverConnect(const char* in, void* parentWindow, SQLUSMALLINT completion);
  void ReadServerAndUser();
  void ProbeOwners(bool catalogs);
  // Reads one value whole with SQLGetData, in pieces, into out. Returns false for NULL.
 public:
  bool GetValue(SQLHSTMT stmt, SQLUSMALLINT col, std::string& out);

 private:
  std::string ColAttributeText(SQLHSTMT stmt, SQLUSMALLINT col, SQLUSMALLINT field);
  SQLLEN ColAttributeNumber(SQLHSTMT stmt, SQLUSMALLINT col, SQLUSMALLINT field);

  Host& host_;
  SQLHENV hEnv = SQL_NULL_HENV;
  SQLHDBC hDbc = SQL_NULL_HDBC;
  bool connected_ = false;
  // Reused across rows so the data phase allocates nothing per value.
  std::vector<char> valueBuf_;
  std::string value_;
  std::string scratch_;
};

}  // namespace mv
