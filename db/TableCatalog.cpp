#include "db/DbConnection.h"
#include "db/OdbcText.h"
#include "run/RunOwner.h"

namespace mv {

int DbConnection::LoadTables(int noStopCheck) {
  ClearTables();
  tablesLoaded = 1;
  Statement st;
  if (!Succeeded(SQLAllocStmt(hDbc, st.out()))) return 0;
  // Always exactly this text, quotes included: drivers differ in what they accept, and this
  // is the form the catalogs of the drivers in use understand.
  const std::string type = "'TABLE'";
  SQLRETURN rc;
  if (!s_DatabaseUser.empty() && (hasSchemas || hasCatalogs)) {
    if (b_IsCatalog == 1)
      rc = SQLTables(st.get(), OdbcText(s_DatabaseUser), SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(type),
                     SQL_NTS);
    else
      rc = SQLTables(st.get(), nullptr, SQL_NTS, OdbcText(s_DatabaseUser), SQL_NTS, nullptr, SQL_NTS, OdbcText(type),
                     SQL_NTS);
    if (!Succeeded(rc)) {
      SQLFreeStmt(st.get(), SQL_CLOSE);
      rc = SQLTables(st.get(), nullptr, SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(type), SQL_NTS);
    }
  } else {
    rc = SQLTables(st.get(), nullptr, SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(type), SQL_NTS);
  }
  if (!Succeeded(rc)) {
    FetchErrorText(st.get(), true);
    SQLFreeStmt(st.get(), SQL_CLOSE);
    return 0;
  }
  int count = 0;
  std::string name;
  while (Succeeded(SQLFetch(st.get()))) {
    if (noStopCheck == 0 && view && !view->state.running) {
      st.Drop();
      view->StopInsideListing();
    }
    GetValue(st.get(), 3, name);
    TableEntry entry;
    entry.name = name;
    tables.push_back(std::move(entry));
    ++count;
  }
  SQLFreeStmt(st.get(), SQL_CLOSE);
  return count;
}

}  // namespace mv
