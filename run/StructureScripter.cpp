#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/Host.h"
#include "base/TextRules.h"
#include "db/CatalogReaders.h"
#include "db/DbConnection.h"
#include "db/EngineTypes.h"
#include "profiles/Profile.h"
#include "run/ConstraintScripter.h"
#include "run/RunState.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "run/Statements.h"
#include "run/TablePhase.h"
#include "settings/Filters.h"

namespace mv {

namespace {

// What the column catalog gave beside the columns: the remark when it failed part way, and the
// columns it stands after (those read before the failure; the nullable ones follow).
struct CatalogEnd {
  size_t remarkAt = 0;
  std::string error;
};

// DROP TABLE and CREATE TABLE for every table, recording each table's kept columns (the
// nullable ones last in the optimised layout) for the data phase.
class StructureTables : public TablePhase {
 public:
  explicit StructureTables(RunContext& ctx)
      : ctx_(ctx),
        reader_(ctx.connection),
        engineTypes_(ctx.opts.b_EngineTypes && ctx.connection.Driver().engine != Engine::Other) {}
  const char* Title() const override { return "Scripting Structures"; }
  Host::Bar Bar() const override { return Host::kStructureBar; }
  bool CheckEachTable() const override { return true; }
  void Begin() override;
  void End() override;
  bool Table(PhaseTable& t) override;

 private:
  void Headings(const PhaseTable& t);
  // Whether the table has columns although the catalog named none (a SELECT of no row asked);
  // an engine allows a table without columns.
  bool HasColumnsAfterAll(const RunTable& table);
  // The engine's own column types for the table, read once; a note when they cannot be.
  void ReadEngineTypes(const RunTable& table);
  // The engine's type of a column (the columns come in the same order from both catalogs).
  const EngineType* EngineTypeOf(const std::string& column);
  // Reads the column catalog into the table: the rows listed for it in the run's one pass, else
  // the catalog opened for it alone.
  CatalogEnd ReadColumns(PhaseTable& t, const std::vector<ColumnRow>* listed);
  // A catalog row as a kept column; none when the column filters leave it out.
  std::optional<ColumnInfo> Column(const PhaseTable& t, const ColumnRow& row);
  void WriteCreateTable(const PhaseTable& t, const CatalogEnd& end);

