#include "db/DbConnection.h"
#include "db/OdbcCall.h"
#include "db/OdbcText.h"

namespace mv {

int DbConnection::LoadTables(const std::function<bool()>& stopped) {
  ClearTables();
  tablesLoaded = 1;
  Statement st;
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, dbc(), &h))) return 0;
  st.Reset(h);
  // Always exactly this text, quotes included: drivers differ in what they accept, and this
  // is the form the catalogs of the drivers in use understand.
  const std::string type = "'TABLE'";
  SQLRETURN rc;
  if (FiltersByOwner()) {
    if (b_IsCatalog == 1)
      rc = MV_ODBC(SQLTables, st.get(), OdbcText(s_DatabaseUser), SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS,
                   OdbcText(type), SQL_NTS);
    else
      rc = MV_ODBC(SQLTables, st.get(), nullptr, SQL_NTS, OdbcText(s_DatabaseUser), SQL_NTS, nullptr, SQL_NTS,
                   OdbcText(type), SQL_NTS);
    if (!Succeeded(rc)) {
      MV_ODBC(SQLFreeStmt, st.get(), SQL_CLOSE);
      rc = MV_ODBC(SQLTables, st.get(), nullptr, SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(type), SQL_NTS);
    }
  } else {
    rc = MV_ODBC(SQLTables, st.get(), nullptr, SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(type), SQL_NTS);
  }
  if (!Succeeded(rc)) {
    FetchErrorText(st.get(), true);
    return 0;
  }
  int count = 0;
  std::string name;
  while (Succeeded(MV_ODBC(SQLFetch, st.get()))) {
    if (stopped && stopped()) return -1;
    GetValue(st.get(), 3, name);
    tables.push_back(TableEntry{name});
    ++count;
  }
  return count;
}

}  // namespace mv
