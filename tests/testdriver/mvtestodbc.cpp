// A test ODBC driver: unixODBC loads it through DRIVER=/abs/path/libmvtestodbc.so and it
// serves catalogs, rows and faults from the fixture named by FIXTURE=. It implements the
// ODBC 3 entry points; the driver manager maps the application's ODBC 2 calls onto them.

// The entry points must stay visible although everything else is built hidden.
#pragma GCC visibility push(default)
#include <sql.h>
#include <sqlext.h>
#pragma GCC visibility pop

#include "Fixture.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_set>

namespace mv::testdriver {
namespace {

struct Diag {
  std::string state;
  std::string message;
};

struct Handle {
  explicit Handle(std::uint32_t m) : magic(m) {}
  virtual ~Handle() { magic = 0; }
  std::uint32_t magic;
  std::vector<Diag> diags;
  SQLRETURN lastReturn = SQL_SUCCESS;
};

struct Stmt;
struct Dbc;

struct Env : Handle {
  static constexpr std::uint32_t kMagic = 0x4d56454e;  // "MVEN"
  Env() : Handle(kMagic) {}
  SQLINTEGER odbcVersion = SQL_OV_ODBC3;
  std::set<Dbc*> dbcs;
};

struct Dbc : Handle {
  static constexpr std::uint32_t kMagic = 0x4d564443;  // "MVDC"
  explicit Dbc(Env* e) : Handle(kMagic), env(e) {}
  Env* env;
  bool connected = false;
  std::unique_ptr<Fixture> fixture;
  std::string callLog;
  std::optional<std::string> currentCatalog;
  std::map<SQLINTEGER, SQLULEN> attrs;
  std::set<Stmt*> stmts;
};

struct Binding {
  SQLSMALLINT type = SQL_C_CHAR;
  SQLPOINTER target = nullptr;
  SQLLEN length = 0;
  SQLLEN* indicator = nullptr;
};

struct Stmt : Handle {
  static constexpr std::uint32_t kMagic = 0x4d565354;  // "MVST"
  explicit Stmt(Dbc* d) : Handle(kMagic), dbc(d) {}
  Dbc* dbc;
  std::optional<ResultSet> result;
  std::size_t fetched = 0;  // rows handed out so far
  bool onRow = false;
  std::map<SQLUSMALLINT, Binding> bindings;
  SQLUSMALLINT pieceColumn = 0;  // SQLGetData progress on the current row
  std::size_t pieceOffset = 0;
  bool pieceDone = false;
  std::optional<std::string> prepared;
  std::map<SQLINTEGER, SQLULEN> attrs;

  void closeCursor() {
    result.reset();
    fetched = 0;
    onRow = false;
    pieceColumn = 0;
  }
};

// Live handles. The magic number alone would mean reading freed memory for a stale handle.
std::mutex registryMutex;
std::unordered_set<const void*>& registry() {
  static std::unordered_set<const void*> live;
  return live;
}

void track(Handle* h) {
  std::lock_guard lock(registryMutex);
  registry().insert(h);
}

void untrackAndDelete(Handle* h) {
  {
    std::lock_guard lock(registryMutex);
    registry().erase(h);
  }
  delete h;
}

template <class T>
T* lookup(SQLHANDLE handle) {
  if (!handle) return nullptr;
  std::lock_guard lock(registryMutex);
  if (!registry().count(handle)) return nullptr;
  auto* h = static_cast<Handle*>(handle);
  return h->magic == T::kMagic ? static_cast<T*>(h) : nullptr;
}

Handle* lookupAny(SQLSMALLINT type, SQLHANDLE handle) {
  switch (type) {
    case SQL_HANDLE_ENV:
      return lookup<Env>(handle);
    case SQL_HANDLE_DBC:
      return lookup<Dbc>(handle);
    case SQL_HANDLE_STMT:
      return lookup<Stmt>(handle);
    default:
      return nullptr;
  }
}

// Every ODBC call starts a fresh diagnostic area on its handle.
template <class T>
T* enter(SQLHANDLE handle) {
  T* h = lookup<T>(handle);
  if (h) {
    h->diags.clear();
    h->lastReturn = SQL_SUCCESS;
  }
  return h;
}

SQLRETURN finish(Handle& h, SQLRETURN rc) {
  h.lastReturn = rc;
  return rc;
}

SQLRETURN fail(Handle& h, const char* state, std::string message) {
  h.diags.push_back({state, std::move(message)});
  return finish(h, SQL_ERROR);
}

SQLRETURN warn(Handle& h, const char* state, std::string message) {
  h.diags.push_back({state, std::move(message)});
  return SQL_SUCCESS_WITH_INFO;
}

SQLRETURN worst(SQLRETURN a, SQLRETURN b) {
  if (a == SQL_ERROR || b == SQL_ERROR) return SQL_ERROR;
  if (a == SQL_SUCCESS_WITH_INFO || b == SQL_SUCCESS_WITH_INFO) return SQL_SUCCESS_WITH_INFO;
  return a;
}

Value argument(const SQLCHAR* text, SQLINTEGER length) {
  if (!text) return std::nullopt;
  const char* p = reinterpret_cast<const char*>(text);
  return length < 0 ? std::string(p) : std::string(p, static_cast<std::size_t>(length));
}

// An owner or name argument counts as given unless it is NULL, empty or "%".
bool given(const Value& v) { return v && !v->empty() && *v != "%"; }

bool matches(const Value& cell, const Value& arg) { return !given(arg) || (cell && *cell == *arg); }

// Copies a string attribute out; the length always reports the full size.
template <class Len>
SQLRETURN putString(Handle& h, const std::string& s, SQLPOINTER buffer, SQLLEN bufferLength, Len* length) {
  if (length) *length = static_cast<Len>(s.size());
  if (!buffer || bufferLength <= 0) return SQL_SUCCESS;
  const std::size_t n = std::min(s.size(), static_cast<std::size_t>(bufferLength - 1));
  std::memcpy(buffer, s.data(), n);
  static_cast<char*>(buffer)[n] = '\0';
  return n < s.size() ? warn(h, "01004", "String data, right truncated") : SQL_SUCCESS;
}

void logCall(Dbc& dbc, const std::string& function, std::initializer_list<Value> args) {
  if (dbc.callLog.empty()) return;
  std::string line = function;
  for (const Value& a : args) line += '\t' + Fixture::escape(a);
  std::ofstream out(dbc.callLog, std::ios::app | std::ios::binary);
  out << line << '\n';
}

// ---------------------------------------------------------------- conversions

enum class CType { Char, Binary, SLong, ULong, SShort, UShort, SBigInt, UBigInt, Double, Unsupported };

CType ctypeOf(SQLSMALLINT type) {
  switch (type) {
    case SQL_C_CHAR:
    case SQL_C_DEFAULT:
      return CType::Char;
    case SQL_C_BINARY:
      return CType::Binary;
    case SQL_C_LONG:
    case SQL_C_SLONG:
      return CType::SLong;
    case SQL_C_ULONG:
      return CType::ULong;
    case SQL_C_SHORT:
    case SQL_C_SSHORT:
      return CType::SShort;
    case SQL_C_USHORT:
      return CType::UShort;
    case SQL_C_SBIGINT:
      return CType::SBigInt;
    case SQL_C_UBIGINT:
      return CType::UBigInt;
    case SQL_C_DOUBLE:
      return CType::Double;
    default:
      return CType::Unsupported;
  }
}

template <class T>
SQLRETURN putInteger(Handle& h, const std::string& text, SQLPOINTER target, SQLLEN* indicator) {
  const std::size_t b = text.find_first_not_of(' ');
  const std::size_t e = text.find_last_not_of(' ');
  const std::string t = b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
  long long value = 0;
  const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || (ec != std::errc() && ec != std::errc::result_out_of_range) || ptr != t.data() + t.size())
    return fail(h, "22018", "Invalid character value for cast specification: '" + text + "'");
  if (ec == std::errc::result_out_of_range || value < static_cast<long long>(std::numeric_limits<T>::min()) ||
      (value > 0 && static_cast<unsigned long long>(value) > std::numeric_limits<T>::max()))
    return fail(h, "22003", "Numeric value out of range: '" + text + "'");
  if (target) {
    const T v = static_cast<T>(value);
    std::memcpy(target, &v, sizeof v);
  }
  if (indicator) *indicator = sizeof(T);
  return SQL_SUCCESS;
}

SQLRETURN putDouble(Handle& h, const std::string& text, SQLPOINTER target, SQLLEN* indicator) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0')
    return fail(h, "22018", "Invalid character value for cast specification: '" + text + "'");
  if (target) std::memcpy(target, &v, sizeof v);
  if (indicator) *indicator = sizeof v;
  return SQL_SUCCESS;
}

