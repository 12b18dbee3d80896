#include "db/EngineTypes.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>

#include "base/TextRules.h"
#include "db/OdbcCall.h"
#include "db/OdbcText.h"
#include "db/RowReader.h"

namespace mv {

namespace {

std::string Trimmed(std::string_view s) { return Trim(s, " \t\r\n"); }

// A declared type split as "name(args) rest": "numeric(10,2)" gives numeric, 10, 2;
// "bigint(20) unsigned" gives bigint, 20 and the rest "unsigned".
struct TypeParts {
  std::string name, rest;
  long p = 0, s = 0;
  bool hasArgs = false;
  std::string args;  // the text between the parentheses
};

TypeParts Split(std::string_view declared) {
  TypeParts t;
  const std::string lower = Lower(Trimmed(declared));
  const size_t open = lower.find('(');
  if (open == std::string::npos) {
    t.name = lower;
    return t;
  }
  t.name = Trimmed(std::string_view(lower).substr(0, open));
  const size_t close = lower.rfind(')');
  if (close == std::string::npos || close < open) {
    t.name = lower;
    return t;
  }
  t.hasArgs = true;
  t.args = lower.substr(open + 1, close - open - 1);
  t.rest = Trimmed(std::string_view(lower).substr(close + 1));
  char* end = nullptr;
  t.p = std::strtol(t.args.c_str(), &end, 10);
  if (end && *end == ',') t.s = std::strtol(end + 1, nullptr, 10);
  // A rest after the parentheses belongs to the name for names such as "timestamp(3) with
  // time zone".
  return t;
}

bool Has(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

EngineType Fix(std::string_view declared, int sqlType, long size = 0, long scale = 0,
               EngineRead read = EngineRead::AsReported) {
  EngineType t;
  t.declared = std::string(declared);
  t.corrects = true;
  t.sqlType = sqlType;
  t.size = size;
  t.scale = scale;
  t.read = read;
  return t;
}

// A name the program has no knowledge of: the driver's reading stands.
EngineType Keep(std::string_view declared) {
  EngineType t;
  t.declared = std::string(declared);
  return t;
}

// Any type outside the ODBC categories: its own name is written, with no length after it,
// and its values are read as the engine's text.
constexpr int kOwnType = SQL_UNKNOWN_TYPE;

// SQLite keeps a type name as the column's affinity and any value in any column, with every
// integer 64 bits wide and every real a double, whatever the name says.
EngineType SqliteType(std::string_view declared) {
  const TypeParts t = Split(declared);
  const std::string& n = t.name;
  if (n.empty()) return Keep(declared);
  if (Has(n, "int")) {
    if (n == "tinyint") return Fix(declared, SQL_TINYINT);
    if (n == "smallint" || n == "int2") return Fix(declared, SQL_SMALLINT);
    return Fix(declared, SQL_BIGINT);
  }
  if (n == "boolean" || n == "bool" || n == "bit") return Fix(declared, SQL_BIT);
  if (n == "numeric" || n == "decimal")
    return Fix(declared, n == "numeric" ? SQL_NUMERIC : SQL_DECIMAL, t.hasArgs ? t.p : 0, t.hasArgs ? t.s : 0);
  if (n == "real" || n == "double" || n == "double precision" || n == "float") return Fix(declared, SQL_DOUBLE);
  if (n == "date") return Fix(declared, SQL_DATE);
  if (n == "datetime" || n == "timestamp") return Fix(declared, SQL_TIMESTAMP);
  if (n == "time") return Fix(declared, SQL_TIME);
  if (n == "blob") return Fix(declared, SQL_LONGVARBINARY);
  if (Has(n, "char") || Has(n, "clob") || Has(n, "text")) {
    // A length is only a wish in SQLite; without one the text is unbounded.
    const bool fixedWidth = (n == "char" || n == "character" || n == "nchar") && t.hasArgs;
    if (t.hasArgs && t.p > 0 && !Has(n, "text") && !Has(n, "clob"))
      return Fix(declared, fixedWidth ? SQL_CHAR : SQL_VARCHAR, t.p);
    return Fix(declared, SQL_LONGVARCHAR);
  }
  // Any other name: the driver's reading stands; the name is still the engine's.
  return Keep(declared);
}

// PostgreSQL prints a precise time type as "timestamp(3) without time zone", a name that other
// engines cannot parse (SQLite takes a type name only as words before one parenthesis); its
// own short spellings mean the same and parse everywhere.
std::string ShortTimeName(const TypeParts& t, std::string_view declared) {
  if (!t.hasArgs || (t.name != "timestamp" && t.name != "time")) return std::string(declared);
  const std::string args = "(" + t.args + ")";
  if (t.rest == "without time zone") return t.name + args;
  if (t.rest == "with time zone") return t.name + "tz" + args;
  return std::string(declared);
}

EngineType PostgresType(std::string_view declaredText, char userKind, std::string_view userType) {
  const TypeParts t = Split(declaredText);
  const std::string shortName = ShortTimeName(t, declaredText);
  const std::string_view declared = shortName;
  const std::string n = t.rest.empty() ? t.name : t.name + " " + t.rest;
  EngineType e;
  if (n.size() > 2 && n.compare(n.size() - 2, 2, "[]") == 0)
    e = Fix(declared, kOwnType, 0, 0, EngineRead::Text);
  else if (n == "smallint")
    e = Fix(declared, SQL_SMALLINT);
  else if (n == "integer")
    e = Fix(declared, SQL_INTEGER);
  else if (n == "bigint")
    e = Fix(declared, SQL_BIGINT);
  else if (n == "real")
    e = Fix(declared, SQL_REAL);
  else if (n == "double precision")
    e = Fix(declared, SQL_DOUBLE);
  else if (n == "numeric")
    // Without a precision a numeric holds any number: the driver's NUMERIC(28,6) would round.
    e = Fix(declared, SQL_NUMERIC, t.hasArgs ? t.p : 0, t.hasArgs ? t.s : 0);
  else if (n == "boolean")
    e = Fix(declared, SQL_BIT);
  else if (n == "text")
    e = Fix(declared, SQL_LONGVARCHAR);
  else if (n == "character varying")
    e = t.hasArgs ? Fix(declared, SQL_VARCHAR, t.p) : Fix(declared, SQL_LONGVARCHAR);
  else if (n == "character")
    e = Fix(declared, SQL_CHAR, t.hasArgs ? t.p : 1);
  else if (n == "bytea")
    e = Fix(declared, SQL_LONGVARBINARY);
  else if (n == "date")
    // As text: infinity and BC dates do not survive the driver's conversion.
    e = Fix(declared, SQL_DATE, 0, 0, EngineRead::Text);
  else if (n == "timestamp without time zone" && !t.hasArgs)
    e = Fix(declared, SQL_TIMESTAMP, 0, 0, EngineRead::Text);
  else if (n == "time without time zone" && !t.hasArgs)
    e = Fix(declared, SQL_TIME, 0, 0, EngineRead::Text);
  else if (n == "money")
    // Its text carries the currency sign of the session's locale; the number does not.
    e = Fix(declared, kOwnType, 0, 0, EngineRead::Number);
  else
    // timestamptz, interval, uuid, json, jsonb, xml, inet, ...: a category would change them.
    e = Fix(declared, kOwnType, 0, 0, EngineRead::Text);
  if (userKind == 'e') {
    // An enum's values are its labels: text.
    e = Fix("text", SQL_LONGVARCHAR, 0, 0, EngineRead::Text);
    e.userType = std::string(userType);
  } else if (userKind == 'd') {
    e.userType = std::string(userType);
  }
  return e;
}

// The width of an ENUM's or SET's values from its labels, quoted texts: the longest label, or
// for a set all of them with their commas; at least 1.
long LabelsWidth(const std::string& args, bool set) {
  long longest = 0, all = 0, current = 0, labels = 0;
  bool inside = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const char c = args[i];
    if (c == '\'') {
      if (inside && i + 1 < args.size() && args[i + 1] == '\'') {
        ++current, ++i;
        continue;
      }
      inside = !inside;
      if (!inside) {
        longest = std::max(longest, current);
        all += current;
        ++labels;
        current = 0;
      }
    } else if (inside) {
      ++current;
    }
  }
  return std::max(1L, set ? all + std::max(0L, labels - 1) : longest);
}

// MariaDB writes integer display widths ("int(11)") that mean nothing to the values; they are
// left out so that the name reads the same to other engines.
EngineType MariaCategoryType(std::string_view declared) {
  const TypeParts t = Split(declared);
  const std::string& n = t.name;
  const bool isUnsigned = Has(t.rest, "unsigned") || Has(n, "unsigned");
  static const char* const kInts[] = {"tinyint", "smallint", "mediumint", "int", "bigint"};
  for (int i = 0; i < 5; ++i) {
    if (n != kInts[i]) continue;
    const std::string name = std::string(kInts[i]) + (isUnsigned ? " unsigned" : "");
    // An unsigned integer needs the next wider type; the widest needs 20 digits.
    static const int kSigned[] = {SQL_TINYINT, SQL_SMALLINT, SQL_INTEGER, SQL_INTEGER, SQL_BIGINT};
    static const int kUnsigned[] = {SQL_SMALLINT, SQL_INTEGER, SQL_INTEGER, SQL_BIGINT, SQL_DECIMAL};
    if (!isUnsigned) return Fix(name, kSigned[i]);
    return i == 4 ? Fix(name, SQL_DECIMAL, 20, 0) : Fix(name, kUnsigned[i]);
  }
  if (n == "decimal" || n == "numeric") return Fix(declared, SQL_DECIMAL, t.hasArgs ? t.p : 10, t.hasArgs ? t.s : 0);
  if (n == "float") return Fix(declared, SQL_REAL);
  if (n == "double" || n == "double precision" || n == "real") return Fix(declared, SQL_DOUBLE);
  if (n == "bit") {
    const long bits = t.hasArgs ? t.p : 1;
    if (bits <= 1) return Fix(declared, SQL_BIT);
    return Fix(declared, SQL_BIGINT, 0, 0, EngineRead::Integer);
  }
  if (n == "char") return Fix(declared, SQL_CHAR, t.hasArgs ? t.p : 1);
  if (n == "varchar") return Fix(declared, SQL_VARCHAR, t.p);
  if (n == "tinytext" || n == "text" || n == "mediumtext" || n == "longtext") return Fix(declared, SQL_LONGVARCHAR);
  if (n == "binary") return Fix(declared, SQL_BINARY, t.hasArgs ? t.p : 1);
  if (n == "varbinary") return Fix(declared, SQL_VARBINARY, t.p);
  if (n == "tinyblob" || n == "blob" || n == "mediumblob" || n == "longblob") return Fix(declared, SQL_LONGVARBINARY);
  if (n == "date") return Fix(declared, SQL_DATE);
  if (n == "datetime" || n == "timestamp") return Fix(declared, SQL_TIMESTAMP);
  if (n == "time") return Fix(declared, SQL_TIME);
  if (n == "year") return Fix(declared, SQL_SMALLINT);
  if (n == "enum" || n == "set") {
    const long size = LabelsWidth(t.args, n == "set");
    EngineType e = Fix("varchar(" + std::to_string(size) + ")", SQL_VARCHAR, size);
    e.userType = Trimmed(declared);
    return e;
  }
  // A geometry's values are its bytes (SRID and WKB); only MariaDB keeps the type, which a
  // SPATIAL index needs.
  static const char* const kGeometry[] = {"geometry",   "point",           "linestring",   "polygon",
                                          "multipoint", "multilinestring", "multipolygon", "geometrycollection"};
  for (const char* g : kGeometry)
    if (n == g) {
      EngineType e = Fix("longblob", SQL_LONGVARBINARY);
      e.userType = Trimmed(declared);
      return e;
    }
  return Keep(declared);
}

EngineType MariaType(std::string_view declared) {
  EngineType e = MariaCategoryType(declared);
  // Into MariaDB the column keeps its own type (a TIMESTAMP stays one, not the DATETIME of its
  // category), the display width of an integer left out.
  if (e.userType.empty() && e.corrects) e.sameEngineType = e.declared;
  return e;
}

// Runs sql with text parameters and hands each row's values (columns 1..n, NULL as empty) on.
bool RunQuery(DbConnection& c, const std::string& sql, const std::vector<std::string>& params, int columns,
              const std::function<void(std::vector<std::string>&)>& row, std::string& error) {
  Statement st;
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, c.dbc(), &h))) {
    c.ReadDiagnostics(nullptr);
    error = c.LastError().text;
    return false;
  }
  st.Reset(h);
  std::vector<SQLLEN> lengths(params.size());
  SQLRETURN rc = MV_ODBC(SQLPrepare, st.get(), OdbcText(sql), SQL_NTS);
  for (size_t i = 0; Succeeded(rc) && i < params.size(); ++i) {
    lengths[i] = static_cast<SQLLEN>(params[i].size());
    const SQLUSMALLINT number = static_cast<SQLUSMALLINT>(i + 1);
    SQLCHAR* value = OdbcText(params[i]);
    SQLLEN* length = &lengths[i];
    const SQLULEN width = std::max<SQLULEN>(1, params[i].size());
    rc = MV_ODBC(SQLBindParameter, st.get(), number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, width, 0, value,
                 lengths[i], length);
  }
  if (Succeeded(rc)) rc = MV_ODBC(SQLExecute, st.get());
  if (!Succeeded(rc)) {
    c.ReadDiagnostics(st.get());
    error = c.LastError().text.empty() ? std::string("The engine's catalog could not be read.") : c.LastError().text;
    return false;
  }
  std::vector<std::string> values(static_cast<size_t>(columns));
  RowReader reader(st);
  for (;;) {
    rc = MV_ODBC(SQLFetch, st.get());
    if (rc == SQL_NO_DATA) return true;
    if (!Succeeded(rc)) {
      c.ReadDiagnostics(st.get());
      error = c.LastError().text.empty() ? std::string("The engine's catalog could not be read whole.")
                                         : c.LastError().text;
      return false;
    }
    for (int i = 0; i < columns; ++i) {
      reader.Value(static_cast<SQLUSMALLINT>(i + 1), values[static_cast<size_t>(i)]);
      if (reader.valueFailures() > 0) {
        error = reader.lastValueError();
        return false;
      }
    }
    row(values);
  }
}

