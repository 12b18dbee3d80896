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
  int count = 0;
  RowReader reader(st);
  std::string name;
  for (;;) {
    rc = MV_ODBC(SQLFetch, st.get());
    if (!Succeeded(rc)) break;
    if (stopped && stopped()) return -1;
    reader.Value(3, name);
    tables_.entries.push_back(TableEntry{name});
    ++count;
  }
  tables_.loaded = true;
  if (rc != SQL_NO_DATA) {
    ReadDiagnostics(st.get());
    tables_.error = lastError_.text.empty() ? "The table list ended with an error." : lastError_.text;
  } else if (count == 0 && driver_.engine == Engine::SQLite) {
    // The SQLite driver lists a locked file, or one that is no database, as empty: the file
    // itself is asked whether it can be read.
    st.Drop();
    Statement probe;
    const std::string error = Execute(probe, "select count(*) from sqlite_master");
    if (!error.empty())
      tables_.error = error;
    else if (!RowReader(probe).Fetch()) {
      ReadDiagnostics(probe.get());
      tables_.error = lastError_.text.empty() ? "The database file could not be read." : lastError_.text;
    }
  }
  return count;
}

}  // namespace mv