SQLRETURN putNumber(Handle& h, CType type, const std::string& text, SQLPOINTER target, SQLLEN* indicator) {
  switch (type) {
    case CType::SLong:
      return putInteger<SQLINTEGER>(h, text, target, indicator);
    case CType::ULong:
      return putInteger<SQLUINTEGER>(h, text, target, indicator);
    case CType::SShort:
      return putInteger<SQLSMALLINT>(h, text, target, indicator);
    case CType::UShort:
      return putInteger<SQLUSMALLINT>(h, text, target, indicator);
    case CType::SBigInt:
      return putInteger<SQLBIGINT>(h, text, target, indicator);
    case CType::UBigInt:
      return putInteger<SQLUBIGINT>(h, text, target, indicator);
    case CType::Double:
      return putDouble(h, text, target, indicator);
    default:
      return fail(h, "HY003", "Program type out of range");
  }
}

// Copies text from `offset`; returns how many bytes were consumed.
std::size_t putText(CType type, const std::string& text, std::size_t offset, SQLPOINTER target, SQLLEN length,
                    SQLLEN* indicator) {
  const std::size_t remaining = text.size() - offset;
  if (indicator) *indicator = static_cast<SQLLEN>(remaining);
  std::size_t room = 0;
  if (target && length > 0) room = static_cast<std::size_t>(type == CType::Char ? length - 1 : length);
  const std::size_t n = std::min(remaining, room);
  if (n) std::memcpy(target, text.data() + offset, n);
  if (type == CType::Char && target && length > 0) static_cast<char*>(target)[n] = '\0';
  return n;
}

SQLRETURN fillBindings(Stmt& s) {
  const Row& row = s.result->rows[s.fetched - 1];
  SQLRETURN rc = SQL_SUCCESS;
  for (auto& [column, b] : s.bindings) {
    if (column == 0 || column > row.size()) continue;
    const Value& v = row[column - 1];
    const CType type = ctypeOf(b.type);
    if (!v) {
      if (!b.indicator) return fail(s, "22002", "Indicator variable required but not supplied");
      *b.indicator = SQL_NULL_DATA;
    } else if (type == CType::Char || type == CType::Binary) {
      if (putText(type, *v, 0, b.target, b.length, b.indicator) < v->size())
        rc = worst(rc, warn(s, "01004", "String data, right truncated"));
    } else if (putNumber(s, type, *v, b.target, b.indicator) == SQL_ERROR) {
      return finish(s, SQL_ERROR);
    }
  }
  return rc;
}

// ---------------------------------------------------------------- catalogs

ResultColumn varchar(const char* name, long size = 128) { return {name, SQL_VARCHAR, "", size}; }
ResultColumn smallint(const char* name) { return {name, SQL_SMALLINT, "", 5}; }
ResultColumn integer(const char* name) { return {name, SQL_INTEGER, "", 10}; }

std::vector<ResultColumn> tablesColumns() {
  return {varchar("TABLE_CAT"), varchar("TABLE_SCHEM"), varchar("TABLE_NAME"), varchar("TABLE_TYPE"),
          varchar("REMARKS", 254)};
}

std::vector<ResultColumn> columnsColumns() {
  return {varchar("TABLE_CAT"),         varchar("TABLE_SCHEM"),      varchar("TABLE_NAME"),
          varchar("COLUMN_NAME"),       smallint("DATA_TYPE"),       varchar("TYPE_NAME"),
          integer("COLUMN_SIZE"),       integer("BUFFER_LENGTH"),    smallint("DECIMAL_DIGITS"),
          smallint("NUM_PREC_RADIX"),   smallint("NULLABLE"),        varchar("REMARKS", 254),
          varchar("COLUMN_DEF", 254),   smallint("SQL_DATA_TYPE"),   smallint("SQL_DATETIME_SUB"),
          integer("CHAR_OCTET_LENGTH"), integer("ORDINAL_POSITION"), varchar("IS_NULLABLE", 3)};
}

std::vector<ResultColumn> statisticsColumns() {
  return {varchar("TABLE_CAT"),
          varchar("TABLE_SCHEM"),
          varchar("TABLE_NAME"),
          smallint("NON_UNIQUE"),
          varchar("INDEX_QUALIFIER"),
          varchar("INDEX_NAME"),
          smallint("TYPE"),
          smallint("ORDINAL_POSITION"),
          varchar("COLUMN_NAME"),
          {"ASC_OR_DESC", SQL_CHAR, "", 1},
          integer("CARDINALITY"),
          integer("PAGES"),
          varchar("FILTER_CONDITION", 254)};
}

std::vector<ResultColumn> primaryKeysColumns() {
  return {varchar("TABLE_CAT"),   varchar("TABLE_SCHEM"), varchar("TABLE_NAME"),
          varchar("COLUMN_NAME"), smallint("KEY_SEQ"),    varchar("PK_NAME")};
}

std::vector<ResultColumn> foreignKeysColumns() {
  return {varchar("PKTABLE_CAT"), varchar("PKTABLE_SCHEM"), varchar("PKTABLE_NAME"), varchar("PKCOLUMN_NAME"),
          varchar("FKTABLE_CAT"), varchar("FKTABLE_SCHEM"), varchar("FKTABLE_NAME"), varchar("FKCOLUMN_NAME"),
          smallint("KEY_SEQ"),    smallint("UPDATE_RULE"),  smallint("DELETE_RULE"), varchar("FK_NAME"),
          varchar("PK_NAME"),     smallint("DEFERRABILITY")};
}

bool applies(OwnerCase when, bool owner) {
  return when == OwnerCase::Always || (when == OwnerCase::WithOwner) == owner;
}

const CallFault* findFault(const std::vector<CallFault>& faults, const Value& table, bool owner) {
  for (const CallFault& f : faults)
    if ((f.table == "*" || (table && *table == f.table)) && applies(f.when, owner)) return &f;
  return nullptr;
}

void attachFetchFault(ResultSet& r, const std::vector<FetchFault>& faults, const Value& table) {
  for (const FetchFault& f : faults) {
    if (f.table == "*" || (table && *table == f.table)) {
      r.fetchErrorAfter = f.afterRows;
      r.fetchErrorMessage = f.message;
      return;
    }
  }
}

std::set<std::string> tableTypes(const Value& arg) {
  std::set<std::string> types;
  if (!given(arg)) return types;
  std::size_t start = 0;
  while (start <= arg->size()) {
    std::size_t comma = arg->find(',', start);
    if (comma == std::string::npos) comma = arg->size();
    std::string t = arg->substr(start, comma - start);
    t.erase(0, t.find_first_not_of(" '"));
    t.erase(t.find_last_not_of(" '") + 1);
    if (!t.empty()) types.insert(t);
    start = comma + 1;
  }
  return types;
}

