#include <strings.h>

#include "db/DbConnection.h"
#include "db/OdbcText.h"
#include "profiles/Profile.h"
#include "run/RunOwner.h"
#include "shell/Host.h"

namespace mv {

namespace {
using C = ScriptOutput;
}  // namespace

int DbConnection::ScriptIndexes(int write) {
  RunOwner& v = *view;
  const Profile& w = v.working;
  const RunOptions& o = v.opts;
  ScriptOutput& out = v.output;
  const std::string& R = w.s_Remarks;
  int total = 0;
  std::string nonUnique, indexName, type, columnName, previous;

  for (size_t index = 0; index < v.processedTables.size(); ++index) {
    TableEntry& entry = *v.processedTables[index];
    const std::string tname = ApplyCase(entry.name, w.i_TableNameCase);
    v.ReadSpecialBrackets();
    const std::string written = v.QuoteTableName(tname);

    if (write) {
      out.Append("\r\n", C::colorRemarkMarker, true);
      if (o.b_DoRemarks) {
        out.Append(R + "  ", C::colorRemarkMarker);
        out.Append("Indexes for table ", C::colorRemark);
        out.Append(tname + "\r\n\r\n", C::colorSql, true);
      }
    }
    v.host.PanelSelect(static_cast<int>(index));
    v.host.BarStep(Host::kIndexBar);

    Statement st;
    SQLRETURN rc = SQL_ERROR;
    if (Succeeded(SQLAllocStmt(hDbc, st.out()))) {
      if (!s_DatabaseUser.empty() && (hasSchemas || hasCatalogs)) {
        if (b_IsCatalog)
          rc = SQLStatistics(st.get(), OdbcText(s_DatabaseUser), SQL_NTS, nullptr, 0, OdbcText(entry.name), SQL_NTS,
                             SQL_INDEX_ALL, SQL_ENSURE);
        else
          rc = SQLStatistics(st.get(), nullptr, 0, OdbcText(s_DatabaseUser), SQL_NTS, OdbcText(entry.name), SQL_NTS,
                             SQL_INDEX_ALL, SQL_ENSURE);
        if (!Succeeded(rc)) SQLFreeStmt(st.get(), SQL_CLOSE);
      }
      if (!Succeeded(rc))
        rc = SQLStatistics(st.get(), nullptr, 0, nullptr, 0, OdbcText(entry.name), SQL_NTS, SQL_INDEX_ALL, SQL_ENSURE);
    }
    if (!Succeeded(rc)) {
      FetchErrorText(st.get(), false);
      out.Append("\r\n\r\n\r\n" + R + "  The following error ocurred when trying to process indexes in database ",
                 C::colorMessage);
      out.Append(title, C::colorName);
      out.Append("\r\n" + lastError, C::colorMessage);
      return total;
    }

    rc = SQLFetch(st.get());
    if (!Succeeded(rc) && rc != SQL_NO_DATA && FetchErrorText(st.get(), false)) {
      out.Append("\r\n\r\n\r\nThe following error ocurred when trying to process indexes in database ",
                 C::colorMessage);
      out.Append(title, C::colorName);
      out.Append("\r\n" + lastError, C::colorMessage);
    }

    bool firstIndexRow = true;
    bool open = false;
    auto closeIndex = [&] {
      out.Append("\t\t" + w.s_LineBreak + "\r\n)", C::colorSql);
      if (!w.b_ExecuteSameLine) out.Append("\r\n", C::colorSql, true);
      out.Append(w.s_Execute + "\r\n\r\n", C::colorRemark, true);
      open = false;
    };

    while (Succeeded(rc)) {
      v.CheckPoint();
      GetValue(st.get(), 4, nonUnique);
      GetValue(st.get(), 6, indexName);
      GetValue(st.get(), 7, type);
      GetValue(st.get(), 9, columnName);
      const bool tableStat = CatalogNumber(type, 0) == SQL_TABLE_STAT;
      if (!tableStat) {
        ++total;
        const std::string create = (CatalogNumber(nonUnique, 0) == 1 ? w.s_CreateIndex : w.s_CreateUniqueIndex) + " ";
        // Primary keys come back under names no CREATE INDEX can use: SQLite's sqlite_autoindex_N
        // (reserved, and the same in every table) and MariaDB's PRIMARY (a keyword, the same
        // in every table). The table name in front makes them usable and unique.
        const bool internal = strncasecmp(indexName.c_str(), "sqlite_autoindex", 16) == 0 ||
                              strcasecmp(indexName.c_str(), "PRIMARY") == 0;
        const std::string iname = ApplyCase(internal ? entry.name + "_" + indexName : indexName, w.i_IndexNameCase);
        const std::string iwritten = v.QuoteColumnName(iname);
        const std::string cwritten = v.QuoteColumnName(ApplyCase(columnName, w.i_IndexColumnCase));
        if (write) {
          if (firstIndexRow || indexName != previous) {
            if (open) closeIndex();
            if (o.b_DropIndex) {
              out.Append("\r\n", C::colorRemarkMarker, true);
              if (o.b_DoRemarks) {
                out.Append(R + "  ", C::colorRemarkMarker);
                out.Append("Removal of index ", C::colorRemark);
                out.Append(iname + "\r\n\r\n", C::colorSql, true);
              }
              out.Append(w.s_DropIndex + " ", C::colorRemark);
              out.Append(w.b_DropIndexTableName ? written + "." + iwritten : iwritten, C::colorSql);
              if (!w.b_ExecuteSameLine) out.Append("\r\n", C::colorSql, true);
              out.Append(w.s_Execute + "\r\n", C::colorRemark, true);
            }
            out.Append("\r\n", C::colorRemarkMarker, true);
            if (o.b_DoRemarks) {
              out.Append(R + "  ", C::colorRemarkMarker);
              out.Append("Definition of index ", C::colorRemark);
              out.Append(iname + "\r\n\r\n", C::colorSql, true);
            }
            out.Append(create, C::colorRemark);
            out.Append(iwritten, C::colorSql);
            out.Append(" " + w.s_OnTable + " ", C::colorRemark);
            out.Append(written, C::colorSql);
            out.Append("\t\t" + w.s_LineBreak + "\r\n(\t\t" + w.s_LineBreak + "\r\n", C::colorSql, true);
            open = true;
          } else {
            out.Append(",\t\t" + w.s_LineBreak + "\r\n", C::colorSql, true);
          }
          out.Append("\t" + ScriptOutput::PadToWidth(cwritten, 25, false), C::colorName);
        }
        firstIndexRow = false;
        previous = indexName;
      }
      rc = SQLFetch(st.get());
      if (!Succeeded(rc) && rc != SQL_NO_DATA && FetchErrorText(st.get(), false) && write) {
        out.Append("\r\n\t" + R + "  ERROR: Could not get information for some/all " +
                       (tableStat ? "indexes for table " : "columns for index in table ") + tname + " in database " +
                       title,
                   C::colorMessage);
      }
    }
    if (open) closeIndex();
    st.Drop();
  }
  return total;
}

}  // namespace mv