  RunContext& ctx_;
  CatalogReader reader_;
  const bool engineTypes_;
  ColumnRow row_;
  ScriptText statement_;
  std::vector<EngineColumn> engineColumns_;
  size_t nextEngineColumn_ = 0;
  std::vector<std::string> notes_;
};

void StructureTables::Headings(const PhaseTable& t) {
  if (!ctx_.opts.b_DoTabStruct) return;
  ScriptWriter& out = ctx_.script;
  if (ctx_.opts.b_DropTable && !t.table.columnsUnread) {
    out.BlankLine();
    out.Heading("Removal of table ", t.name);
    out.SimpleStatement(ctx_.working.s_DropTable, t.written, "\r\n");
  }
  out.BlankLine();
  out.Heading("Structure for table ", t.name);
}

void StructureTables::Begin() {
  // A catalog call per table costs a round trip and, in some drivers, a scan of the whole
  // catalog: the engines' catalogs are read once for the run. Any fault in the one pass leaves
  // the tables to be read one by one, with the remarks and notes each gives.
  ctx_.catalogRows.clear();
  ctx_.engineColumns.clear();
  ctx_.catalogRowsRead = ctx_.engineColumnsRead = false;
  if (ctx_.connection.Driver().engine == Engine::Other) return;
  bool whole = reader_.OpenAllColumns();
  for (CatalogReader::Fetch f = CatalogReader::Fetch::Row; whole;) {
    f = reader_.Next(row_);
    if (f == CatalogReader::Fetch::End) break;
    whole = f == CatalogReader::Fetch::Row;
    if (whole) ctx_.catalogRows[row_.table].push_back(row_);
  }
  ctx_.catalogRowsRead = whole && reader_.valueFailures() == 0;
  if (!ctx_.catalogRowsRead) ctx_.catalogRows.clear();
  reader_.Close();
  std::string error;
  if (engineTypes_) ctx_.engineColumnsRead = ReadAllEngineColumns(ctx_.connection, ctx_.engineColumns, error);
}

void StructureTables::End() {
  ctx_.catalogRows.clear();
  ctx_.engineColumns.clear();
  ctx_.catalogRowsRead = ctx_.engineColumnsRead = false;
}

void StructureTables::ReadEngineTypes(const RunTable& table) {
  engineColumns_.clear();
  nextEngineColumn_ = 0;
  if (!engineTypes_) return;
  if (ctx_.engineColumnsRead)
    if (const auto found = ctx_.engineColumns.find(table.name); found != ctx_.engineColumns.end()) {
      engineColumns_ = found->second;
      return;
    }
  std::string error;
  if (ReadEngineColumns(ctx_.connection, table.name, engineColumns_, error)) return;
  engineColumns_.clear();
  notes_.push_back("NOTE: The column types of table " + RemarkSafe(table.name) +
                   " could not be read from the database's own catalog, so the driver's are used: " + error);
}

const EngineType* StructureTables::EngineTypeOf(const std::string& column) {
  for (size_t i = 0; i < engineColumns_.size(); ++i) {
    const size_t at = (nextEngineColumn_ + i) % engineColumns_.size();
    if (engineColumns_[at].name != column) continue;
    nextEngineColumn_ = at + 1;
    return &engineColumns_[at].type;
  }
  return nullptr;
}

std::optional<ColumnInfo> StructureTables::Column(const PhaseTable& t, const ColumnRow& row) {
  const RunTable& table = t.table;
  const Profile& profile = ctx_.working;
  int sqlType = row.sqlType;
  long size = row.size, scale = row.scale;
  const std::string* typeName = &row.typeName;
  EngineRead read = EngineRead::AsReported;
  const std::string* userType = nullptr;        // the source's own type, kept as it is declared
  const std::string* sameEngineType = nullptr;  // the same, where the profile's type would differ
  if (const EngineType* et = EngineTypeOf(row.name)) {
    typeName = &et->declared;
    if (et->corrects) {
      sqlType = et->sqlType;
      size = et->size;
      scale = et->scale;
      read = et->read;
    }
    if (!et->userType.empty() && KeepsUserType(ctx_, et->userType))
      userType = &et->userType;
    else if (!et->sameEngineType.empty() && KeepsUserType(ctx_, et->sameEngineType))
      sameEngineType = &et->sameEngineType;
    else if (!et->userType.empty())
      notes_.push_back("NOTE: Column " + RemarkSafe(row.name) + " of table " + RemarkSafe(table.name) +
                       " is of the type " + RemarkSafe(et->userType) +
                       ", which this script does not create; the column is created with its base type " +
                       RemarkSafe(et->declared) + ".");
  }
  const int category = CategoryOf(sqlType);
  const std::string categoryText = category == kUnknown ? *typeName : std::string(CategoryName(category));
  if (ColumnIsIgnored(ctx_.opts, row.name, categoryText)) return std::nullopt;
  std::string typeText =
      userType ? *userType : ColumnTypeText(category, *typeName, size, scale, profile, ctx_.opts.b_DataType);
  // A kept type's labels are values: their letter case stays.
  if (!userType) ApplyCaseInPlace(typeText, profile.i_DataTypeCase);
  if (sameEngineType && Lower(typeText) != Lower(*sameEngineType)) typeText = *sameEngineType;
  ColumnInfo col;
  if (ctx_.constraints)
    if (const EngineColumnFacts* facts = FactsOf(table, row.name)) {
      if (ctx_.opts.b_DoTabStruct) typeText = ColumnAttributes(ctx_, t, *facts, typeText);
      // Also for the rows alone: the schema they go into computes the column.
      col.computed = GeneratedInTarget(ctx_, *facts);
    }
  col.name = row.name;
  col.sqlType = row.sqlType;
  col.category = category;
  col.engineRead = read;
  col.isNumeric = CategoryIsNumeric(category);
  col.numberTyped =
      col.isNumeric && profile.s_TypeTranslation[category].find_first_not_of(kWhiteSpace) != std::string::npos;
  const std::string& nullText = col.computed && !profile.b_GeneratedNull ? std::string()
                                : row.nullable == 0                      ? profile.s_NotNull
                                : row.nullable == 1                      ? profile.s_Null
                                                                         : std::string();
  col.definition =
      profile.b_NullBeforeType ? nullText + "\t" + typeText : PadToWidth(typeText, 15, false) + "\t" + nullText;
  return col;
}

CatalogEnd StructureTables::ReadColumns(PhaseTable& t, const std::vector<ColumnRow>* listed) {
  RunTable& table = t.table;
  // Optimised layout: the nullable columns after the others.
  std::vector<ColumnInfo> pending;
  CatalogEnd end;
  for (size_t next = 0;;) {
    CatalogReader::Fetch f = CatalogReader::Fetch::End;
    if (!listed) {
      f = reader_.Next(row_);
    } else if (next < listed->size()) {
      row_ = (*listed)[next++];
      f = CatalogReader::Fetch::Row;
    }
    if (f == CatalogReader::Fetch::Error) {
      EndIfConnectionLost(ctx_, t.index, reader_.error());
      end.error = "\r\n\t" + ctx_.working.s_Remarks +
                  "  ERROR: Could not get information for some/all columns for table " + RemarkSafe(table.name) +
                  " in database " + RemarkSafe(ctx_.connection.Target().title);
      ctx_.TableError(table.name);
      break;
    }
    if (f == CatalogReader::Fetch::End) break;
    ctx_.checkPoint();
    table.catalogColumns.push_back(row_.name);
    // Drivers call some NOT NULL columns nullable (MariaDB's auto-increment and TIMESTAMP ones).
    if (ctx_.constraints)
      if (const EngineColumnFacts* facts = FactsOf(table, row_.name); facts && facts->notNull >= 0)
        row_.nullable = facts->notNull || KeyColumnIsNotNull(ctx_, table, row_.name) ? 0 : 1;
    std::optional<ColumnInfo> col = Column(t, row_);
    if (!col) continue;
    if (col->computed)
      table.computedColumns.emplace_back(ctx_.opts.b_Optimize ? SIZE_MAX : table.columns.size(), std::move(*col));
    else if (ctx_.opts.b_Optimize && row_.nullable == 1)
      pending.push_back(std::move(*col));
    else
      table.columns.push_back(std::move(*col));
  }
  if (!listed && reader_.valueFailures() > 0) ctx_.TableError(table.name);
  if (!listed) reader_.Close();
  // Generated columns the driver's catalog leaves out (SQLite's), from the engine's own, last.
  if (end.error.empty() && !table.catalogColumns.empty() && ctx_.constraints)
    for (const EngineColumnFacts& f : table.facts) {
      if (f.hiddenType.empty() ||
          std::find(table.catalogColumns.begin(), table.catalogColumns.end(), f.column) != table.catalogColumns.end())
        continue;
      const EngineType type = ParseEngineType(ctx_.connection.Driver().engine, f.hiddenType);
      ColumnRow row;
      row.name = f.column;
      row.typeName = f.hiddenType;
      row.sqlType = type.corrects ? type.sqlType : SQL_VARCHAR;
      row.size = type.size;
      row.scale = type.scale;
      row.nullable = f.notNull == 1 ? 0 : 1;
      table.catalogColumns.push_back(f.column);
      std::optional<ColumnInfo> col = Column(t, row);
      if (!col) continue;
      if (col->computed)
        table.computedColumns.emplace_back(SIZE_MAX, std::move(*col));
      else
        pending.push_back(std::move(*col));
    }
  if (table.catalogColumns.empty() && (!end.error.empty() || HasColumnsAfterAll(table))) {
    table.columnsUnread = true;
    end.error = "\r\n\t" + ctx_.working.s_Remarks +
                "  ERROR: Could not get information for some/all columns for table " + RemarkSafe(table.name) +
                " in database " + RemarkSafe(ctx_.connection.Target().title);
    ctx_.TableError(table.name);
  }
  end.remarkAt = table.columns.size();
  for (ColumnInfo& col : pending) table.columns.push_back(std::move(col));
  return end;
}

bool StructureTables::HasColumnsAfterAll(const RunTable& table) {
  Statement stmt;
  if (!ctx_.connection.Execute(stmt, "select * from " + ctx_.names.Source().Bracket(table.name) + " where 1 = 0")
           .empty())
    return ctx_.connection.Driver().engine == Engine::SQLite;  // SQLite has no table without columns
  SQLSMALLINT count = 0;
  return !Succeeded(SQLNumResultCols(stmt.get(), &count)) || count > 0;
}

void StructureTables::WriteCreateTable(const PhaseTable& t, const CatalogEnd& end) {
  const Profile& profile = ctx_.working;
  ScriptWriter& out = ctx_.script;
  if (!ctx_.opts.b_DoTabStruct) {
    if (!end.error.empty()) out.Write(end.error, TextRole::Message);
    return;
  }
  if (t.table.columnsUnread) {
    out.Write(end.error.substr(3) + "\r\n\r\n", TextRole::Message);
    return;
  }
  for (const std::string& note : notes_) out.MessageRemark(note, "", "\r\n");
  std::vector<ColumnLine> lines;
  lines.reserve(t.table.columns.size());
  auto line = [&](const ColumnInfo& col) {
    return ColumnLine{ctx_.names.Column(ctx_.opts, col.name, ApplyCase(col.name, profile.i_ColumnNameCase)),
                      col.definition};
  };
  for (const ColumnInfo& col : t.table.columns) lines.push_back(line(col));
  // The computed columns at their places, the last first so the earlier places stand.
  size_t remarkAt = end.remarkAt;
  const auto& computed = t.table.computedColumns;
  const size_t columns = lines.size();
  for (auto c = computed.rbegin(); c != computed.rend(); ++c) {
    const size_t at = std::min(c->first, columns);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line(c->second));
    if (at < remarkAt) ++remarkAt;
  }
  if (ctx_.constraints && !lines.empty()) AddKeyLines(ctx_, t, lines);
  statement_.Clear();
  AddCreateTable(statement_, profile, t.written, lines, remarkAt, end.error);
  out.Write(statement_);
  if (!t.table.columns.empty()) return;
  out.Write(profile.s_Remarks + "  There are no columns to create table ", TextRole::Message);
  out.Write(RemarkSafe(t.name) + "\r\n\r\n", TextRole::Sql, true);
}

bool StructureTables::Table(PhaseTable& t) {
  RunTable& table = t.table;
  table.columns.clear();
  table.computedColumns.clear();
  table.catalogColumns.clear();
  table.columnsUnread = false;
  const std::vector<ColumnRow>* listed = nullptr;
  if (ctx_.catalogRowsRead)
    if (const auto found = ctx_.catalogRows.find(table.name); found != ctx_.catalogRows.end()) listed = &found->second;
  if (!listed && !reader_.OpenColumns(table.name)) {
    Headings(t);
    // Without a column catalog no later table can be described either.
    EndIfConnectionLost(ctx_, t.index, reader_.error());
    for (size_t i = t.index; i < ctx_.tables.size(); ++i) ctx_.TableError(ctx_.tables[i].name);
    if (!reader_.error().text.empty()) ctx_.host.Message(reader_.error().text, Host::Buttons::Ok);
    return false;
  }
  notes_.clear();
  ReadEngineTypes(table);
  // The columns first: a table that has none to read gets no removal either.
  const CatalogEnd end = ReadColumns(t, listed);
  Headings(t);
  WriteCreateTable(t, end);
  return true;
}

}  // namespace

void StructurePhase(RunContext& ctx) { RunTablePhase<StructureTables>(ctx); }

}  // namespace mv