// The schema a PostgreSQL catalog query looks in: the owner chosen, else the search path.
std::string PgSchema(const DbConnection& c) {
  return c.Driver().hasSchemas && !c.Target().ownerIsCatalog ? c.Target().owner : "";
}

}  // namespace

EngineType ParseEngineType(Engine engine, std::string_view declared, char userKind, std::string_view userType) {
  switch (engine) {
    case Engine::SQLite:
      return SqliteType(declared);
    case Engine::PostgreSQL:
      return PostgresType(declared, userKind, userType);
    case Engine::MariaDB:
      return MariaType(declared);
    case Engine::Other:
      break;
  }
  return Keep(declared);
}

std::string EngineReadExpression(Engine engine, EngineRead read, const std::string& ref) {
  const bool maria = engine == Engine::MariaDB;
  switch (read) {
    case EngineRead::Text:
      return "CAST(" + ref + (maria ? " AS CHAR)" : " AS text)");
    case EngineRead::Number:
      return "CAST(" + ref + (maria ? " AS DECIMAL(65,30))" : " AS numeric)");
    case EngineRead::Integer:
      return "(" + ref + " + 0)";
    case EngineRead::AsReported:
      break;
  }
  return ref;
}

bool ReadEngineColumns(DbConnection& c, const std::string& table, std::vector<EngineColumn>& out, std::string& error) {
  out.clear();
  error.clear();
  const Engine engine = c.Driver().engine;
  switch (engine) {
    case Engine::SQLite:
      return RunQuery(
          c, "SELECT name, type FROM pragma_table_xinfo(?)", {table}, 2,
          [&](std::vector<std::string>& v) {
            out.push_back({v[0], SqliteType(v[1])});
          },
          error);
    case Engine::PostgreSQL:
    case Engine::MariaDB: {
      const bool pg = engine == Engine::PostgreSQL;
      std::string owner = pg ? PgSchema(c) : c.Target().ownerIsCatalog ? c.Target().owner : std::string();
      // The owner filter first, as the catalog calls do; a table it does not find is looked
      // for where the session finds it.
      for (;;) {
        const std::string where = pg ? std::string(owner.empty() ? "pg_table_is_visible(r.oid)" : "n.nspname = ?")
                                     : std::string(owner.empty() ? "DATABASE()" : "?");
        const std::string sql =
            pg ? "SELECT a.attname, CASE t.typtype WHEN 'd' THEN format_type(t.typbasetype, t.typtypmod) ELSE "
                 "format_type(a.atttypid, a.atttypmod) END, t.typtype, format_type(a.atttypid, a.atttypmod) "
                 "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid JOIN pg_class r ON r.oid = a.attrelid "
                 "JOIN pg_namespace n ON n.oid = r.relnamespace WHERE r.relname = ? AND " +
                     where + " AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum"
               : "SELECT COLUMN_NAME, COLUMN_TYPE, '', '' FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = " +
                     where + " AND TABLE_NAME = ? ORDER BY ORDINAL_POSITION";
        std::vector<std::string> params;
        if (pg) params.push_back(table);
        if (!owner.empty()) params.push_back(owner);
        if (!pg) params.push_back(table);
        const bool read = RunQuery(
            c, sql, params, 4,
            [&](std::vector<std::string>& v) {
              out.push_back({v[0], pg ? PostgresType(v[1], v[2].empty() ? 'b' : v[2][0], v[3]) : MariaType(v[1])});
            },
            error);
        if (!read || !out.empty() || owner.empty()) return read;
        owner.clear();
      }
    }
    case Engine::Other:
      break;
  }
  return true;
}

