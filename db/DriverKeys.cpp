#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>

#include "base/TextRules.h"
#include "db/DbConnection.h"
#include "db/EngineKeys.h"
#include "db/OdbcCall.h"
#include "db/OdbcHandles.h"
#include "db/OdbcText.h"
#include "db/RowReader.h"

namespace mv {

namespace {

enum Catalog { kPrimaryKeys, kForeignKeys, kColumns, kStatistics, kCatalogs };

struct CatalogFunction {
  const char* name;
  SQLUSMALLINT api;
  const char* what;  // what is not known without it
};

const CatalogFunction kFunctions[kCatalogs] = {
    {"SQLPrimaryKeys", SQL_API_SQLPRIMARYKEYS, "primary keys"},
    {"SQLForeignKeys", SQL_API_SQLFOREIGNKEYS, "foreign keys"},
    {"SQLColumns", SQL_API_SQLCOLUMNS, "column defaults and NOT NULL"},
    {"SQLStatistics", SQL_API_SQLSTATISTICS, "the primary keys' own indexes"},
};

long Number(const std::string& s, long none) {
  char* end = nullptr;
  const long n = std::strtol(s.c_str(), &end, 10);
  return end == s.c_str() ? none : n;
}

// The SQLSTATEs of a function the driver (or the driver manager for it) does not have, in
// ODBC 3 and ODBC 2 spelling.
bool IsUnsupported(const std::string& sqlState) {
  return sqlState == "IM001" || sqlState == "HYC00" || sqlState == "S1C00";
}

// One catalog call of one table at a time, with the owner filter first; what could not be
// read goes into gaps, a function the driver does not have once for all tables.
class DriverCatalog {
 public:
  DriverCatalog(DbConnection& c, std::vector<CatalogGap>& gaps) : c_(c), gaps_(gaps) {}

  // The catalog's rows for the table; none (the gap noted) when it cannot be read.
  RowReader* Open(Catalog which, const std::string& table) {
    reader_.reset();
    st_.Drop();
    if (lost_ || unsupported_[which]) return nullptr;
    if (!asked_[which]) {
      asked_[which] = true;
      SQLUSMALLINT has = SQL_TRUE;
      if (Succeeded(MV_ODBC(SQLGetFunctions, c_.dbc(), kFunctions[which].api, &has)) && has == SQL_FALSE) {
        Unsupported(which);
        return nullptr;
      }
    }
    SQLHSTMT h = SQL_NULL_HSTMT;
    if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, c_.dbc(), &h))) {
      c_.ReadDiagnostics(nullptr);
      return Failed(which, table);
    }
    st_.Reset(h);
    SQLCHAR* name = OdbcText(table);
    auto call = [&](SQLCHAR* catalog, SQLSMALLINT catalogLen, SQLCHAR* schema, SQLSMALLINT schemaLen) -> SQLRETURN {
      switch (which) {
        case kPrimaryKeys:
          return MV_ODBC(SQLPrimaryKeys, st_.get(), catalog, catalogLen, schema, schemaLen, name, SQL_NTS);
        case kForeignKeys:
          // The keys the table has (it is the referring table), to whichever table.
          return MV_ODBC(SQLForeignKeys, st_.get(), nullptr, 0, nullptr, 0, nullptr, 0, catalog, catalogLen, schema,
                         schemaLen, name, SQL_NTS);
        case kColumns:
          return MV_ODBC(SQLColumns, st_.get(), catalog, catalogLen, schema, schemaLen, name, SQL_NTS, nullptr, 0);
        default:
          return MV_ODBC(SQLStatistics, st_.get(), catalog, catalogLen, schema, schemaLen, name, SQL_NTS,
                         SQL_INDEX_UNIQUE, SQL_QUICK);
      }
    };
    SQLRETURN rc = SQL_ERROR;
    if (c_.FiltersByOwner()) {
      SQLCHAR* owner = OdbcText(c_.Target().owner);
      rc = c_.Target().ownerIsCatalog ? call(owner, SQL_NTS, nullptr, 0) : call(nullptr, 0, owner, SQL_NTS);
      if (!Succeeded(rc)) MV_ODBC(SQLFreeStmt, st_.get(), SQL_CLOSE);
    }
    if (!Succeeded(rc)) rc = call(nullptr, 0, nullptr, 0);
    if (!Succeeded(rc)) {
      c_.ReadDiagnostics(st_.get());
      return Failed(which, table);
    }
    reader_.emplace(st_);
    return &*reader_;
  }

  // After the last row: false (the gap noted) when a fetch or a value failed, so what was
  // read is not the whole.
  bool Whole(Catalog which, const std::string& table) {
    bool whole = true;
    if (reader_->FetchFailed()) {
      c_.ReadDiagnostics(st_.get());
      Failed(which, table);
      whole = false;
    } else if (reader_->valueFailures() > 0) {
      Gap(which, table,
          kFunctions[which].name + std::string(" gave values that could not be read: ") + reader_->lastValueError());
      whole = false;
    }
    reader_.reset();
    st_.Drop();
    return whole;
  }

 private:
  void Gap(Catalog which, const std::string& table, const std::string& reason) {
    // The indexes are the index phase's: without this catalog a key's index is written again,
    // as a unique index, and nothing is lost.
    if (which == kStatistics) return;
    gaps_.push_back({kFunctions[which].what, table, reason});
  }
  void Unsupported(Catalog which) {
    unsupported_[which] = true;
    Gap(which, "", std::string("the driver does not support ") + kFunctions[which].name + ", so no table's are known");
  }
  RowReader* Failed(Catalog which, const std::string& table) {
    const DriverMessage& e = c_.LastError();
    if (IsUnsupported(e.sqlState)) {
      Unsupported(which);
    } else if (c_.ConnectionLost(e.sqlState)) {
      lost_ = true;
      gaps_.push_back({"keys and column defaults", "", "the connection was lost while reading them: " + e.text});
    } else {
      Gap(which, table, kFunctions[which].name + std::string(" failed: ") + e.text);
    }
    return nullptr;
  }

  DbConnection& c_;
  std::vector<CatalogGap>& gaps_;
  Statement st_;
  std::optional<RowReader> reader_;
  bool asked_[kCatalogs] = {};
  bool unsupported_[kCatalogs] = {};
  bool lost_ = false;
};

