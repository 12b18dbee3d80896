#include <strings.h>

#include <initializer_list>

#include "base/Host.h"
#include "db/DbConnection.h"
#include "db/OdbcCall.h"
#include "db/OdbcText.h"
#include "db/RowReader.h"

namespace mv {

int DbConnection::LoadTables(const std::function<bool()>& stopped) {
  // Loaded also when the catalog fails (the run names no tables then); not when stopped.
  tables_ = {};
  Statement st;
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, dbc(), &h))) {
    tables_.loaded = true;
    ReadDiagnostics(nullptr);
    tables_.error = lastError_.text.empty() ? "Could not allocate a statement." : lastError_.text;
    return 0;
  }
  st.Reset(h);
  // Always exactly this text, quotes included: drivers differ in what they accept, and this
  // is the form the catalogs of the drivers in use understand.
  const std::string type = "'TABLE'";
  SQLRETURN rc;
  if (FiltersByOwner()) {
    const std::string& owner = target_.owner;
    if (target_.ownerIsCatalog)
      rc = MV_ODBC(SQLTables, st.get(), OdbcText(owner), SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(type),
                   SQL_NTS);
    else
      rc = MV_ODBC(SQLTables, st.get(), nullptr, SQL_NTS, OdbcText(owner), SQL_NTS, nullptr, SQL_NTS, OdbcText(type),
                   SQL_NTS);
    if (!Succeeded(rc)) {
      MV_ODBC(SQLFreeStmt, st.get(), SQL_CLOSE);
      rc = MV_ODBC(SQLTables, st.get(), nullptr, SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(type), SQL_NTS);
    }
  } else {
    rc = MV_ODBC(SQLTables, st.get(), nullptr, SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(type), SQL_NTS);
  }
  if (!Succeeded(rc)) {
    tables_.loaded = true;
    if (ReadDiagnostics(st.get())) host_.Message(lastError_.text, Host::Buttons::Ok);
    tables_.error = lastError_.text.empty() ? "The driver could not list the tables." : lastError_.text;
    return 0;
  }
  RowReader reader(st);
  std::string catalog, schema, name;
  std::vector<TableEntry> listed;
  for (;;) {
    rc = MV_ODBC(SQLFetch, st.get());
    if (!Succeeded(rc)) break;
    if (stopped && stopped()) return -1;
    catalog.clear();
    schema.clear();
    reader.Value(1, catalog);
    reader.Value(2, schema);
    reader.Value(3, name);
    listed.push_back(TableEntry{name, driver_.engine == Engine::MariaDB ? catalog : schema});
  }
  const bool listedNothing = listed.empty();
  if (rc != SQL_NO_DATA) {
    ReadDiagnostics(st.get());
    tables_.error = lastError_.text.empty() ? "The table list ended with an error." : lastError_.text;
  }
  st.Drop();
  ScopeTables(std::move(listed));
  tables_.loaded = true;
  if (tables_.error.empty() && listedNothing && driver_.engine == Engine::SQLite) {
    // The SQLite driver lists a locked file, or one that is no database, as empty: the file
    // itself is asked whether it can be read.
    Statement probe;
    const std::string error = Execute(probe, "select count(*) from sqlite_master");
    if (!error.empty())
      tables_.error = error;
    else if (!RowReader(probe).Fetch()) {
      ReadDiagnostics(probe.get());
      tables_.error = lastError_.text.empty() ? "The database file could not be read." : lastError_.text;
    }
  }
  return static_cast<int>(tables_.entries.size());
}

namespace {

// What an engine keeps for itself and lists among the tables: never a user's table.
bool EnginesOwn(Engine engine, const TableEntry& t) {
  auto any = [](const std::string& name, std::initializer_list<const char*> words) {
    for (const char* w : words)
      if (strcasecmp(name.c_str(), w) == 0) return true;
    return false;
  };
  switch (engine) {
    case Engine::SQLite:
      return strncasecmp(t.name.c_str(), "sqlite_", 7) == 0;
    case Engine::PostgreSQL:
      return any(t.owner, {"pg_catalog", "information_schema"}) || t.owner.rfind("pg_toast", 0) == 0 ||
             t.owner.rfind("pg_temp", 0) == 0;
    case Engine::MariaDB:
      return any(t.owner, {"mysql", "information_schema", "performance_schema", "sys"});
    case Engine::Other:
      break;
  }
  return false;
}

}  // namespace

std::optional<std::string> DbConnection::CurrentOwner() {
  const char* sql = driver_.engine == Engine::PostgreSQL ? "SELECT current_schema()"
                    : driver_.engine == Engine::MariaDB  ? "SELECT DATABASE()"
                                                         : nullptr;
  if (!sql) return std::nullopt;
  Statement st;
  if (!Execute(st, sql).empty()) return std::nullopt;
  RowReader reader(st);
  std::string owner;
  // No current one (MariaDB without a database): names alone reach nothing.
  if (reader.Fetch()) reader.Value(1, owner);
  return owner;
}

void DbConnection::ScopeTables(std::vector<TableEntry> listed) {
  std::optional<std::string> current;
  // An owner the list was filtered by reaches its tables; without one only the current owner's
  // are reached by their names.
  if (!FiltersByOwner() && (driver_.engine == Engine::PostgreSQL || driver_.engine == Engine::MariaDB))
    current = CurrentOwner();
  for (TableEntry& t : listed) {
    if (EnginesOwn(driver_.engine, t)) continue;
    if (current && t.owner != *current)
      tables_.elsewhere.push_back(std::move(t));
    else
      tables_.entries.push_back(std::move(t));
  }
}

}  // namespace mv