bool ReadAllEngineColumns(DbConnection& c, std::unordered_map<std::string, std::vector<EngineColumn>>& out,
                          std::string& error) {
  out.clear();
  error.clear();
  const Engine engine = c.Driver().engine;
  std::string sql;
  std::vector<std::string> params;
  switch (engine) {
    case Engine::SQLite:
      // A view whose definition no longer reads fails the whole statement; its table then goes
      // by itself, as it always did.
      sql =
          "SELECT m.name, p.name, p.type, '', '' FROM sqlite_master m, pragma_table_xinfo(m.name) p "
          "WHERE m.type IN ('table', 'view') ORDER BY m.name, p.cid";
      break;
    case Engine::PostgreSQL: {
      // The owner chosen or what the session sees; a table found neither way is read by itself.
      const std::string owner = PgSchema(c);
      sql =
          "SELECT r.relname, a.attname, CASE t.typtype WHEN 'd' THEN format_type(t.typbasetype, t.typtypmod) ELSE "
          "format_type(a.atttypid, a.atttypmod) END, t.typtype, format_type(a.atttypid, a.atttypmod) "
          "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid JOIN pg_class r ON r.oid = a.attrelid "
          "JOIN pg_namespace n ON n.oid = r.relnamespace WHERE " +
          std::string(owner.empty() ? "pg_table_is_visible(r.oid)" : "n.nspname = ?") +
          " AND r.relkind IN ('r', 'v', 'm', 'f', 'p') AND a.attnum > 0 AND NOT a.attisdropped ORDER BY r.relname, "
          "a.attnum";
      if (!owner.empty()) params.push_back(owner);
      break;
    }
    case Engine::MariaDB: {
      const std::string owner = c.Target().ownerIsCatalog ? c.Target().owner : std::string();
      sql =
          "SELECT TABLE_NAME, COLUMN_NAME, COLUMN_TYPE, '', '' FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = " +
          std::string(owner.empty() ? "DATABASE()" : "?") + " ORDER BY TABLE_NAME, ORDINAL_POSITION";
      if (!owner.empty()) params.push_back(owner);
      break;
    }
    case Engine::Other:
      return true;
  }
  const bool read = RunQuery(
      c, sql, params, 5,
      [&](std::vector<std::string>& v) {
        EngineType type = engine == Engine::SQLite       ? SqliteType(v[2])
                          : engine == Engine::PostgreSQL ? PostgresType(v[2], v[3].empty() ? 'b' : v[3][0], v[4])
                                                         : MariaType(v[2]);
        out[v[0]].push_back({v[1], std::move(type)});
      },
      error);
  if (!read) out.clear();
  return read;
}