// A referenced table of another owner is none of the run's, whatever its name.
std::string ReferencedTable(const DbConnection& c, const std::string& cat, const std::string& schema,
                            const std::string& name) {
  if (!c.FiltersByOwner()) return name;
  const std::string& owner = c.Target().ownerIsCatalog ? cat : schema;
  return owner.empty() || owner == c.Target().owner ? name : owner + "." + name;
}

// SQLForeignKeys' UPDATE_RULE and DELETE_RULE in SQL words; empty: NO ACTION.
std::string Action(long rule) {
  switch (rule) {
    case SQL_CASCADE:
      return "CASCADE";
    case SQL_RESTRICT:
      return "RESTRICT";
    case SQL_SET_NULL:
      return "SET NULL";
    case SQL_SET_DEFAULT:
      return "SET DEFAULT";
    default:
      return {};
  }
}

void ReadPrimaryKey(DriverCatalog& catalog, const std::string& table, EngineSchema& out) {
  RowReader* rows = catalog.Open(kPrimaryKeys, table);
  if (!rows) return;
  std::map<long, std::string> columns;
  std::string name, seq, keyName;
  while (rows->Fetch()) {
    // COLUMN_NAME, KEY_SEQ, PK_NAME
    rows->Value(4, name);
    rows->Value(5, seq);
    if (!rows->Value(6, keyName)) keyName.clear();
    columns[Number(seq, static_cast<long>(columns.size()) + 1)] = name;
  }
  if (!catalog.Whole(kPrimaryKeys, table) || columns.empty()) return;
  EngineKey k;
  k.table = table;
  k.name = keyName;
  k.index = keyName;
  for (auto& [at, column] : columns) k.columns.push_back(std::move(column));
  out.keys.push_back(std::move(k));
}

