#include "db/PrimaryKey.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "db/DbConnection.h"
#include "db/OdbcCall.h"
#include "db/OdbcHandles.h"
#include "db/OdbcText.h"
#include "db/RowReader.h"

namespace mv {

std::vector<std::string> PrimaryKeyColumns(DbConnection& connection, const std::string& table) {
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, connection.dbc(), &h))) return {};
  Statement st;
  st.Reset(h);
  auto call = [&](SQLCHAR* catalog, SQLSMALLINT catalogLen, SQLCHAR* schema, SQLSMALLINT schemaLen) {
    return MV_ODBC(SQLPrimaryKeys, st.get(), catalog, catalogLen, schema, schemaLen, OdbcText(table), SQL_NTS);
  };
  SQLRETURN rc = SQL_ERROR;
  if (connection.FiltersByOwner()) {
    SQLCHAR* owner = OdbcText(connection.Target().owner);
    rc = connection.Target().ownerIsCatalog ? call(owner, SQL_NTS, nullptr, 0) : call(nullptr, 0, owner, SQL_NTS);
    if (!Succeeded(rc)) MV_ODBC(SQLFreeStmt, st.get(), SQL_CLOSE);
  }
  if (!Succeeded(rc)) rc = call(nullptr, 0, nullptr, 0);
  if (!Succeeded(rc)) return {};
  RowReader reader(st);
  std::vector<std::pair<long, std::string>> keyed;
  std::string name, seq;
  while (reader.Fetch()) {
    // COLUMN_NAME and KEY_SEQ; a row that cannot be read whole makes the key unknown.
    if (!reader.Value(4, name) || !reader.Value(5, seq)) return {};
    keyed.emplace_back(std::strtol(seq.c_str(), nullptr, 10), name);
  }
  if (reader.FetchFailed()) return {};
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> columns;
  for (auto& [seqNo, column] : keyed) columns.push_back(std::move(column));
  return columns;
}

}  // namespace mv