bool RunEngineQuery(DbConnection& c, const std::string& sql, const std::vector<std::string>& params, int columns,
                    const std::function<void(std::vector<std::string>&)>& row, std::string& error) {
  return RunQuery(c, sql, params, columns, row, error);
}

std::string EngineSchemaName(const DbConnection& c) {
  if (c.Driver().engine == Engine::PostgreSQL) return PgSchema(c);
  return c.Target().ownerIsCatalog ? c.Target().owner : std::string();
}

std::vector<EngineTableKind> ReadEngineTableKinds(DbConnection& c) {
  std::vector<EngineTableKind> kinds;
  if (c.Driver().engine != Engine::PostgreSQL) return kinds;
  const std::string schema = PgSchema(c);
  const std::string sql =
      "SELECT r.relname, r.relkind, coalesce((SELECT p.relname FROM pg_inherits i JOIN pg_class p ON p.oid = "
      "i.inhparent WHERE i.inhrelid = r.oid LIMIT 1), '') FROM pg_class r JOIN pg_namespace n ON n.oid = "
      "r.relnamespace WHERE (r.relkind IN ('v', 'm') OR r.relispartition) AND (pg_table_is_visible(r.oid)" +
      std::string(schema.empty() ? ")" : " OR n.nspname = ?)");
  std::vector<std::string> params;
  if (!schema.empty()) params.push_back(schema);
  std::string error;
  RunQuery(
      c, sql, params, 3,
      [&](std::vector<std::string>& v) {
        EngineTableKind k;
        k.name = v[0];
        k.view = v[1] == "v" || v[1] == "m";
        if (!k.view) k.partitionOf = v[2];
        kinds.push_back(std::move(k));
      },
      error);
  return kinds;
}

}  // namespace mv