SQLRETURN openResult(Stmt& s, ResultSet r) {
  s.result = std::move(r);
  return finish(s, SQL_SUCCESS);
}

SQLRETURN tables(Stmt& s, const Value& cat, const Value& schem, const Value& table, const Value& type) {
  const Fixture& fx = *s.dbc->fixture;
  ResultSet r;
  r.columns = tablesColumns();
  // The three special enumerations are recognised exactly as ODBC defines them.
  if (cat == "" && schem == "%" && table == "") {
    if (fx.schemasError) return fail(s, "HY000", *fx.schemasError);
    for (const Row& schema : fx.schemas) r.rows.push_back({schema[0], schema[1], {}, {}, {}});
    return openResult(s, std::move(r));
  }
  if (cat == "%" && schem == "" && table == "") {
    if (fx.catalogsError) return fail(s, "HY000", *fx.catalogsError);
    for (const std::string& c : fx.catalogs) r.rows.push_back({c, {}, {}, {}, {}});
    return openResult(s, std::move(r));
  }
  if (cat == "" && schem == "" && table == "" && type == "%") {
    std::set<std::string> seen;
    for (const Row& t : fx.tables)
      if (t[3] && seen.insert(*t[3]).second) r.rows.push_back({{}, {}, {}, t[3], {}});
    return openResult(s, std::move(r));
  }
  const bool owner = given(cat) || given(schem);
  if (const CallFault* f = findFault(fx.tablesFaults, table, owner)) return fail(s, "HY000", f->message);
  const std::set<std::string> types = tableTypes(type);
  for (const Row& t : fx.tables) {
    if (matches(t[0], cat) && matches(t[1], schem) && matches(t[2], table) &&
        (types.empty() || (t[3] && types.count(*t[3]))))
      r.rows.push_back(t);
  }
  if (fx.tablesFetchFault) {
    r.fetchErrorAfter = fx.tablesFetchFault->afterRows;
    r.fetchErrorMessage = fx.tablesFetchFault->message;
  }
  return openResult(s, std::move(r));
}

SQLRETURN columns(Stmt& s, const Value& cat, const Value& schem, const Value& table, const Value& column) {
  const Fixture& fx = *s.dbc->fixture;
  if (const CallFault* f = findFault(fx.columnsFaults, table, given(cat) || given(schem)))
    return fail(s, "HY000", f->message);
  ResultSet r;
  r.columns = columnsColumns();
  for (const Row& c : fx.columns)
    if (matches(c[0], cat) && matches(c[1], schem) && matches(c[2], table) && matches(c[3], column))
      r.rows.push_back(c);
  attachFetchFault(r, fx.columnsFetchFaults, table);
  return openResult(s, std::move(r));
}

bool unsupported(const Fixture& fx, const char* function) {
  return std::find(fx.unsupported.begin(), fx.unsupported.end(), function) != fx.unsupported.end();
}

SQLRETURN statistics(Stmt& s, const Value& cat, const Value& schem, const Value& table, SQLUSMALLINT unique) {
  const Fixture& fx = *s.dbc->fixture;
  if (unsupported(fx, "SQLStatistics")) return fail(s, "HYC00", "Optional feature not implemented");
  if (const CallFault* f = findFault(fx.statisticsFaults, table, given(cat) || given(schem)))
    return fail(s, "HY000", f->message);
  ResultSet r;
  r.columns = statisticsColumns();
  for (const Row& st : fx.statistics) {
    if (!matches(st[0], cat) || !matches(st[1], schem) || !matches(st[2], table)) continue;
    if (unique == SQL_INDEX_UNIQUE && st[3] == "1") continue;
    r.rows.push_back(st);
  }
  attachFetchFault(r, fx.statisticsFetchFaults, table);
  return openResult(s, std::move(r));
}

SQLRETURN primaryKeys(Stmt& s, const Value& cat, const Value& schem, const Value& table) {
  const Fixture& fx = *s.dbc->fixture;
  if (unsupported(fx, "SQLPrimaryKeys")) return fail(s, "HYC00", "Optional feature not implemented");
  ResultSet r;
  r.columns = primaryKeysColumns();
  for (const Row& k : fx.primaryKeys)
    if (matches(k[0], cat) && matches(k[1], schem) && matches(k[2], table)) r.rows.push_back(k);
  return openResult(s, std::move(r));
}

// Either side may be given: the keys that refer to a table, the keys a table has, or both.
SQLRETURN foreignKeys(Stmt& s, const Value& pkCat, const Value& pkSchem, const Value& pkTable, const Value& fkCat,
                      const Value& fkSchem, const Value& fkTable) {
  const Fixture& fx = *s.dbc->fixture;
  if (unsupported(fx, "SQLForeignKeys")) return fail(s, "HYC00", "Optional feature not implemented");
  if (!given(pkTable) && !given(fkTable)) return fail(s, "HY009", "Invalid use of null pointer");
  ResultSet r;
  r.columns = foreignKeysColumns();
  for (const Row& k : fx.foreignKeys)
    if (matches(k[0], pkCat) && matches(k[1], pkSchem) && matches(k[2], pkTable) && matches(k[4], fkCat) &&
        matches(k[5], fkSchem) && matches(k[6], fkTable))
      r.rows.push_back(k);
  return openResult(s, std::move(r));
}

SQLRETURN execute(Stmt& s, const std::string& sql) {
  const Statement* st = s.dbc->fixture->findStatement(sql);
  if (!st) return fail(s, "42000", "statement not in fixture: " + sql);
  if (st->error) return fail(s, "HY000", *st->error);
  if (!st->columns.empty()) {
    ResultSet r{st->columns, st->rows, st->fetchErrorAfter, st->fetchErrorMessage};
    s.result = std::move(r);
  }
  if (st->info) return finish(s, warn(s, "01000", *st->info));
  return finish(s, SQL_SUCCESS);
}

// ---------------------------------------------------------------- connect

