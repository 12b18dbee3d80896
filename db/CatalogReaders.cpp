#include "db/CatalogReaders.h"

#include "db/DbConnection.h"
#include "db/OdbcCall.h"
#include "db/OdbcText.h"

namespace mv {

void CatalogReader::TakeError() { error_ = c_.LastError(); }

bool CatalogReader::Open(const std::string& table, bool statistics, SQLUSMALLINT accuracy) {
  error_ = {};
  valueFailures_ = 0;
  allTables_ = false;
  SQLHSTMT h = SQL_NULL_HSTMT;
  reader_.reset();
  st_.Drop();
  if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, c_.dbc(), &h))) {
    c_.ReadDiagnostics(nullptr);
    TakeError();
    return false;
  }
  st_.Reset(h);
  reader_.emplace(st_);
  auto call = [&](SQLCHAR* catalog, SQLSMALLINT catalogLen, SQLCHAR* schema, SQLSMALLINT schemaLen,
                  SQLSMALLINT columnLen) {
    if (statistics)
      return MV_ODBC(SQLStatistics, st_.get(), catalog, catalogLen, schema, schemaLen, OdbcText(table), SQL_NTS,
                     SQL_INDEX_ALL, accuracy);
    return MV_ODBC(SQLColumns, st_.get(), catalog, catalogLen, schema, schemaLen, OdbcText(table), SQL_NTS, nullptr,
                   columnLen);
  };
  SQLRETURN rc = SQL_ERROR;
  if (c_.FiltersByOwner()) {
    SQLCHAR* owner = OdbcText(c_.Target().owner);
    rc = c_.Target().ownerIsCatalog ? call(owner, SQL_NTS, nullptr, 0, 0) : call(nullptr, 0, owner, SQL_NTS, 0);
    if (!Succeeded(rc)) MV_ODBC(SQLFreeStmt, st_.get(), SQL_CLOSE);
  }
  if (!Succeeded(rc))
    rc = statistics ? call(nullptr, 0, nullptr, 0, 0) : call(nullptr, SQL_NTS, nullptr, SQL_NTS, SQL_NTS);
  if (!Succeeded(rc)) {
    c_.ReadDiagnostics(st_.get());
    TakeError();
    return false;
  }
  return true;
}

bool CatalogReader::OpenColumns(const std::string& table) { return Open(table, false); }
bool CatalogReader::OpenStatistics(const std::string& table) { return Open(table, true); }
bool CatalogReader::OpenAllColumns() {
  if (!Open("%", false)) return false;
  allTables_ = true;
  return true;
}

namespace {

// A string literal of the engine's SQL; MariaDB reads a backslash as an escape.
std::string Literal(const std::string& text, bool backslashEscapes) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'' || (backslashEscapes && c == '\\')) out += c;
    out += c;
  }
  return out + "'";
}

}  // namespace

std::string CatalogReader::EngineEstimateSql(const std::string& table) {
  // The engines' own statistics: what the planner works with, kept without a scan.
  const std::string& ownerName = c_.Target().owner;
  const bool owner = !ownerName.empty();
  const bool all = table.empty();
  switch (c_.Driver().engine) {
    case Engine::PostgreSQL:
      return std::string("select ") + (all ? "c.relname, " : "") +
             "c.reltuples::bigint from pg_catalog.pg_class c join pg_catalog.pg_namespace n on n.oid = "
             "c.relnamespace where " +
             (all ? std::string() : "c.relname = " + Literal(table, false) + " and ") + "n.nspname = " +
             (owner && !c_.Target().ownerIsCatalog ? Literal(ownerName, false) : std::string("current_schema()"));
    case Engine::MariaDB:
      return std::string("select ") + (all ? "table_name, " : "") + "table_rows from information_schema.tables where " +
             (all ? std::string() : "table_name = " + Literal(table, true) + " and ") +
             "table_schema = " + (owner ? Literal(ownerName, true) : std::string("database()"));
    default:
      return {};
  }
}