void ReadForeignKeys(DriverCatalog& catalog, const DbConnection& c, const std::string& table, EngineSchema& out) {
  RowReader* rows = catalog.Open(kForeignKeys, table);
  if (!rows) return;
  struct Pending {
    EngineKey key;
    std::map<long, std::pair<std::string, std::string>> columns;  // KEY_SEQ: the column and the one it refers to
  };
  std::vector<Pending> keys;
  std::vector<std::string> v(15);
  while (rows->Fetch()) {
    for (SQLUSMALLINT col = 1; col <= 14; ++col)
      if (!rows->Value(col, v[col])) v[col].clear();
    const std::string parent = ReferencedTable(c, v[1], v[2], v[3]);
    const long seq = Number(v[9], 1);
    // Rows of one key share its name; a key without a name is told by its parent and a
    // column number not taken yet.
    Pending* into = nullptr;
    for (Pending& p : keys) {
      if (p.key.refTable != parent || p.key.name != v[12]) continue;
      if (v[12].empty() && p.columns.count(seq)) continue;
      into = &p;
      break;
    }
    if (!into) {
      Pending p;
      p.key.kind = EngineKey::Kind::Foreign;
      p.key.table = table;
      p.key.name = v[12];
      p.key.refTable = parent;
      p.key.onUpdate = Action(Number(v[10], SQL_NO_ACTION));
      p.key.onDelete = Action(Number(v[11], SQL_NO_ACTION));
      const long deferral = Number(v[14], SQL_NOT_DEFERRABLE);
      p.key.deferrable = deferral == SQL_INITIALLY_DEFERRED || deferral == SQL_INITIALLY_IMMEDIATE;
      p.key.initiallyDeferred = deferral == SQL_INITIALLY_DEFERRED;
      keys.push_back(std::move(p));
      into = &keys.back();
    }
    into->columns[seq] = {v[8], v[4]};
  }
  if (!catalog.Whole(kForeignKeys, table)) return;
  for (Pending& p : keys) {
    for (auto& [at, pair] : p.columns) {
      p.key.columns.push_back(std::move(pair.first));
      p.key.refColumns.push_back(std::move(pair.second));
    }
    out.keys.push_back(std::move(p.key));
  }
}

void ReadColumnFacts(DriverCatalog& catalog, const std::string& table, EngineSchema& out) {
  RowReader* rows = catalog.Open(kColumns, table);
  if (!rows) return;
  std::vector<EngineColumnFacts> facts;
  std::string nullable, isNullable;
  while (rows->Fetch()) {
    EngineColumnFacts f;
    f.table = table;
    // In column order: some drivers answer SQLGetData only forwards.
    rows->Value(4, f.column);
    if (!rows->Value(11, nullable)) nullable.clear();
    if (!rows->Value(13, f.defaultValue)) f.defaultValue.clear();
    if (rows->ColumnCount() >= 18 && !rows->Value(18, isNullable)) isNullable.clear();
    const long n = Number(nullable, SQL_NULLABLE_UNKNOWN);
    f.notNull = n == SQL_NO_NULLS ? 1 : n == SQL_NULLABLE ? 0 : isNullable == "NO" ? 1 : isNullable == "YES" ? 0 : -1;
    // A NULL default is no default.
    if (strcasecmp(Trim(f.defaultValue, " \t\r\n").c_str(), "NULL") == 0) f.defaultValue.clear();
    facts.push_back(std::move(f));
  }
  if (!catalog.Whole(kColumns, table)) return;
  for (EngineColumnFacts& f : facts) out.columns.push_back(std::move(f));
}

// The unique index that holds exactly the primary key's columns, in order, is the key's own.
void FindKeyIndex(DriverCatalog& catalog, const std::string& table, EngineSchema& out) {
  EngineKey* key = nullptr;
  for (EngineKey& k : out.keys)
    if (k.table == table && k.kind == EngineKey::Kind::Primary) key = &k;
  if (!key) return;
  RowReader* rows = catalog.Open(kStatistics, table);
  if (!rows) return;
  std::map<std::string, std::map<long, std::string>> unique;
  std::string nonUnique, index, type, seq, column;
  while (rows->Fetch()) {
    rows->Value(4, nonUnique);
    rows->Value(6, index);
    rows->Value(7, type);
    rows->Value(8, seq);
    rows->Value(9, column);
    if (Number(type, SQL_TABLE_STAT) == SQL_TABLE_STAT || Number(nonUnique, 1) != 0) continue;
    unique[index][Number(seq, 0)] = column;
  }
  if (!catalog.Whole(kStatistics, table) || unique.count(key->index)) return;
  for (const auto& [name, columns] : unique) {
    std::vector<std::string> ordered;
    for (const auto& [at, c] : columns) ordered.push_back(c);
    if (ordered != key->columns) continue;
    key->index = name;
    return;
  }
}

}  // namespace

void ReadDriverSchema(DbConnection& connection, const std::vector<std::string>& tables, EngineSchema& out,
                      std::vector<CatalogGap>& gaps) {
  out = EngineSchema{};
  DriverCatalog catalog(connection, gaps);
  for (const std::string& table : tables) {
    ReadPrimaryKey(catalog, table, out);
    ReadForeignKeys(catalog, connection, table, out);
    ReadColumnFacts(catalog, table, out);
    FindKeyIndex(catalog, table, out);
  }
}

}  // namespace mv