// KEY=value;KEY={value with ;} pairs; keys are case-insensitive.
std::map<std::string, std::string> parseConnectString(const std::string& in) {
  std::map<std::string, std::string> out;
  std::size_t i = 0;
  while (i < in.size()) {
    while (i < in.size() && (in[i] == ';' || in[i] == ' ')) ++i;
    const std::size_t eq = in.find('=', i);
    if (eq == std::string::npos) break;
    std::string key = in.substr(i, eq - i);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string value;
    i = eq + 1;
    if (i < in.size() && in[i] == '{') {
      for (++i; i < in.size(); ++i) {
        if (in[i] == '}') {
          if (i + 1 < in.size() && in[i + 1] == '}') {
            value += '}';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        value += in[i];
      }
      while (i < in.size() && in[i] != ';') ++i;
    } else {
      const std::size_t semi = std::min(in.find(';', i), in.size());
      value = in.substr(i, semi - i);
      i = semi;
    }
    out[key] = value;
  }
  return out;
}

SQLRETURN connect(Dbc& dbc, const std::string& connectString) {
  const auto keys = parseConnectString(connectString);
  const auto fixturePath = keys.find("FIXTURE");
  if (fixturePath == keys.end() || fixturePath->second.empty())
    return fail(dbc, "08001", "connect string has no FIXTURE=path");
  try {
    dbc.fixture = std::make_unique<Fixture>(Fixture::load(fixturePath->second));
  } catch (const FixtureError& e) {
    return fail(dbc, "08001", e.what());
  }
  const auto log = keys.find("CALLLOG");
  dbc.callLog = log != keys.end() ? log->second : dbc.fixture->callLog;
  logCall(dbc, "SQLDriverConnect", {connectString});
  if (dbc.fixture->connectError) {
    const std::string message = *dbc.fixture->connectError;
    dbc.fixture.reset();
    return fail(dbc, "08001", message);
  }
  if (!dbc.currentCatalog) dbc.currentCatalog = dbc.fixture->databaseName;
  dbc.connected = true;
  return SQL_SUCCESS;
}

void dropStatement(Stmt* s) {
  s->dbc->stmts.erase(s);
  untrackAndDelete(s);
}

void disconnect(Dbc& dbc) {
  while (!dbc.stmts.empty()) dropStatement(*dbc.stmts.begin());
  dbc.connected = false;
  dbc.fixture.reset();
  dbc.currentCatalog.reset();
}

// ---------------------------------------------------------------- info

// The entry points this library exports; SQLGetFunctions answers from this list and the
// driver manager disables any exported function not listed.
constexpr SQLUSMALLINT kFunctions[] = {
    SQL_API_SQLALLOCHANDLE,    SQL_API_SQLFREEHANDLE,     SQL_API_SQLSETENVATTR,   SQL_API_SQLGETENVATTR,
    SQL_API_SQLDRIVERCONNECT,  SQL_API_SQLDISCONNECT,     SQL_API_SQLGETINFO,      SQL_API_SQLGETFUNCTIONS,
    SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR, SQL_API_SQLTABLES,       SQL_API_SQLCOLUMNS,
    SQL_API_SQLSTATISTICS,     SQL_API_SQLEXECDIRECT,     SQL_API_SQLPREPARE,      SQL_API_SQLEXECUTE,
    SQL_API_SQLNUMRESULTCOLS,  SQL_API_SQLDESCRIBECOL,    SQL_API_SQLCOLATTRIBUTE, SQL_API_SQLBINDCOL,
    SQL_API_SQLFETCH,          SQL_API_SQLGETDATA,        SQL_API_SQLFREESTMT,     SQL_API_SQLCLOSECURSOR,
    SQL_API_SQLROWCOUNT,       SQL_API_SQLMORERESULTS,    SQL_API_SQLNUMPARAMS,    SQL_API_SQLGETDIAGREC,
    SQL_API_SQLGETDIAGFIELD,   SQL_API_SQLERROR,          SQL_API_SQLSETSTMTATTR,  SQL_API_SQLGETSTMTATTR,
    SQL_API_SQLENDTRAN,        SQL_API_SQLCANCEL,         SQL_API_SQLPRIMARYKEYS,  SQL_API_SQLFOREIGNKEYS,
};

bool exported(SQLUSMALLINT id) {
  return std::find(std::begin(kFunctions), std::end(kFunctions), id) != std::end(kFunctions);
}

// What the connection's fixture leaves of them.
bool supports(const Dbc& dbc, SQLUSMALLINT id) {
  if (!exported(id)) return false;
  if (!dbc.fixture) return true;
  if (id == SQL_API_SQLPRIMARYKEYS) return !unsupported(*dbc.fixture, "SQLPrimaryKeys");
  if (id == SQL_API_SQLFOREIGNKEYS) return !unsupported(*dbc.fixture, "SQLForeignKeys");
  if (id == SQL_API_SQLSTATISTICS) return !unsupported(*dbc.fixture, "SQLStatistics");
  return true;
}

std::optional<std::string> stringInfo(const Dbc& dbc, SQLUSMALLINT type) {
  const Fixture& fx = *dbc.fixture;
  switch (type) {
    case SQL_SERVER_NAME:
      return fx.serverName;
    case SQL_USER_NAME:
      return fx.userName;
    case SQL_DBMS_NAME:
      return fx.dbmsName;
    case SQL_DBMS_VER:
      return fx.dbmsVersion;
    case SQL_DATABASE_NAME:
      return dbc.currentCatalog.value_or("");
    case SQL_DRIVER_NAME:
      return "libmvtestodbc.so";
    case SQL_DRIVER_VER:
      return "01.00.0000";
    case SQL_DRIVER_ODBC_VER:
      return "03.00";
    case SQL_XOPEN_CLI_YEAR:
      return "1995";
    case SQL_DATA_SOURCE_NAME:
      return "";
    case SQL_IDENTIFIER_QUOTE_CHAR:
      return "\"";
    case SQL_CATALOG_NAME_SEPARATOR:
      return ".";
    case SQL_CATALOG_TERM:
      return "catalog";
    case SQL_SCHEMA_TERM:
      return "schema";
    case SQL_TABLE_TERM:
      return "table";
    case SQL_PROCEDURE_TERM:
      return "procedure";
    case SQL_SEARCH_PATTERN_ESCAPE:
      return "\\";
    case SQL_SPECIAL_CHARACTERS:
    case SQL_KEYWORDS:
    case SQL_COLLATION_SEQ:
      return "";
    case SQL_CATALOG_NAME:
    case SQL_DATA_SOURCE_READ_ONLY:
    case SQL_ACCESSIBLE_TABLES:
    case SQL_COLUMN_ALIAS:
    case SQL_EXPRESSIONS_IN_ORDERBY:
    case SQL_OUTER_JOINS:
      return "Y";
    case SQL_MULT_RESULT_SETS:
    case SQL_MULTIPLE_ACTIVE_TXN:
    case SQL_ROW_UPDATES:
    case SQL_PROCEDURES:
    case SQL_ACCESSIBLE_PROCEDURES:
    case SQL_NEED_LONG_DATA_LEN:
    case SQL_ORDER_BY_COLUMNS_IN_SELECT:
    case SQL_LIKE_ESCAPE_CLAUSE:
    case SQL_MAX_ROW_SIZE_INCLUDES_LONG:
    case SQL_INTEGRITY:
    case SQL_DESCRIBE_PARAMETER:
      return "N";
    default:
      return std::nullopt;
  }
}

std::optional<SQLUSMALLINT> shortInfo(SQLUSMALLINT type) {
  switch (type) {
    case SQL_MAX_DRIVER_CONNECTIONS:
    case SQL_MAX_CONCURRENT_ACTIVITIES:
    case SQL_MAX_COLUMNS_IN_GROUP_BY:
    case SQL_MAX_COLUMNS_IN_INDEX:
    case SQL_MAX_COLUMNS_IN_ORDER_BY:
    case SQL_MAX_COLUMNS_IN_SELECT:
    case SQL_MAX_COLUMNS_IN_TABLE:
    case SQL_MAX_TABLES_IN_SELECT:
      return 0;
    case SQL_MAX_COLUMN_NAME_LEN:
    case SQL_MAX_TABLE_NAME_LEN:
    case SQL_MAX_SCHEMA_NAME_LEN:
    case SQL_MAX_CATALOG_NAME_LEN:
    case SQL_MAX_CURSOR_NAME_LEN:
    case SQL_MAX_IDENTIFIER_LEN:
      return 128;
    case SQL_TXN_CAPABLE:
      return SQL_TC_NONE;
    case SQL_CURSOR_COMMIT_BEHAVIOR:
    case SQL_CURSOR_ROLLBACK_BEHAVIOR:
      return SQL_CB_PRESERVE;
    case SQL_IDENTIFIER_CASE:
    case SQL_QUOTED_IDENTIFIER_CASE:
      return SQL_IC_SENSITIVE;
    case SQL_NULL_COLLATION:
      return SQL_NC_END;
    case SQL_CATALOG_LOCATION:
      return SQL_CL_START;
    case SQL_CONCAT_NULL_BEHAVIOR:
      return SQL_CB_NULL;
    case SQL_CORRELATION_NAME:
      return SQL_CN_ANY;
    case SQL_NON_NULLABLE_COLUMNS:
      return SQL_NNC_NON_NULL;
    case SQL_FILE_USAGE:
      return SQL_FILE_NOT_SUPPORTED;
    case SQL_GROUP_BY:
      return SQL_GB_GROUP_BY_CONTAINS_SELECT;
    case SQL_ODBC_API_CONFORMANCE:
      return SQL_OAC_LEVEL1;
    case SQL_ODBC_SQL_CONFORMANCE:
      return SQL_OSC_CORE;
    case SQL_ODBC_SAG_CLI_CONFORMANCE:
      return SQL_OSCC_COMPLIANT;
    default:
      return std::nullopt;
  }
}

std::optional<SQLUINTEGER> longInfo(SQLUSMALLINT type) {
  switch (type) {
    case SQL_GETDATA_EXTENSIONS:
      return SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND;
    case SQL_SCROLL_OPTIONS:
      return SQL_SO_FORWARD_ONLY;
    case SQL_FETCH_DIRECTION:
      return SQL_FD_FETCH_NEXT;
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1:
      return SQL_CA1_NEXT;
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2:
      return SQL_CA2_READ_ONLY_CONCURRENCY;
    case SQL_SCROLL_CONCURRENCY:
      return SQL_SCCO_READ_ONLY;
    case SQL_CATALOG_USAGE:
    case SQL_SCHEMA_USAGE:
      return SQL_CU_DML_STATEMENTS | SQL_CU_TABLE_DEFINITION | SQL_CU_INDEX_DEFINITION;
    case SQL_SQL_CONFORMANCE:
      return SQL_SC_SQL92_ENTRY;
    case SQL_ODBC_INTERFACE_CONFORMANCE:
      return SQL_OIC_CORE;
    case SQL_OJ_CAPABILITIES:
      return SQL_OJ_LEFT | SQL_OJ_NOT_ORDERED;
    case SQL_UNION:
      return SQL_U_UNION | SQL_U_UNION_ALL;
    case SQL_PARAM_ARRAY_ROW_COUNTS:
      return SQL_PARC_NO_BATCH;
    case SQL_PARAM_ARRAY_SELECTS:
      return SQL_PAS_NO_SELECT;
    case SQL_ASYNC_MODE:
      return SQL_AM_NONE;
    case SQL_STATIC_CURSOR_ATTRIBUTES1:
    case SQL_STATIC_CURSOR_ATTRIBUTES2:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES1:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES2:
    case SQL_KEYSET_CURSOR_ATTRIBUTES1:
    case SQL_KEYSET_CURSOR_ATTRIBUTES2:
    case SQL_TXN_ISOLATION_OPTION:
    case SQL_DEFAULT_TXN_ISOLATION:
    case SQL_BOOKMARK_PERSISTENCE:
    case SQL_STATIC_SENSITIVITY:
    case SQL_LOCK_TYPES:
    case SQL_POS_OPERATIONS:
    case SQL_POSITIONED_STATEMENTS:
    case SQL_CONVERT_FUNCTIONS:
    case SQL_NUMERIC_FUNCTIONS:
    case SQL_STRING_FUNCTIONS:
    case SQL_SYSTEM_FUNCTIONS:
    case SQL_TIMEDATE_FUNCTIONS:
    case SQL_MAX_STATEMENT_LEN:
    case SQL_MAX_ROW_SIZE:
    case SQL_MAX_CHAR_LITERAL_LEN:
    case SQL_MAX_BINARY_LITERAL_LEN:
    case SQL_MAX_INDEX_SIZE:
    case SQL_BATCH_SUPPORT:
    case SQL_BATCH_ROW_COUNT:
    case SQL_DATETIME_LITERALS:
    case SQL_ALTER_TABLE:
    case SQL_SUBQUERIES:
    case SQL_ASYNC_DBC_FUNCTIONS:
    case SQL_ASYNC_NOTIFICATION:
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS:
      return 0;
    default:
      return std::nullopt;
  }
}

SQLRETURN getInfo(Dbc& dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bufferLength, SQLSMALLINT* length) {
  if (!dbc.connected) return fail(dbc, "08003", "Connection not open");
  if (const auto s = stringInfo(dbc, type)) return finish(dbc, putString(dbc, *s, value, bufferLength, length));
  if (const auto v = shortInfo(type)) {
    if (value) std::memcpy(value, &*v, sizeof *v);
    if (length) *length = sizeof *v;
    return SQL_SUCCESS;
  }
  if (const auto v = longInfo(type)) {
    if (value) std::memcpy(value, &*v, sizeof *v);
    if (length) *length = sizeof *v;
    return SQL_SUCCESS;
  }
  return fail(dbc, "HY096", "Information type out of range: " + std::to_string(type));
}

// ---------------------------------------------------------------- diagnostics

Diag* diagRecord(Handle& h, SQLSMALLINT record) {
  if (record < 1 || static_cast<std::size_t>(record) > h.diags.size()) return nullptr;
  return &h.diags[static_cast<std::size_t>(record) - 1];
}

const std::string& serverNameOf(SQLSMALLINT type, Handle* h) {
  static const std::string none;
  Dbc* dbc = type == SQL_HANDLE_DBC    ? static_cast<Dbc*>(h)
             : type == SQL_HANDLE_STMT ? static_cast<Stmt*>(h)->dbc
                                       : nullptr;
  return dbc && dbc->fixture ? dbc->fixture->serverName : none;
}

SQLRETURN getDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER info,
                       SQLSMALLINT bufferLength, SQLSMALLINT* length) {
  Handle* h = lookupAny(type, handle);
  if (!h) return SQL_INVALID_HANDLE;
  switch (field) {
    case SQL_DIAG_NUMBER: {
      const SQLINTEGER n = static_cast<SQLINTEGER>(h->diags.size());
      if (info) std::memcpy(info, &n, sizeof n);
      return SQL_SUCCESS;
    }
    case SQL_DIAG_RETURNCODE:
      if (info) std::memcpy(info, &h->lastReturn, sizeof h->lastReturn);
      return SQL_SUCCESS;
    case SQL_DIAG_ROW_COUNT:
    case SQL_DIAG_CURSOR_ROW_COUNT: {
      const SQLLEN n = 0;
      if (info) std::memcpy(info, &n, sizeof n);
      return SQL_SUCCESS;
    }
    case SQL_DIAG_DYNAMIC_FUNCTION: {
      Handle scratch(0);
      return putString(scratch, "", info, bufferLength, length);
    }
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE: {
      const SQLINTEGER code = SQL_DIAG_UNKNOWN_STATEMENT;
      if (info) std::memcpy(info, &code, sizeof code);
      return SQL_SUCCESS;
    }
    default:
      break;
  }
  Diag* d = diagRecord(*h, record);
  if (!d) return SQL_NO_DATA;
  // Truncation here must not add records to the area being read.
  Handle scratch(0);
  switch (field) {
    case SQL_DIAG_SQLSTATE:
      return putString(scratch, d->state, info, bufferLength, length);
    case SQL_DIAG_MESSAGE_TEXT:
      return putString(scratch, d->message, info, bufferLength, length);
    case SQL_DIAG_CLASS_ORIGIN:
    case SQL_DIAG_SUBCLASS_ORIGIN:
      return putString(scratch, d->state.rfind("IM", 0) == 0 ? "ODBC 3.0" : "ISO 9075", info, bufferLength, length);
    case SQL_DIAG_CONNECTION_NAME:
      return putString(scratch, "", info, bufferLength, length);
    case SQL_DIAG_SERVER_NAME:
      return putString(scratch, serverNameOf(type, h), info, bufferLength, length);
    case SQL_DIAG_NATIVE: {
      const SQLINTEGER n = 0;
      if (info) std::memcpy(info, &n, sizeof n);
      return SQL_SUCCESS;
    }
    case SQL_DIAG_ROW_NUMBER: {
      const SQLLEN n = SQL_ROW_NUMBER_UNKNOWN;
      if (info) std::memcpy(info, &n, sizeof n);
      return SQL_SUCCESS;
    }
    case SQL_DIAG_COLUMN_NUMBER: {
      const SQLINTEGER n = SQL_COLUMN_NUMBER_UNKNOWN;
      if (info) std::memcpy(info, &n, sizeof n);
      return SQL_SUCCESS;
    }
    default:
      return SQL_ERROR;
  }
}

SQLRETURN diagRecordOut(const Diag& d, SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength,
                        SQLSMALLINT* length) {
  if (state) {
    std::memset(state, 0, 6);
    std::memcpy(state, d.state.data(), std::min<std::size_t>(d.state.size(), 5));
  }
  if (native) *native = 0;
  Handle scratch(0);
  return putString(scratch, d.message, message, bufferLength, length);
}

// ---------------------------------------------------------------- column metadata

SQLRETURN colAttribute(Stmt& s, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text, SQLSMALLINT bufferLength,
                       SQLSMALLINT* length, SQLLEN* number) {
  const std::size_t count = s.result ? s.result->columns.size() : 0;
  if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
    if (number) *number = static_cast<SQLLEN>(count);
    return SQL_SUCCESS;
  }
  if (!s.result) return fail(s, "07005", "Prepared statement not a cursor-specification");
  if (column < 1 || column > count) return fail(s, "07009", "Invalid descriptor index");
  const ResultColumn& c = s.result->columns[column - 1];
  auto text_ = [&](const std::string& v) { return finish(s, putString(s, v, text, bufferLength, length)); };
  auto number_ = [&](SQLLEN v) {
    if (number) *number = v;
    return SQL_SUCCESS;
  };
  switch (field) {
    case SQL_DESC_NAME:
    case SQL_COLUMN_NAME:
    case SQL_DESC_LABEL:
    case SQL_DESC_BASE_COLUMN_NAME:
      return text_(c.name);
    case SQL_DESC_TABLE_NAME:
    case SQL_DESC_BASE_TABLE_NAME:
      return text_(c.baseTable);
    case SQL_DESC_CATALOG_NAME:
    case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_TYPE_NAME:
    case SQL_DESC_LOCAL_TYPE_NAME:
    case SQL_DESC_LITERAL_PREFIX:
    case SQL_DESC_LITERAL_SUFFIX:
      return text_("");
    // Reported verbatim, so a fixture decides exactly what the application sees.
    case SQL_DESC_TYPE:
    case SQL_DESC_CONCISE_TYPE:
      return number_(c.type);
    case SQL_DESC_LENGTH:
    case SQL_DESC_OCTET_LENGTH:
    case SQL_DESC_DISPLAY_SIZE:
    case SQL_COLUMN_LENGTH:
    case SQL_COLUMN_PRECISION:
    case SQL_DESC_PRECISION:
      return number_(c.size);
    case SQL_COLUMN_SCALE:
    case SQL_DESC_SCALE:
    case SQL_DESC_UNSIGNED:
    case SQL_DESC_FIXED_PREC_SCALE:
    case SQL_DESC_AUTO_UNIQUE_VALUE:
    case SQL_DESC_CASE_SENSITIVE:
      return number_(0);
    case SQL_DESC_NULLABLE:
    case SQL_COLUMN_NULLABLE:
      return number_(SQL_NULLABLE_UNKNOWN);
    case SQL_DESC_SEARCHABLE:
      return number_(SQL_PRED_SEARCHABLE);
    case SQL_DESC_UPDATABLE:
      return number_(SQL_ATTR_READONLY);
    case SQL_DESC_NUM_PREC_RADIX:
      return number_(0);
    case SQL_DESC_UNNAMED:
      return number_(c.name.empty() ? SQL_UNNAMED : SQL_NAMED);
    default:
      return fail(s, "HY091", "Invalid descriptor field identifier: " + std::to_string(field));
  }
}

