#include "db/DbConnection.h"
#include "db/OdbcText.h"
#include "profiles/Profile.h"
#include "run/RunOwner.h"
#include "settings/Filters.h"
#include "shell/Host.h"

namespace mv {

namespace {
using C = ScriptOutput;
}  // namespace

int DbConnection::ScriptTableStructure() {
  RunOwner& v = *view;
  const Profile& w = v.working;
  const RunOptions& o = v.opts;
  ScriptOutput& out = v.output;
  const std::string& R = w.s_Remarks;
  int total = 0;
  std::string colName, dataType, typeName, columnSize, scale, nullable;

  for (size_t index = 0; index < v.processedTables.size(); ++index) {
    TableEntry& entry = *v.processedTables[index];
    v.CheckPoint();
    const std::string tname = ApplyCase(entry.name, w.i_TableNameCase);
    v.ReadSpecialBrackets();
    const std::string written = v.QuoteTableName(tname);
    std::vector<ColumnInfo> pending;
    bool first = true;

    if (o.b_DoTabStruct) {
      if (o.b_DropTable) {
        out.Append("\r\n", C::colorRemarkMarker, true);
        if (o.b_DoRemarks) {
          out.Append(R + "  ", C::colorRemarkMarker);
          out.Append("Removal of table ", C::colorRemark);
          out.Append(tname + "\r\n\r\n", C::colorSql, true);
        }
        out.Append(w.s_DropTable + " ", C::colorRemark);
        out.Append(written, C::colorSql);
        if (!w.b_ExecuteSameLine) out.Append("\r\n", C::colorSql, true);
        out.Append(w.s_Execute + "\r\n", C::colorRemark, true);
      }
      out.Append("\r\n", C::colorRemarkMarker, true);
      if (o.b_DoRemarks) {
        out.Append(R + "  ", C::colorRemarkMarker);
        out.Append("Structure for table ", C::colorRemark);
        out.Append(tname + "\r\n\r\n", C::colorSql, true);
      }
    }
    v.host.PanelSelect(static_cast<int>(index));
    v.host.BarStep(Host::kStructureBar);
    entry.columns.clear();

    auto writeColumn = [&](const ColumnInfo& col) {
      if (!o.b_DoTabStruct) return;
      const std::string name = v.QuoteColumnName(ApplyCase(col.name, w.i_ColumnNameCase));
      if (first) {
        out.Append(w.s_CreateTable + " ", C::colorRemark);
        out.Append(written + "\t\t" + w.s_LineBreak + "\r\n(\t\t", C::colorSql);
        out.Append(w.s_LineBreak + "\r\n", C::colorSql, true);
        first = false;
      } else {
        out.Append(",\t\t" + w.s_LineBreak + "\r\n", C::colorSql, true);
      }
      out.Append("\t" + ScriptOutput::PadToWidth(name, 25, false), C::colorName);
      out.Append("\t\t" + ScriptOutput::PadToWidth(col.definition, 30, false), C::colorSql);
    };

    Statement st;
    if (!Succeeded(SQLAllocStmt(hDbc, st.out()))) {
      FetchErrorText(nullptr, true);
      return 1;
    }
    SQLRETURN rc = SQL_ERROR;
    if (!s_DatabaseUser.empty() && (hasSchemas || hasCatalogs)) {
      if (b_IsCatalog)
        rc = SQLColumns(st.get(), OdbcText(s_DatabaseUser), SQL_NTS, nullptr, 0, OdbcText(entry.name), SQL_NTS, nullptr,
                        0);
      else
        rc = SQLColumns(st.get(), nullptr, 0, OdbcText(s_DatabaseUser), SQL_NTS, OdbcText(entry.name), SQL_NTS, nullptr,
                        0);
      if (!Succeeded(rc)) SQLFreeStmt(st.get(), SQL_CLOSE);
    }
    if (!Succeeded(rc))
      rc = SQLColumns(st.get(), nullptr, SQL_NTS, nullptr, SQL_NTS, OdbcText(entry.name), SQL_NTS, nullptr, SQL_NTS);
    if (!Succeeded(rc)) {
      FetchErrorText(st.get(), true);
      return 1;
    }

    rc = SQLFetch(st.get());
    // A row fetched with a warning still describes a column; dropping it would lose a column.
    while (Succeeded(rc)) {
      v.CheckPoint();
      ++total;
      // Read through SQLGetData, in column order, so no name is ever cut to a buffer.
      GetValue(st.get(), 4, colName);
      GetValue(st.get(), 5, dataType);
      GetValue(st.get(), 6, typeName);
      bool hasSize = GetValue(st.get(), 7, columnSize);
      bool hasScale = GetValue(st.get(), 9, scale);
      GetValue(st.get(), 11, nullable);
      const int sqlType = static_cast<int>(CatalogNumber(dataType, 0));
      const long size = hasSize ? CatalogNumber(columnSize, 0) : 0;
      const long digits = hasScale ? CatalogNumber(scale, 0) : 0;
      const long nullability = CatalogNumber(nullable, -1);

      const std::string& nullText = nullability == 0 ? w.s_NotNull : nullability == 1 ? w.s_Null : std::string();
      const int category = CategoryOf(sqlType);
      const std::string categoryText = category == kUnknown ? typeName : std::string(CategoryName(category));
      std::string typeText = ColumnTypeText(category, typeName, size, digits, w, o.b_DataType);

      if (!ColumnIsIgnored(o, colName, categoryText)) {
        ColumnInfo col;
        col.name = colName;
        col.sqlType = sqlType;
        col.hasLength = CategoryHasLength(category) ? 1 : 0;
        col.isNumeric = CategoryIsNumeric(category) ? 1 : 0;
        ApplyCaseInPlace(typeText, w.i_DataTypeCase);
        col.definition = w.b_NullBeforeType ? nullText + "\t" + typeText
                                            : ScriptOutput::PadToWidth(typeText, 15, false) + "\t" + nullText;
        if (o.b_Optimize && nullability == 1) {
          pending.push_back(std::move(col));
        } else {
          entry.columns.push_back(col);
          writeColumn(col);
        }
      }
      rc = SQLFetch(st.get());
      if (!Succeeded(rc) && rc != SQL_NO_DATA && FetchErrorText(st.get(), false)) {
        out.Append("\r\n\t" + R + "  ERROR: Could not get information for some/all columns for table " + entry.name +
                       " in database " + title,
                   C::colorMessage);
      }
    }
    for (ColumnInfo& col : pending) {
      entry.columns.push_back(col);
      writeColumn(col);
    }
    st.Drop();

    if (o.b_DoTabStruct) {
      if (first) {
        out.Append(R + "  There are no columns to create table ", C::colorMessage);
        out.Append(tname + "\r\n\r\n", C::colorSql, true);
      } else {
        out.Append("\t\t" + w.s_LineBreak + "\r\n)", C::colorSql);
        if (!w.b_ExecuteSameLine) out.Append("\r\n", C::colorSql, true);
        out.Append(w.s_Execute + "\r\n\r\n", C::colorRemark, true);
      }
    }
  }
  return total;
}

}  // namespace mv