long long CatalogReader::EngineRowEstimate(const std::string& table) {
  const std::string sql = EngineEstimateSql(table);
  if (sql.empty()) return -1;
  Statement stmt;
  if (!c_.Execute(stmt, sql).empty()) return -1;
  if (!Succeeded(MV_ODBC(SQLFetch, stmt.get()))) return -1;
  RowReader reader(stmt);
  std::string value;
  if (!reader.Value(1, value) || reader.valueFailures() > 0) return -1;
  // PostgreSQL says -1 for a table never analysed.
  return CatalogNumber(value, -1);
}

bool CatalogReader::AllTableCardinalities(std::unordered_map<std::string, long long>& out) {
  out.clear();
  const Engine engine = c_.Driver().engine;
  if (engine == Engine::Other) return false;
  // None of these drivers answers SQLStatistics with a table's statistics row, so the engine's
  // own figure is the whole answer; SQLite keeps none.
  if (engine == Engine::SQLite) return true;
  Statement stmt;
  if (!c_.Execute(stmt, EngineEstimateSql({})).empty()) return false;
  RowReader reader(stmt);
  std::string name, value;
  while (reader.Fetch()) {
    const int failures = reader.valueFailures();
    const bool named = reader.Value(1, name);
    const bool counted = reader.Value(2, value);
    // A name that cannot be read whole could be taken for another table's.
    if (reader.valueFailures() != failures || !named) {
      out.clear();
      return false;
    }
    out[name] = counted ? CatalogNumber(value, -1) : -1;
  }
  if (reader.FetchFailed()) {
    out.clear();
    return false;
  }
  return true;
}

long long CatalogReader::TableCardinality(const std::string& table) {
  long long rows = -1;
  if (Open(table, true, SQL_QUICK)) {
    while (FetchRow() == Fetch::Row) {
      int failures = reader_->valueFailures();
      reader_->Value(7, b_);
      if (reader_->valueFailures() != failures || CatalogNumber(b_, -1) != SQL_TABLE_STAT) continue;
      failures = reader_->valueFailures();
      if (reader_->Value(11, c2_) && reader_->valueFailures() == failures) rows = CatalogNumber(c2_, -1);
      break;
    }
  }
  Close();
  return rows >= 0 ? rows : EngineRowEstimate(table);
}

CatalogReader::Fetch CatalogReader::FetchRow() {
  const SQLRETURN rc = MV_ODBC(SQLFetch, st_.get());
  if (Succeeded(rc)) return Fetch::Row;
  if (rc != SQL_NO_DATA && c_.ReadDiagnostics(st_.get())) {
    TakeError();
    return Fetch::Error;
  }
  return Fetch::End;
}

CatalogReader::Fetch CatalogReader::Next(ColumnRow& row) {
  const Fetch f = FetchRow();
  if (f != Fetch::Row) return f;
  const int failures = reader_->valueFailures();
  auto get = [&](SQLUSMALLINT col, std::string& out) { return reader_->Value(col, out); };
  // In column order: some drivers answer SQLGetData only forwards.
  if (allTables_) get(3, row.table);
  get(4, row.name);
  get(5, a_);
  get(6, row.typeName);
  const bool hasSize = get(7, b_);
  const bool hasScale = get(9, c2_);
  get(11, d_);
  row.sqlType = static_cast<int>(CatalogNumber(a_, 0));
  row.size = hasSize ? CatalogNumber(b_, 0) : 0;
  row.scale = hasScale ? CatalogNumber(c2_, 0) : 0;
  row.nullable = CatalogNumber(d_, -1);
  if (reader_->valueFailures() != failures) ++valueFailures_;
  return Fetch::Row;
}

CatalogReader::Fetch CatalogReader::Next(IndexRow& row) {
  const Fetch f = FetchRow();
  if (f != Fetch::Row) return f;
  const int failures = reader_->valueFailures();
  auto get = [&](SQLUSMALLINT col, std::string& out) { reader_->Value(col, out); };
  get(4, a_);
  get(6, row.indexName);
  get(7, b_);
  get(9, row.columnName);
  row.nonUnique = CatalogNumber(a_, 0) == 1;
  row.type = static_cast<int>(CatalogNumber(b_, 0));
  if (reader_->valueFailures() != failures) ++valueFailures_;
  return Fetch::Row;
}

}  // namespace mv