SQLRETURN getData(Stmt& s, SQLUSMALLINT column, SQLSMALLINT targetType, SQLPOINTER target, SQLLEN length,
                  SQLLEN* indicator) {
  if (!s.result || !s.onRow) return fail(s, "24000", "Invalid cursor state: no current row");
  if (column < 1 || column > s.result->columns.size()) return fail(s, "07009", "Invalid descriptor index");
  const CType type = ctypeOf(targetType);
  if (type == CType::Unsupported) return fail(s, "HY003", "Program type out of range: " + std::to_string(targetType));
  if (column != s.pieceColumn) {
    s.pieceColumn = column;
    s.pieceOffset = 0;
    s.pieceDone = false;
  }
  if (s.pieceDone) return finish(s, SQL_NO_DATA);
  const Value& v = s.result->rows[s.fetched - 1][column - 1];
  if (!v) {
    if (!indicator) return fail(s, "22002", "Indicator variable required but not supplied");
    *indicator = SQL_NULL_DATA;
    s.pieceDone = true;
    return SQL_SUCCESS;
  }
  if (type != CType::Char && type != CType::Binary) {
    s.pieceDone = true;
    return putNumber(s, type, *v, target, indicator);
  }
  const std::size_t remaining = v->size() - s.pieceOffset;
  const std::size_t copied = putText(type, *v, s.pieceOffset, target, length, indicator);
  s.pieceOffset += copied;
  if (copied < remaining) return finish(s, warn(s, "01004", "String data, right truncated"));
  s.pieceDone = true;
  return SQL_SUCCESS;
}

