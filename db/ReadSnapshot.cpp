#include "db/ReadSnapshot.h"

#include <algorithm>

#include "db/DbConnection.h"
#include "db/OdbcCall.h"
#include "db/RowReader.h"

namespace mv {

namespace {

// The strongest level an ODBC driver offers, by SQL_TXN_ISOLATION_OPTION.
struct IsolationLevel {
  SQLUINTEGER bit;
  const char* name;
};
constexpr IsolationLevel kLevels[] = {
    {SQL_TXN_SERIALIZABLE, "SERIALIZABLE"},
    {SQL_TXN_REPEATABLE_READ, "REPEATABLE READ"},
    {SQL_TXN_READ_COMMITTED, "READ COMMITTED"},
    {SQL_TXN_READ_UNCOMMITTED, "READ UNCOMMITTED"},
};

}  // namespace

std::string ReadSnapshot::Begin() {
  End();
  DbConnection& c = connection_;
  Statement stmt;
  std::string error;
  switch (c.Driver().engine) {
    case Engine::SQLite:
      // A deferred transaction takes its snapshot at the first read: read now, so the moment is
      // the start of the run and not that of the first table.
      error = c.Execute(stmt, "BEGIN");
      if (error.find("within a transaction") != std::string::npos) {
        // An earlier run's end was cut short (its ROLLBACK cancelled by a stop): end that one.
        c.Execute(stmt, "ROLLBACK");
        error = c.Execute(stmt, "BEGIN");
      }
      if (error.empty()) {
        active_ = true;
        error = c.Execute(stmt, "SELECT count(*) FROM sqlite_master");
        // A driver that steps rows as they are fetched reads (and meets a lock) only here.
        if (error.empty() && !Succeeded(MV_ODBC(SQLFetch, stmt.get()))) {
          c.ReadDiagnostics(stmt.get());
          error = c.LastError().text.empty() ? std::string("The database could not be read.") : c.LastError().text;
        }
      }
      break;
    case Engine::PostgreSQL:
      error = c.Execute(stmt, "START TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY");
      active_ = error.empty();
      break;
    case Engine::MariaDB:
      error = c.Execute(stmt, "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
      if (error.empty()) error = c.Execute(stmt, "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
      // Servers before the READ ONLY clause: the session is read-only all the same.
      if (!error.empty()) error = c.Execute(stmt, "START TRANSACTION WITH CONSISTENT SNAPSHOT");
      active_ = error.empty();
      break;
    case Engine::Other: {
      SQLUSMALLINT capable = SQL_TC_NONE;
      SQLUINTEGER offered = 0;
      if (!Succeeded(MV_ODBC(SQLGetInfo, c.dbc(), SQL_TXN_CAPABLE, &capable, 0, nullptr)) || capable == SQL_TC_NONE)
        return {};
      if (!Succeeded(MV_ODBC(SQLGetInfo, c.dbc(), SQL_TXN_ISOLATION_OPTION, &offered, 0, nullptr))) offered = 0;
      const auto level = std::find_if(std::begin(kLevels), std::end(kLevels),
                                      [offered](const IsolationLevel& l) { return (offered & l.bit) != 0; });
      if (level != std::end(kLevels) &&
          Succeeded(MV_ODBC(SQLSetConnectAttr, c.dbc(), SQL_ATTR_TXN_ISOLATION,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(level->bit)), 0)))
        isolation_ = level->name;
      if (!Succeeded(MV_ODBC(SQLSetConnectAttr, c.dbc(), SQL_ATTR_AUTOCOMMIT,
                             reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_OFF)), 0))) {
        isolation_.clear();
        c.ReadDiagnostics(nullptr);
        error =
            c.LastError().text.empty() ? std::string("The driver refused to begin a transaction.") : c.LastError().text;
        break;
      }
      active_ = odbcTransaction_ = true;
      break;
    }
  }
  if (!error.empty()) End();
  return error;
}

void ReadSnapshot::End() {
  if (!active_) return;
  active_ = false;
  DbConnection& c = connection_;
  if (odbcTransaction_) {
    odbcTransaction_ = false;
    MV_ODBC(SQLEndTran, SQL_HANDLE_DBC, c.dbc(), SQL_ROLLBACK);
    MV_ODBC(SQLSetConnectAttr, c.dbc(), SQL_ATTR_AUTOCOMMIT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)), 0);
    return;
  }
  Statement stmt;
  c.Execute(stmt, "ROLLBACK");
}

std::vector<TableOutsideSnapshot> ReadSnapshot::TablesOutside(const std::vector<std::string>& tables) {
  std::vector<TableOutsideSnapshot> outside;
  if (!active_ || connection_.Driver().engine != Engine::MariaDB || tables.empty()) return outside;
  Statement stmt;
  const std::string& owner = connection_.Target().owner;
  const bool ownerIsDatabase = connection_.Target().ownerIsCatalog && !owner.empty();
  // InnoDB is the engine that keeps row versions; every other one is read as it is at that moment.
  std::string sql =
      "SELECT TABLE_NAME, ENGINE FROM information_schema.TABLES WHERE TABLE_TYPE = 'BASE TABLE' AND "
      "ENGINE IS NOT NULL AND ENGINE <> 'InnoDB' AND TABLE_SCHEMA = ";
  sql += ownerIsDatabase ? "?" : "DATABASE()";
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, connection_.dbc(), &h))) return outside;
  stmt.Reset(h);
  std::string param = owner;
  SQLLEN paramLen = static_cast<SQLLEN>(param.size());
  if (ownerIsDatabase && !Succeeded(MV_ODBC(SQLBindParameter, stmt.get(), 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                            std::max<SQLULEN>(1, param.size()), 0, param.data(), paramLen, &paramLen)))
    return outside;
  if (!Succeeded(MV_ODBC(SQLExecDirect, stmt.get(), reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS))) return outside;
  RowReader reader(stmt);
  std::string name, engine;
  while (reader.Fetch()) {
    reader.Value(1, name);
    reader.Value(2, engine);
    if (std::find(tables.begin(), tables.end(), name) != tables.end()) outside.push_back({name, engine});
  }
  return outside;
}

}  // namespace mv
