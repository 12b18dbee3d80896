#include "db/CatalogReaders.h"
#include "db/DbConnection.h"
#include "db/NameQuoting.h"
#include "profiles/Profile.h"
#include "run/RunState.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "run/Statements.h"
#include "settings/Filters.h"
#include "shell/Host.h"

namespace mv {

int ScriptTableStructure(RunContext& ctx) {
  const Profile& profile = ctx.working;
  const RunOptions& opts = ctx.opts;
  ScriptOutput& out = ctx.output;
  DbConnection& db = ctx.connection;
  const std::string& marker = profile.s_Remarks;
  int total = 0;
  CatalogReader reader(db);
  ColumnRow row;
  ScriptText statement;

  for (size_t index = 0; index < ctx.tables.size(); ++index) {
    RunTable& table = ctx.tables[index];
    ctx.checkPoint();
    const std::string tname = ApplyCase(table.name, profile.i_TableNameCase);
    ctx.names.ReadBrackets(ctx.settings, &db);
    const std::string written = ctx.names.ScriptTable(opts, table.name, tname);

    if (opts.b_DoTabStruct) {
      if (opts.b_DropTable) {
        out.BlankLine();
        out.Heading("Removal of table ", tname);
        out.SimpleStatement(profile.s_DropTable, written, "\r\n");
      }
      out.BlankLine();
      out.Heading("Structure for table ", tname);
    }
    ctx.host.PanelSelect(static_cast<int>(index));
    ctx.host.BarStep(Host::kStructureBar);
    table.columns.clear();
    table.catalogColumns.clear();

    if (!reader.OpenColumns(table.name)) {
      // Without a column catalog no later table can be described either.
      db.lastError = reader.error();
      db.lastSqlState = reader.sqlState();
      EndIfConnectionLost(ctx, index);
      for (size_t i = index; i < ctx.tables.size(); ++i) ctx.TableError(ctx.tables[i].name);
      if (!reader.error().empty()) ctx.host.Message(reader.error(), Host::Buttons::Ok);
      return total;
    }
    std::vector<ColumnInfo> pending;
    std::string catalogError;
    for (;;) {
      const CatalogReader::Fetch f = reader.Next(row);
      if (f == CatalogReader::Fetch::Error) {
        db.lastSqlState = reader.sqlState();
        EndIfConnectionLost(ctx, index);
        catalogError = "\r\n\t" + marker + "  ERROR: Could not get information for some/all columns for table " +
                       RemarkSafe(table.name) + " in database " + RemarkSafe(db.title);
        ctx.TableError(table.name);
        break;
      }
      if (f == CatalogReader::Fetch::End) break;
      ctx.checkPoint();
      ++total;
      table.catalogColumns.push_back(row.name);
      const std::string& nullText = row.nullable == 0   ? profile.s_NotNull
                                    : row.nullable == 1 ? profile.s_Null
                                                        : std::string();
      const int category = CategoryOf(row.sqlType);
      const std::string categoryText = category == kUnknown ? row.typeName : std::string(CategoryName(category));
      if (ColumnIsIgnored(opts, row.name, categoryText)) continue;
      std::string typeText = ColumnTypeText(category, row.typeName, row.size, row.scale, profile, opts.b_DataType);
      ColumnInfo col;
      col.name = row.name;
      col.sqlType = row.sqlType;
      col.hasLength = CategoryHasLength(category) ? 1 : 0;
      col.isNumeric = CategoryIsNumeric(category) ? 1 : 0;
      ApplyCaseInPlace(typeText, profile.i_DataTypeCase);
      col.definition = profile.b_NullBeforeType ? nullText + "\t" + typeText
                                                : ScriptOutput::PadToWidth(typeText, 15, false) + "\t" + nullText;
      // Optimised layout: the nullable columns after the others.
      if (opts.b_Optimize && row.nullable == 1)
        pending.push_back(std::move(col));
      else
        table.columns.push_back(std::move(col));
    }
    if (reader.valueFailures() > 0) ctx.TableError(table.name);
    reader.Close();
    const size_t before = table.columns.size();
    for (ColumnInfo& col : pending) table.columns.push_back(std::move(col));

    statement.Clear();
    if (opts.b_DoTabStruct) {
      std::vector<ColumnLine> lines;
      lines.reserve(table.columns.size());
      for (const ColumnInfo& col : table.columns)
        lines.push_back(
            {ctx.names.ScriptColumn(opts, col.name, ApplyCase(col.name, profile.i_ColumnNameCase)), col.definition});
      AddCreateTable(statement, profile, written, lines, before, catalogError);
      out.Write(statement);
      if (table.columns.empty()) {
        out.Write(marker + "  There are no columns to create table ", TextRole::Message);
        out.Write(RemarkSafe(tname) + "\r\n\r\n", TextRole::Sql, true);
      }
    } else if (!catalogError.empty()) {
      out.Write(catalogError, TextRole::Message);
    }
  }
  return total;
}

}  // namespace mv