SQLRETURN fetch(Stmt& s) {
  if (!s.result) return fail(s, "24000", "Invalid cursor state: no result set");
  ResultSet& r = *s.result;
  s.pieceColumn = 0;
  if (r.fetchErrorAfter && s.fetched >= *r.fetchErrorAfter) {
    s.onRow = false;
    return fail(s, "HY000", r.fetchErrorMessage);
  }
  if (s.fetched >= r.rows.size()) {
    s.onRow = false;
    return finish(s, SQL_NO_DATA);
  }
  ++s.fetched;
  s.onRow = true;
  return finish(s, fillBindings(s));
}

}  // namespace
}  // namespace mv::testdriver

// ==================================================================== entry points

using namespace mv::testdriver;

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  if (!output) return SQL_ERROR;
  *output = SQL_NULL_HANDLE;
  switch (type) {
    case SQL_HANDLE_ENV: {
      auto* env = new Env;
      track(env);
      *output = static_cast<Handle*>(env);
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
      Env* env = enter<Env>(input);
      if (!env) return SQL_INVALID_HANDLE;
      auto* dbc = new Dbc(env);
      env->dbcs.insert(dbc);
      track(dbc);
      *output = static_cast<Handle*>(dbc);
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
      Dbc* dbc = enter<Dbc>(input);
      if (!dbc) return SQL_INVALID_HANDLE;
      if (!dbc->connected) return fail(*dbc, "08003", "Connection not open");
      auto* stmt = new Stmt(dbc);
      dbc->stmts.insert(stmt);
      track(stmt);
      *output = static_cast<Handle*>(stmt);
      return SQL_SUCCESS;
    }
    default: {
      Handle* h = lookup<Dbc>(input);
      if (!h) h = lookup<Env>(input);
      if (!h) return SQL_INVALID_HANDLE;
      h->diags.clear();
      return fail(*h, "HYC00", "Optional feature not implemented: handle type " + std::to_string(type));
    }
  }
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  switch (type) {
    case SQL_HANDLE_ENV: {
      Env* env = enter<Env>(handle);
      if (!env) return SQL_INVALID_HANDLE;
      if (!env->dbcs.empty()) return fail(*env, "HY010", "Function sequence error: connections still allocated");
      untrackAndDelete(env);
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
      Dbc* dbc = enter<Dbc>(handle);
      if (!dbc) return SQL_INVALID_HANDLE;
      disconnect(*dbc);
      dbc->env->dbcs.erase(dbc);
      untrackAndDelete(dbc);
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
      Stmt* stmt = enter<Stmt>(handle);
      if (!stmt) return SQL_INVALID_HANDLE;
      dropStatement(stmt);
      return SQL_SUCCESS;
    }
    default:
      return SQL_INVALID_HANDLE;
  }
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  if (!handle && attribute == SQL_ATTR_CONNECTION_POOLING) return SQL_SUCCESS;
  Env* env = enter<Env>(handle);
  if (!env) return SQL_INVALID_HANDLE;
  if (attribute == SQL_ATTR_ODBC_VERSION)
    env->odbcVersion = static_cast<SQLINTEGER>(reinterpret_cast<std::intptr_t>(value));
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                SQLINTEGER* length) {
  Env* env = enter<Env>(handle);
  if (!env) return SQL_INVALID_HANDLE;
  SQLINTEGER v = 0;
  switch (attribute) {
    case SQL_ATTR_ODBC_VERSION:
      v = env->odbcVersion;
      break;
    case SQL_ATTR_OUTPUT_NTS:
      v = SQL_TRUE;
      break;
    case SQL_ATTR_CONNECTION_POOLING:
      v = SQL_CP_OFF;
      break;
    case SQL_ATTR_CP_MATCH:
      v = SQL_CP_STRICT_MATCH;
      break;
    default:
      return fail(*env, "HY092", "Invalid attribute identifier: " + std::to_string(attribute));
  }
  if (value) std::memcpy(value, &v, sizeof v);
  if (length) *length = sizeof v;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC handle, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out,
                                   SQLSMALLINT outMax, SQLSMALLINT* outLength, SQLUSMALLINT) {
  Dbc* dbc = enter<Dbc>(handle);
  if (!dbc) return SQL_INVALID_HANDLE;
  if (dbc->connected) return fail(*dbc, "08002", "Connection name in use");
  const std::string connectString = argument(in, inLength).value_or("");
  const SQLRETURN rc = connect(*dbc, connectString);
  if (rc != SQL_SUCCESS) return rc;
  return finish(*dbc, putString(*dbc, connectString, out, outMax, outLength));
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC handle) {
  Dbc* dbc = enter<Dbc>(handle);
  if (!dbc) return SQL_INVALID_HANDLE;
  disconnect(*dbc);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bufferLength,
                             SQLSMALLINT* length) {
  Dbc* dbc = enter<Dbc>(handle);
  if (!dbc) return SQL_INVALID_HANDLE;
  return getInfo(*dbc, type, value, bufferLength, length);
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC handle, SQLUSMALLINT function, SQLUSMALLINT* supported) {
  Dbc* dbc = enter<Dbc>(handle);
  if (!dbc) return SQL_INVALID_HANDLE;
  if (!supported) return fail(*dbc, "HY009", "Invalid use of null pointer");
  if (function == SQL_API_ODBC3_ALL_FUNCTIONS) {
    std::fill_n(supported, SQL_API_ODBC3_ALL_FUNCTIONS_SIZE, SQLUSMALLINT{0});
    for (const SQLUSMALLINT id : kFunctions)
      if (supports(*dbc, id)) supported[id >> 4] |= static_cast<SQLUSMALLINT>(1u << (id & 0xf));
  } else if (function == SQL_API_ALL_FUNCTIONS) {
    for (SQLUSMALLINT id = 0; id < 100; ++id) supported[id] = supports(*dbc, id) ? SQL_TRUE : SQL_FALSE;
  } else {
    *supported = supports(*dbc, function) ? SQL_TRUE : SQL_FALSE;
  }
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  Dbc* dbc = enter<Dbc>(handle);
  if (!dbc) return SQL_INVALID_HANDLE;
  if (attribute != SQL_ATTR_CURRENT_CATALOG) {
    dbc->attrs[attribute] = static_cast<SQLULEN>(reinterpret_cast<std::uintptr_t>(value));
    return SQL_SUCCESS;
  }
  const Value catalog = argument(static_cast<SQLCHAR*>(value), length);
  if (!catalog) return fail(*dbc, "HY009", "Invalid use of null pointer");
  // Before the connect (the driver manager replays early settings) there is no fixture yet.
  if (dbc->connected) {
    logCall(*dbc, "SQLSetConnectAttr", {std::string("SQL_ATTR_CURRENT_CATALOG"), catalog});
    if (dbc->fixture->currentCatalogError) return fail(*dbc, "HY000", *dbc->fixture->currentCatalogError);
  }
  dbc->currentCatalog = catalog;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER bufferLength,
                                    SQLINTEGER* length) {
  Dbc* dbc = enter<Dbc>(handle);
  if (!dbc) return SQL_INVALID_HANDLE;
  if (attribute == SQL_ATTR_CURRENT_CATALOG)
    return finish(*dbc, putString(*dbc, dbc->currentCatalog.value_or(""), value, bufferLength, length));
  SQLULEN v = 0;
  if (attribute == SQL_ATTR_CONNECTION_DEAD)
    v = dbc->connected ? SQL_CD_FALSE : SQL_CD_TRUE;
  else if (auto it = dbc->attrs.find(attribute); it != dbc->attrs.end())
    v = it->second;
  else if (attribute == SQL_ATTR_AUTOCOMMIT)
    v = SQL_AUTOCOMMIT_ON;
  // Pointer-sized attributes; the rest are SQLUINTEGER.
  if (attribute == SQL_ATTR_QUIET_MODE || attribute == SQL_ATTR_ODBC_CURSORS) {
    if (value) std::memcpy(value, &v, sizeof v);
    if (length) *length = sizeof v;
  } else {
    const auto u = static_cast<SQLUINTEGER>(v);
    if (value) std::memcpy(value, &u, sizeof u);
    if (length) *length = sizeof u;
  }
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLTables(SQLHSTMT handle, SQLCHAR* cat, SQLSMALLINT catLength, SQLCHAR* schem,
                            SQLSMALLINT schemLength, SQLCHAR* table, SQLSMALLINT tableLength, SQLCHAR* type,
                            SQLSMALLINT typeLength) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  s->closeCursor();
  const Value c = argument(cat, catLength), sc = argument(schem, schemLength), t = argument(table, tableLength),
              ty = argument(type, typeLength);
  logCall(*s->dbc, "SQLTables", {c, sc, t, ty});
  return tables(*s, c, sc, t, ty);
}

