#include "db/CatalogReaders.h"
#include "db/DbConnection.h"
#include "db/EngineTypes.h"
#include "profiles/Profile.h"
#include "run/RunState.h"
#include "run/ScriptNames.h"
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
  // The engine's own catalog corrects the driver's types, read once per table.
  const bool engineTypes = opts.b_EngineTypes && db.Driver().engine != Engine::Other;
  std::vector<EngineColumn> engineColumns;
  std::vector<std::string> notes;

  for (size_t index = 0; index < ctx.tables.size(); ++index) {
    RunTable& table = ctx.tables[index];
    ctx.checkPoint();
    const std::string tname = ApplyCase(table.name, profile.i_TableNameCase);
    ctx.names.ReadBrackets(ctx.settings, &db);
    const std::string written = ctx.names.Table(opts, table.name, tname);

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
      EndIfConnectionLost(ctx, index, reader.error());
      for (size_t i = index; i < ctx.tables.size(); ++i) ctx.TableError(ctx.tables[i].name);
      if (!reader.error().text.empty()) ctx.host.Message(reader.error().text, Host::Buttons::Ok);
      return total;
    }
    std::vector<ColumnInfo> pending;
    std::string catalogError;
    notes.clear();
    engineColumns.clear();
    if (engineTypes) {
      std::string error;
      if (!ReadEngineColumns(db, table.name, engineColumns, error)) {
        engineColumns.clear();
        notes.push_back("NOTE: The column types of table " + RemarkSafe(table.name) +
                        " could not be read from the database's own catalog, so the driver's are used: " + error);
      }
    }
    size_t nextEngineColumn = 0;
    for (;;) {
      const CatalogReader::Fetch f = reader.Next(row);
      if (f == CatalogReader::Fetch::Error) {
        EndIfConnectionLost(ctx, index, reader.error());
        catalogError = "\r\n\t" + marker + "  ERROR: Could not get information for some/all columns for table " +
                       RemarkSafe(table.name) + " in database " + RemarkSafe(db.Target().title);
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
      int sqlType = row.sqlType;
      long size = row.size, scale = row.scale;
      const std::string* typeName = &row.typeName;
      EngineRead read = EngineRead::AsReported;
      // Columns come in the same order from both catalogs; the name decides.
      for (size_t i = 0; i < engineColumns.size(); ++i) {
        const size_t at = (nextEngineColumn + i) % engineColumns.size();
        if (engineColumns[at].name != row.name) continue;
        const EngineType& et = engineColumns[at].type;
        nextEngineColumn = at + 1;
        typeName = &et.declared;
        if (et.corrects) {
          sqlType = et.sqlType;
          size = et.size;
          scale = et.scale;
          read = et.read;
        }
        if (!et.userType.empty())
          notes.push_back("NOTE: Column " + RemarkSafe(row.name) + " of table " + RemarkSafe(table.name) +
                          " is of the type " + RemarkSafe(et.userType) +
                          ", which this script does not create; the column is created with its base type " +
                          RemarkSafe(et.declared) + ".");
        break;
      }
      const int category = CategoryOf(sqlType);
      const std::string categoryText = category == kUnknown ? *typeName : std::string(CategoryName(category));
      if (ColumnIsIgnored(opts, row.name, categoryText)) continue;
      std::string typeText = ColumnTypeText(category, *typeName, size, scale, profile, opts.b_DataType);
      ColumnInfo col;
      col.name = row.name;
      col.sqlType = row.sqlType;
      col.category = category;
      col.engineRead = read;
      col.hasLength = CategoryHasLength(category) ? 1 : 0;
      col.isNumeric = CategoryIsNumeric(category) ? 1 : 0;
      col.numberTyped =
          col.isNumeric && profile.s_TypeTranslation[category].find_first_not_of(" \t\r\n\f\v") != std::string::npos;
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
      for (const std::string& note : notes) out.MessageRemark(note, "", "\r\n");
      std::vector<ColumnLine> lines;
      lines.reserve(table.columns.size());
      for (const ColumnInfo& col : table.columns)
        lines.push_back(
            {ctx.names.Column(opts, col.name, ApplyCase(col.name, profile.i_ColumnNameCase)), col.definition});
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