SQLRETURN SQL_API SQLColumns(SQLHSTMT handle, SQLCHAR* cat, SQLSMALLINT catLength, SQLCHAR* schem,
                             SQLSMALLINT schemLength, SQLCHAR* table, SQLSMALLINT tableLength, SQLCHAR* column,
                             SQLSMALLINT columnLength) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  s->closeCursor();
  const Value c = argument(cat, catLength), sc = argument(schem, schemLength), t = argument(table, tableLength),
              co = argument(column, columnLength);
  logCall(*s->dbc, "SQLColumns", {c, sc, t, co});
  return columns(*s, c, sc, t, co);
}

SQLRETURN SQL_API SQLStatistics(SQLHSTMT handle, SQLCHAR* cat, SQLSMALLINT catLength, SQLCHAR* schem,
                                SQLSMALLINT schemLength, SQLCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT unique,
                                SQLUSMALLINT reserved) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  s->closeCursor();
  const Value c = argument(cat, catLength), sc = argument(schem, schemLength), t = argument(table, tableLength);
  logCall(*s->dbc, "SQLStatistics", {c, sc, t, std::to_string(unique), std::to_string(reserved)});
  return statistics(*s, c, sc, t, unique);
}

SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT handle, SQLCHAR* cat, SQLSMALLINT catLength, SQLCHAR* schem,
                                 SQLSMALLINT schemLength, SQLCHAR* table, SQLSMALLINT tableLength) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  s->closeCursor();
  const Value c = argument(cat, catLength), sc = argument(schem, schemLength), t = argument(table, tableLength);
  logCall(*s->dbc, "SQLPrimaryKeys", {c, sc, t});
  return primaryKeys(*s, c, sc, t);
}

SQLRETURN SQL_API SQLForeignKeys(SQLHSTMT handle, SQLCHAR* pkCat, SQLSMALLINT pkCatLength, SQLCHAR* pkSchem,
                                 SQLSMALLINT pkSchemLength, SQLCHAR* pkTable, SQLSMALLINT pkTableLength, SQLCHAR* fkCat,
                                 SQLSMALLINT fkCatLength, SQLCHAR* fkSchem, SQLSMALLINT fkSchemLength, SQLCHAR* fkTable,
                                 SQLSMALLINT fkTableLength) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  s->closeCursor();
  const Value pc = argument(pkCat, pkCatLength), ps = argument(pkSchem, pkSchemLength),
              pt = argument(pkTable, pkTableLength), fc = argument(fkCat, fkCatLength),
              fs = argument(fkSchem, fkSchemLength), ft = argument(fkTable, fkTableLength);
  logCall(*s->dbc, "SQLForeignKeys", {pc, ps, pt, fc, fs, ft});
  return foreignKeys(*s, pc, ps, pt, fc, fs, ft);
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  s->closeCursor();
  const Value sql = argument(text, length);
  if (!sql) return fail(*s, "HY009", "Invalid use of null pointer");
  logCall(*s->dbc, "SQLExecDirect", {sql});
  return execute(*s, *sql);
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  s->closeCursor();
  s->prepared = argument(text, length);
  if (!s->prepared) return fail(*s, "HY009", "Invalid use of null pointer");
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT handle) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  if (!s->prepared) return fail(*s, "HY010", "Function sequence error: no prepared statement");
  s->closeCursor();
  logCall(*s->dbc, "SQLExecute", {s->prepared});
  return execute(*s, *s->prepared);
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* count) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  if (count) *count = s->result ? static_cast<SQLSMALLINT>(s->result->columns.size()) : 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT handle, SQLSMALLINT* count) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  if (count) *count = 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT handle, SQLLEN* count) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  if (count) *count = s->result ? static_cast<SQLLEN>(s->result->rows.size()) : 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT handle, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT bufferLength,
                                 SQLSMALLINT* nameLength, SQLSMALLINT* dataType, SQLULEN* columnSize,
                                 SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  if (!s->result) return fail(*s, "07005", "Prepared statement not a cursor-specification");
  if (column < 1 || column > s->result->columns.size()) return fail(*s, "07009", "Invalid descriptor index");
  const ResultColumn& c = s->result->columns[column - 1];
  if (dataType) *dataType = static_cast<SQLSMALLINT>(c.type);
  if (columnSize) *columnSize = static_cast<SQLULEN>(c.size < 0 ? 0 : c.size);
  if (decimalDigits) *decimalDigits = 0;
  if (nullable) *nullable = SQL_NULLABLE_UNKNOWN;
  return finish(*s, putString(*s, c.name, name, bufferLength, nameLength));
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT handle, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                  SQLSMALLINT bufferLength, SQLSMALLINT* length, SQLLEN* number) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  return colAttribute(*s, column, field, text, bufferLength, length, number);
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER target, SQLLEN length,
                             SQLLEN* indicator) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  if (!target) {
    s->bindings.erase(column);
    return SQL_SUCCESS;
  }
  if (column < 1) return fail(*s, "07009", "Invalid descriptor index (bookmarks are not supported)");
  if (ctypeOf(type) == CType::Unsupported)
    return fail(*s, "HY003", "Program type out of range: " + std::to_string(type));
  s->bindings[column] = Binding{type, target, length, indicator};
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT handle) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  return fetch(*s);
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER target, SQLLEN length,
                             SQLLEN* indicator) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  return getData(*s, column, type, target, length, indicator);
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT handle, SQLUSMALLINT option) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  switch (option) {
    case SQL_CLOSE:
      s->closeCursor();
      return SQL_SUCCESS;
    case SQL_DROP:
      dropStatement(s);
      return SQL_SUCCESS;
    case SQL_UNBIND:
      s->bindings.clear();
      return SQL_SUCCESS;
    case SQL_RESET_PARAMS:
      return SQL_SUCCESS;
    default:
      return fail(*s, "HY092", "Invalid attribute/option identifier");
  }
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT handle) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  if (!s->result) return fail(*s, "24000", "Invalid cursor state");
  s->closeCursor();
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT handle) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  s->closeCursor();
  return finish(*s, SQL_NO_DATA);
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT handle) { return enter<Stmt>(handle) ? SQL_SUCCESS : SQL_INVALID_HANDLE; }

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT) {
  Handle* h = lookupAny(type, handle);
  if (!h) return SQL_INVALID_HANDLE;
  h->diags.clear();
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  const auto v = static_cast<SQLULEN>(reinterpret_cast<std::uintptr_t>(value));
  if (attribute == SQL_ATTR_ROW_ARRAY_SIZE && v != 1)
    return finish(*s, warn(*s, "01S02", "Option value changed: row arrays are not supported"));
  s->attrs[attribute] = v;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                 SQLINTEGER* length) {
  Stmt* s = enter<Stmt>(handle);
  if (!s) return SQL_INVALID_HANDLE;
  SQLULEN v = 0;
  switch (attribute) {
    // No descriptors: the driver manager then keeps its own.
    case SQL_ATTR_APP_ROW_DESC:
    case SQL_ATTR_APP_PARAM_DESC:
    case SQL_ATTR_IMP_ROW_DESC:
    case SQL_ATTR_IMP_PARAM_DESC:
      return fail(*s, "HYC00", "Descriptors are not supported");
    case SQL_ATTR_ROW_NUMBER:
      v = s->onRow ? s->fetched : 0;
      break;
    case SQL_ATTR_ROW_ARRAY_SIZE:
      v = 1;
      break;
    case SQL_ATTR_CURSOR_TYPE:
      v = SQL_CURSOR_FORWARD_ONLY;
      break;
    case SQL_ATTR_CONCURRENCY:
      v = SQL_CONCUR_READ_ONLY;
      break;
    default:
      if (auto it = s->attrs.find(attribute); it != s->attrs.end()) v = it->second;
  }
  if (value) std::memcpy(value, &v, sizeof v);
  if (length) *length = sizeof v;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength, SQLSMALLINT* length) {
  Handle* h = lookupAny(type, handle);
  if (!h) return SQL_INVALID_HANDLE;
  if (record < 1) return SQL_ERROR;
  const Diag* d = diagRecord(*h, record);
  if (!d) return SQL_NO_DATA;
  return diagRecordOut(*d, state, native, message, bufferLength, length);
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER info, SQLSMALLINT bufferLength, SQLSMALLINT* length) {
  return getDiagField(type, handle, record, field, info, bufferLength, length);
}

// ODBC 2 style: hands out the oldest record of the most specific handle and forgets it.
SQLRETURN SQL_API SQLError(SQLHENV envHandle, SQLHDBC dbcHandle, SQLHSTMT stmtHandle, SQLCHAR* state,
                           SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufferLength, SQLSMALLINT* length) {
  Handle* h = nullptr;
  if (stmtHandle)
    h = lookup<Stmt>(stmtHandle);
  else if (dbcHandle)
    h = lookup<Dbc>(dbcHandle);
  else if (envHandle)
    h = lookup<Env>(envHandle);
  if (!h) return SQL_INVALID_HANDLE;
  if (h->diags.empty()) return SQL_NO_DATA;
  const Diag d = h->diags.front();
  h->diags.erase(h->diags.begin());
  return diagRecordOut(d, state, native, message, bufferLength, length);
}

}  // extern "C"
