// Hostile databases, one per engine, scripted with every shipped engine profile and loaded by
// that engine's own client (sqlite3 -bail, psql -v ON_ERROR_STOP=1, mariadb): names that are
// SQL in disguise (quotes, ";", line feeds, "--", reserved words, mixed case, "#", unicode),
// values that break naive scripts (NULL against empty, apostrophes, backslashes, CR/LF, 1 MB
// text and BLOB, zero-length BLOB, bits, doubles that need 17 digits, REAL extremes, NaN and
// infinities, 64-bit integers) and a canary table the names aim at. Every table of the target
// is compared with the source value by value, each engine printing its own values in a
// neutral form: text as the hex of its UTF-8 bytes, binary as hex, numbers as numbers, NULL
// apart from empty.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/BatchScript.h"
#include "support/MariaDbServer.h"
#include "support/PgServer.h"
#include "support/TempDir.h"
#include "support/UniqueName.h"

namespace mv::test {
namespace {

namespace fs = std::filesystem;

enum Engine { kSqlite, kPostgres, kMaria };
// The engine's name is also its shipped profile's name.
const char* const kEngineName[] = {"SQLite", "PostgreSQL", "MariaDB"};

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) s += {digits[c >> 4], digits[c & 15]};
  return s;
}

std::string Unhex(const std::string& hex) {
  std::string s;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) s += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Quoted(const std::string& name, char mark) {
  std::string s(1, mark);
  for (char c : name) s += c == mark ? std::string(2, c) : std::string(1, c);
  return s + mark;
}

// ---------------------------------------------------------------- the engines as the test sees them

// A column as the comparison reads it: its name, the expression that prints each value as a
// tagged token, and whether it holds 4-byte floats (compared at that width).
struct Column {
  std::string name, expr;
  bool narrow = false;
};

// A database of one engine: a file for SQLite, a database name on the tests' server otherwise.
struct Database {
  Engine engine;
  std::string name;

  std::string Query(const std::string& sql) const {
    switch (engine) {
      case kSqlite:
        return SqliteRun(name, sql, fs::path(name).parent_path());
      case kPostgres:
        return PgServer::Instance().RunSql(name, sql);
      default:
        return MariaDbServer::Instance().RunSql(name, sql);
    }
  }
  std::string Ident(const std::string& n) const { return Quoted(n, engine == kMaria ? '`' : '"'); }
  // Any name as a string literal, whatever bytes it holds.
  std::string Literal(const std::string& n) const {
    switch (engine) {
      case kSqlite:
        return "CAST(x'" + Hex(n) + "' AS TEXT)";
      case kPostgres:
        return "convert_from(decode('" + Hex(n) + "', 'hex'), 'UTF8')";
      default:
        return "CONVERT(UNHEX('" + Hex(n) + "') USING utf8mb4)";
    }
  }
  std::vector<std::string> Names(const std::string& sql) const {
    std::vector<std::string> names;
    for (const std::string& h : SplitLines(Query(sql))) names.push_back(Unhex(h));
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> Tables() const {
    switch (engine) {
      case kSqlite:
        return Names("SELECT hex(name) FROM sqlite_master WHERE type = 'table';");
      case kPostgres:
        return Names("SELECT encode(convert_to(tablename, 'UTF8'), 'hex') FROM pg_tables WHERE schemaname = 'public';");
      default:
        return Names("SELECT HEX(table_name) FROM information_schema.tables WHERE table_schema = DATABASE();");
    }
  }
  std::vector<std::string> Indexes() const {
    switch (engine) {
      case kSqlite:
        return Names("SELECT hex(name) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL;");
      case kPostgres:
        return Names(
            "SELECT encode(convert_to(indexname, 'UTF8'), 'hex') FROM pg_indexes WHERE schemaname = 'public';");
      default:
        return Names(
            "SELECT DISTINCT HEX(index_name) FROM information_schema.statistics WHERE table_schema = DATABASE() AND "
            "index_name <> 'PRIMARY';");
    }
  }

  // Every table's column names in order, each with the expression that prints its value as a
  // tagged token: N (NULL), I integer, R approximate number, T text as hex of its UTF-8 bytes,
  // B binary as hex. One query for all tables: client start-ups are what a comparison costs.
  std::map<std::string, std::vector<Column>> Columns() const {
    std::map<std::string, std::vector<Column>> all;
    const std::string sql =
        engine == kSqlite ? "SELECT hex(m.name) || '|' || hex(p.name) || '|' FROM sqlite_master m JOIN "
                            "pragma_table_info(m.name) p WHERE m.type = 'table' ORDER BY m.name, p.cid;"
        : engine == kPostgres
            ? "SELECT encode(convert_to(c.relname, 'UTF8'), 'hex') || '|' || encode(convert_to(a.attname, 'UTF8'), "
              "'hex') || '|' || format_type(a.atttypid, a.atttypmod) FROM pg_attribute a JOIN pg_class c ON c.oid = "
              "a.attrelid WHERE c.relnamespace = 'public'::regnamespace AND c.relkind = 'r' AND a.attnum > 0 AND NOT "
              "a.attisdropped ORDER BY c.relname, a.attnum;"
            : "SELECT CONCAT(HEX(table_name), '|', HEX(column_name), '|', data_type) FROM information_schema.columns "
              "WHERE table_schema = DATABASE() ORDER BY table_name, ordinal_position;";
    for (const std::string& line : SplitLines(Query(sql))) {
      const size_t bar = line.find('|'), bar2 = line.find('|', bar + 1);
      const std::string table = Unhex(line.substr(0, bar)), name = Unhex(line.substr(bar + 1, bar2 - bar - 1));
      const std::string type = line.substr(bar2 + 1), c = Ident(name);
      std::string e;
      bool narrow = false;
      if (engine == kSqlite) {
        // SQLite keeps a storage class per value, not per column; its own printing of doubles
        // is not exact at the extremes, so they come as their bits.
        e = "CASE typeof(" + c + ") WHEN 'null' THEN 'N' WHEN 'integer' THEN 'I' || " + c +
            " WHEN 'real' THEN 'X' || hex(ieee754_to_blob(" + c + ")) WHEN 'text' THEN 'T' || hex(" + c +
            ") ELSE 'B' || hex(" + c + ") END";
      } else if (engine == kPostgres) {
        if (type == "boolean")
          e = "'I' || " + c + "::int";
        else if (type == "smallint" || type == "integer" || type == "bigint")
          e = "'I' || " + c;
        else if (type == "real" || type == "double precision" || type.rfind("numeric", 0) == 0)
          e = "'R' || " + c + "::float8";
        else if (type == "bytea")
          e = "'B' || encode(" + c + ", 'hex')";
        else
          e = "'T' || encode(convert_to(" + c + "::text, 'UTF8'), 'hex')";
        e = "coalesce(" + e + ", 'N')";
        narrow = type == "real";
      } else {
        const std::set<std::string> ints = {"tinyint", "smallint", "mediumint", "int", "bigint"};
        const std::set<std::string> bins = {"binary", "varbinary", "tinyblob", "blob", "mediumblob", "longblob"};
        if (ints.count(type))
          e = "CONCAT('I', " + c + ")";
        else if (type == "bit")
          e = "CONCAT('I', " + c + " + 0)";
        else if (type == "float")
          e = "CONCAT('R', CAST(" + c + " AS DOUBLE))";
        else if (type == "double" || type == "decimal")
          e = "CONCAT('R', " + c + ")";
        else if (bins.count(type))
          e = "CONCAT('B', HEX(" + c + "))";
        else
          e = "CONCAT('T', HEX(CONVERT(" + c + " USING utf8mb4)))";
        e = "IFNULL(" + e + ", 'N')";
        narrow = type == "float";
      }
      all[table].push_back({name, e, narrow});
    }
    return all;
  }

  // Every row of the tables in `cols` as its tokens, rows sorted; numbers parsed and printed
  // again, so each engine's spelling of a number does not matter, only its value.
  std::map<std::string, std::vector<std::vector<std::string>>> Rows(
      const std::map<std::string, std::vector<Column>>& cols) const {
    std::string sql;
    std::vector<std::string> order;
    for (const auto& [table, columns] : cols) {
      std::string list = "'" + std::to_string(order.size()) + "'";
      for (const Column& c : columns) list += (engine == kMaria ? ", " : " || ',' || ") + c.expr;
      if (engine == kMaria) list = "CONCAT_WS(','," + list + ")";
      sql += "SELECT " + list + " FROM " + Ident(table) + ";\n";
      order.push_back(table);
    }
    std::map<std::string, std::vector<std::vector<std::string>>> all;
    for (const std::string& line : SplitLines(Query(sql))) {
      std::vector<std::string> row;
      for (size_t from = 0;;) {
        const size_t comma = line.find(',', from);
        std::string token = line.substr(from, comma - from);
        char buf[64];
        if (token[0] == 'X' || token[0] == 'R') {
          double v;
          if (token[0] == 'X') {
            const uint64_t bits = std::stoull(token.substr(1), nullptr, 16);
            std::memcpy(&v, &bits, sizeof v);
          } else {
            v = std::strtod(token.c_str() + 1, nullptr);
          }
          token = "R" + (std::isnan(v) ? std::string("nan") : std::string(buf, std::to_chars(buf, buf + 64, v).ptr));
        } else if (token[0] == 'T' || token[0] == 'B') {
          token = Upper(token);
        }
        row.push_back(token);
        if (comma == std::string::npos) break;
        from = comma + 1;
      }
      const std::string table = order.at(std::stoul(row[0]));
      row.erase(row.begin());
      all[table].push_back(row);
    }
    for (auto& [table, rows] : all) std::sort(rows.begin(), rows.end());
    return all;
  }
};

// A load as a user runs it; the client's exit status and messages.
ProcessResult Load(const Database& db, const std::string& script) {
  if (db.engine == kSqlite) return RunProcess({"sqlite3", "-bail", db.name}, {}, script);
  try {
    if (db.engine == kPostgres)
      PgServer::Instance().RunScript(db.name, script);
    else
      MariaDbServer::Instance().RunScript(db.name, script);
    return {0, "", ""};
  } catch (const std::runtime_error& e) {
    return {1, "", e.what()};
  }
}

// ---------------------------------------------------------------- the hostile sources

// Names every source holds. The canary is what the injected names aim at.
const std::string kInjectTable = "t;\nDELETE\nFROM\ncanary";
const std::string kInjectIndex = "ix;\nDROP TABLE canary;--";

std::string SqliteSource() {
  return R"SQL(
CREATE TABLE canary (id INTEGER, note TEXT);
INSERT INTO canary VALUES (1, 'alive');
CREATE TABLE "order" ("select" INTEGER, "user" TEXT, "Id" INTEGER, "#hash" TEXT, "a""b" TEXT, "semi;colon" TEXT,
  "x -- y" TEXT, "line
feed" TEXT, "ünï 表" TEXT, "a`b" TEXT, "it's" TEXT, "[br]" TEXT);
INSERT INTO "order" VALUES (1, 'u', 2, '#', '"', ';', '--', 'lf', 'ü', '`', '''', ']');
CREATE INDEX "ix;
DROP TABLE canary;--" ON "order" ("select", "Id");
CREATE TABLE "t;
DELETE
FROM
canary" ("MixedCase" TEXT, "#" INTEGER);
INSERT INTO "t;
DELETE
FROM
canary" VALUES ('x', 1);
CREATE TABLE "MixedCase" ("Value" INTEGER);
INSERT INTO "MixedCase" VALUES (7);
CREATE TABLE "emoji😀" (v INTEGER);
INSERT INTO "emoji😀" VALUES (1);
CREATE TABLE vals (id INTEGER, t TEXT, crlf TEXT, b BLOB, zb BLOB, big BIGINT, d DOUBLE, r REAL, flag BIT);
INSERT INTO vals VALUES (1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO vals VALUES (2, '', '', x'5C', x'', 0, 0.0, 0.0, 0);
INSERT INTO vals VALUES (3, 'it''s "q" back\slash' || char(10) || 'tab' || char(9) || 'end\', 'a' || char(13, 10) || 'b',
  x'00FF275C0A', NULL, 9223372036854775807, 0.30000000000000004, 1.1754943508222875e-38, 1);
INSERT INTO vals VALUES (4, 'Zoë ☕ 日本語 😀 -- /* ; ', char(13), x'27', NULL, -9223372036854775808, 5e-324,
  1.401298464324817e-45, 1);
INSERT INTO vals VALUES (5, replace(hex(zeroblob(200000)), '00', 'a''\' || char(10) || 'ü'),
  replace(hex(zeroblob(1000)), '00', char(13, 10)), randomblob(1048576), NULL, -1, 2.2250738585072014e-308, 0.1, 0);
INSERT INTO vals VALUES (6, 'x', NULL, x'00', NULL, 2147483648, 123456789.12345679, -0.5, 1);
CREATE TABLE float_max (id INTEGER, d DOUBLE, r REAL);
INSERT INTO float_max VALUES (1, 1.7976931348623157e308, 3.4028234663852886e38),
  (2, -1.7976931348623157e308, -3.4028234663852886e38);
CREATE TABLE null_after_value (id INTEGER, d DOUBLE, r REAL, flag BIT);
INSERT INTO null_after_value VALUES (1, 0.5, NULL, NULL), (2, NULL, 0.25, NULL);
CREATE TABLE nonfinite (id INTEGER, inf_d DOUBLE);
INSERT INTO nonfinite VALUES (1, 9e999), (2, -9e999);
CREATE TABLE misfits (id INTEGER, money NUMERIC, n INTEGER);
INSERT INTO misfits VALUES (1, '$12.34', 9223372036854775807);
)SQL";
}

std::string PostgresSource() {
  return R"SQL(
CREATE TABLE canary (id integer, note text);
INSERT INTO canary VALUES (1, 'alive');
CREATE TABLE "order" ("select" integer, "user" text, "Id" integer, "#hash" text, "a""b" text, "semi;colon" text,
  "x -- y" text, "line
feed" text, "ünï 表" text, "a`b" text, "it's" text, "[br]" text);
INSERT INTO "order" VALUES (1, 'u', 2, '#', '"', ';', '--', 'lf', 'ü', '`', '''', ']');
CREATE INDEX "ix;
DROP TABLE canary;--" ON "order" ("select", "Id");
CREATE TABLE "t;
DELETE
FROM
canary" ("MixedCase" text, "#" integer);
INSERT INTO "t;
DELETE
FROM
canary" VALUES ('x', 1);
CREATE TABLE "MixedCase" ("Value" integer);
INSERT INTO "MixedCase" VALUES (7);
CREATE TABLE "emoji😀" (v integer);
INSERT INTO "emoji😀" VALUES (1);
CREATE TABLE vals (id integer, t text, crlf text, b bytea, zb bytea, big bigint, d double precision, r real,
  flag boolean);
INSERT INTO vals VALUES (1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO vals VALUES (2, '', '', '\x5c', '', 0, 0.0, 0.0, false);
INSERT INTO vals VALUES (3, E'it''s "q" back\\slash\ntab\tend\\', E'a\r\nb', '\x00ff275c0a', NULL,
  9223372036854775807, 0.30000000000000004, 1.17549435e-38, true);
INSERT INTO vals VALUES (4, 'Zoë ☕ 日本語 😀 -- /* ; ', E'\r', '\x27', NULL, -9223372036854775808, 5e-324, 1.4e-45, true);
INSERT INTO vals VALUES (5, repeat(E'a''\\\nü', 200000), repeat(E'\r\n', 1000),
  decode(repeat((SELECT string_agg(lpad(to_hex(i), 2, '0'), '') FROM generate_series(0, 255) i), 4096), 'hex'),
  NULL, -1, 2.2250738585072014e-308, 0.1, false);
INSERT INTO vals VALUES (6, 'x', NULL, '\x00', NULL, 2147483648, 123456789.12345679, -0.5, true);
CREATE TABLE float_max (id integer, d double precision, r real);
INSERT INTO float_max VALUES (1, 1.7976931348623157e308, 3.4028235e38), (2, -1.7976931348623157e308, -3.4028235e38);
CREATE TABLE null_after_value (id integer, d double precision, r real, flag boolean);
INSERT INTO null_after_value VALUES (1, 0.5, NULL, NULL), (2, NULL, 0.25, NULL);
CREATE TABLE nonfinite (id integer, nan_d double precision, inf_d double precision, inf_r real);
INSERT INTO nonfinite VALUES (1, 'NaN', 'Infinity', 'Infinity'), (2, 'NaN', '-Infinity', '-Infinity');
)SQL";
}

// MariaDB reads backslashes in strings as escapes; it has no NaN or infinities at all.
std::string MariaSource() {
  return R"SQL(
CREATE TABLE canary (id INT, note TEXT);
INSERT INTO canary VALUES (1, 'alive');
CREATE TABLE `order` (`select` INT, `user` TEXT, `Id` INT, `#hash` TEXT, `a"b` TEXT, `semi;colon` TEXT,
  `x -- y` TEXT, `line
feed` TEXT, `ünï 表` TEXT, `a``b` TEXT, `it's` TEXT, `[br]` TEXT);
INSERT INTO `order` VALUES (1, 'u', 2, '#', '"', ';', '--', 'lf', 'ü', '`', '''', ']');
CREATE INDEX `ix;
DROP TABLE canary;--` ON `order` (`select`, `Id`);
CREATE TABLE `t;
DELETE
FROM
canary` (`MixedCase` TEXT, `#` INT);
INSERT INTO `t;
DELETE
FROM
canary` VALUES ('x', 1);
CREATE TABLE `MixedCase` (`Value` INT);
INSERT INTO `MixedCase` VALUES (7);
CREATE TABLE vals (id INT, t LONGTEXT, crlf LONGTEXT, b LONGBLOB, zb LONGBLOB, big BIGINT, d DOUBLE, r FLOAT,
  flag BIT(1));
INSERT INTO vals VALUES (1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO vals VALUES (2, '', '', x'5C', x'', 0, 0.0, 0.0, 0);
INSERT INTO vals VALUES (3, 'it''s "q" back\\slash\ntab\tend\\', 'a\r\nb', x'00FF275C0A', NULL,
  9223372036854775807, 0.30000000000000004, 1.1754943508222875e-38, 1);
INSERT INTO vals VALUES (4, 'Zoë ☕ 日本語 😀 -- /* ; ', '\r', x'27', NULL, -9223372036854775808, 5e-324,
  1.401298464324817e-45, 1);
INSERT INTO vals VALUES (5, REPEAT('a''\\\nü', 200000), REPEAT('\r\n', 1000),
  UNHEX(REPEAT('000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F404142434445464748494A4B4C4D4E4F505152535455565758595A5B5C5D5E5F606162636465666768696A6B6C6D6E6F707172737475767778797A7B7C7D7E7F808182838485868788898A8B8C8D8E8F909192939495969798999A9B9C9D9E9FA0A1A2A3A4A5A6A7A8A9AAABACADAEAFB0B1B2B3B4B5B6B7B8B9BABBBCBDBEBFC0C1C2C3C4C5C6C7C8C9CACBCCCDCECFD0D1D2D3D4D5D6D7D8D9DADBDCDDDEDFE0E1E2E3E4E5E6E7E8E9EAEBECEDEEEFF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF', 4096)),
  NULL, -1, 2.2250738585072014e-308, 0.1, 0);
INSERT INTO vals VALUES (6, 'x', NULL, x'00', NULL, 2147483648, 123456789.12345679, -0.5, 1);
CREATE TABLE float_max (id INT, d DOUBLE, r FLOAT);
INSERT INTO float_max VALUES (1, 1.7976931348623157e308, 3.4028234663852886e38),
  (2, -1.7976931348623157e308, -3.4028234663852886e38);
CREATE TABLE null_after_value (id INT, d DOUBLE, r FLOAT, flag BIT(1));
INSERT INTO null_after_value VALUES (1, 0.5, NULL, NULL), (2, NULL, 0.25, NULL);
)SQL";
}

// ---------------------------------------------------------------- what a target cannot hold, and known faults

// A table or column left out of one pair's comparison, and why. A table that breaks the load
// is left out of the scripting run whose script is compared ([Ignore Tables]); the full
// script must then fail to load on that table, so the entry stays true. A value the target
// cannot hold should come with a remark in the script (checked and reported); a fault is the
// program's, and the test fails when the fault is gone so the entry is removed.
struct Pair {
  Engine source, target;
  bool inserts = false;  // INSERTs where the target's profile writes its copy format
};

struct Exclusion {
  Engine source, target;
  std::string table, column;  // column empty: the whole table
  bool breaksLoad, fault;
  std::string why;
  // A value the target cannot hold, which the script must name in a remark.
  bool remarked = false;
};

const std::vector<Exclusion>& Exclusions() {
  static const std::vector<Exclusion> list = [] {
    std::vector<Exclusion> l = {
        // MariaDB has no NaN or infinities, and keeps names in utf8mb3, without 4-byte characters.
        {kSqlite, kMaria, "nonfinite", "", true, false, "MariaDB holds no infinities", true},
        {kPostgres, kMaria, "nonfinite", "", true, false, "MariaDB holds no NaN or infinities", true},
        {kSqlite, kMaria, "emoji😀", "", true, false, "MariaDB names cannot hold 4-byte characters"},
        {kPostgres, kMaria, "emoji😀", "", true, false, "MariaDB names cannot hold 4-byte characters"},
        // A SQLite NUMERIC column holding text: the other engines hold only numbers there.
        {kSqlite, kPostgres, "misfits", "money", false, false, "'$12.34' in a NUMERIC column: NULL", true},
        {kSqlite, kMaria, "misfits", "money", false, false, "'$12.34' in a DECIMAL column: NULL", true},
        // SQLite turns NaN into NULL.
        {kPostgres, kSqlite, "nonfinite", "nan_d", false, false, "SQLite holds no NaN", true},
    };
    return l;
  }();
  return list;
}

// Pairs whose script writes mixed-case names bare, so that PostgreSQL folds them to lower case
// (a fault): their names are compared without letter case, and must still differ in it.
bool FoldsNames(const Pair& p) { return p.source != kPostgres && p.target == kPostgres; }

// Pairs whose script drops the canary: none. (The MariaDB profile writes its index drop as a
// remark, "-- DROP INDEX name", and a line feed in the name must not end it.)
bool CanaryDropped(const Pair&) { return false; }

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// ---------------------------------------------------------------- the matrix

std::string PairName(const ::testing::TestParamInfo<Pair>& info) {
  return std::string(kEngineName[info.param.source]) + "To" + kEngineName[info.param.target] +
         (info.param.inserts ? "Inserts" : "");
}

// The hostile sources, built once per test process.
class Hostile : public ::testing::TestWithParam<Pair> {
 protected:
  static TempDir& Files() {
    static TempDir dir("mv-hostile");
    return dir;
  }

  static const Database& Source(Engine e) {
    static std::map<Engine, Database> built;
    auto it = built.find(e);
    if (it != built.end()) return it->second;
    // Names of this process's own: under ctest the pairs run as processes of their own, at once.
    Database db{e, e == kSqlite ? Files() / "source.db" : UniqueDbName("hostile_src")};
    if (e == kSqlite) {
      SqliteRun(db.name, SqliteSource(), Files().path);
    } else if (e == kPostgres) {
      PgServer::Instance().CreateDatabase(db.name);
      db.Query(PostgresSource());
    } else {
      MariaDbServer::Instance().CreateDatabase(db.name);
      db.Query(MariaSource());
    }
    return built.emplace(e, db).first->second;
  }

  static std::string ConnectString(const Database& db) {
    switch (db.engine) {
      case kSqlite:
        return "DRIVER=SQLite3;Database=" + db.name;
      case kPostgres:
        // The README's options for PostgreSQL sources: booleans as booleans.
        return PgServer::Instance().ConnectString(db.name) + "BoolsAsChar=0;UnknownsAsLongVarchar=1;";
      default:
        return MariaDbServer::Instance().ConnectString(db.name);
    }
  }

  Database FreshTarget(Engine e, const std::string& tag) {
    const std::string name = UniqueDbName(std::string("hostile_") + kEngineName[GetParam().source] + "_" + tag);
    Database db{e, e == kSqlite ? Files() / (name + ".db") : name};
    if (e == kSqlite)
      fs::remove(db.name);
    else if (e == kPostgres)
      PgServer::Instance().CreateDatabase(db.name);
    else
      MariaDbServer::Instance().CreateDatabase(db.name);
    return db;
  }

  // Scripts the source for the target's profile with the script's brackets from `bracket`
  // (empty: the defaults); the script's path.
  std::string Script(const Database& source, Engine target, const std::string& tag, const std::string& sections,
                     const std::string& bracket) {
    const std::vector<std::string> extra =
        GetParam().inserts ? std::vector<std::string>{"--inserts"} : std::vector<std::string>{};
    const fs::path dir = fs::path(Files().path) / (std::string(kEngineName[source.engine]) + "-" + kEngineName[target] +
                                                   "-" + tag + (GetParam().inserts ? "-inserts" : ""));
    fs::create_directories(dir / "xdg" / "Quillfen");
    WriteText(
        dir / "xdg" / "Quillfen" / "Mervale.ini",
        bracket.empty() ? "" : "[Settings]\nspecObjStringOpen=" + bracket + "\nspecObjStringClose=" + bracket + "\n");
    const std::string path = (dir / "script.sql").string();
    const ProcessResult r = ScriptWithBatch(dir, kEngineName[target], ConnectString(source),
                                            source.engine == kPostgres ? "public"
                                            : source.engine == kMaria  ? source.name
                                                                       : "",
                                            source.engine == kMaria, path, sections, extra);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Mervale has finished scripting the database"), std::string::npos) << r.err;
    return path;
  }
};

// A name as a remark line shows it.
std::string RemarkLine(const std::string& name) {
  std::string s;
  for (char c : name) s += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
  return s;
}

// The line of the script a client names in its error message, 0 when it names none.
int ErrorLine(const std::string& message) {
  std::smatch m;
  if (std::regex_search(message, m, std::regex(R"(line (\d+))")) ||
      std::regex_search(message, m, std::regex(R"(\.sql:(\d+): ERROR)")))
    return std::stoi(m[1]);
  return 0;
}

// A token compared at 4-byte float width.
std::string Narrow(const std::string& token) {
  if (token.empty() || token[0] != 'R') return token;
  const float v = static_cast<float>(std::strtod(token.c_str() + 1, nullptr));
  if (std::isnan(v)) return "Rnan";
  char buf[64];
  return "R" + std::string(buf, std::to_chars(buf, buf + 64, v).ptr);
}

TEST_P(Hostile, ScriptLoadsAndEveryValueComesBack) {
  const Pair pair = GetParam();
  const Database& source = Source(pair.source);
  const std::vector<std::string> sourceTables = source.Tables();
  ASSERT_TRUE(std::count(sourceTables.begin(), sourceTables.end(), kInjectTable)) << "the source was not built";

  std::vector<const Exclusion*> exclusions;
  std::string ignore;
  int ignored = 0;
  for (const Exclusion& e : Exclusions()) {
    if (e.source != pair.source || e.target != pair.target) continue;
    exclusions.push_back(&e);
    std::cout << (e.fault ? "[ FAULT     ] " : "[ left out  ] ") << e.table << (e.column.empty() ? "" : "." + e.column)
              << ": " << e.why << "\n";
    if (e.breaksLoad) ignore += "tab" + std::to_string(ignored++) + "=" + e.table + "\n";
  }
  auto excluded = [&](const std::string& table, const std::string& column) -> const Exclusion* {
    for (const Exclusion* e : exclusions)
      if (e->table == table && e->column == column) return e;
    return nullptr;
  };

  // Every target works with the default settings: each shipped profile names its own quotes.
  const std::string bracket;

  // The whole database: where no table breaks the load, this is the script compared below.
  const std::string full = Script(source, pair.target, "full", "", bracket);
  const std::string fullText = Slurp(full);
  EXPECT_EQ(fullText.find("The following error"), std::string::npos);
  const std::vector<std::string> lines = SplitLines(fullText);
  for (const Exclusion* e : exclusions) {
    if (e->fault) continue;
    // A value the target cannot hold should come with a remark naming it, besides the headings.
    static const char* const headings[] = {"Removal of ",  "Structure for ", "Deleting data ",    "Data for table ",
                                           "Indexes for ", "Definition of ", "Removal of index ", "DATABASE:"};
    bool remark = false;
    for (const std::string& line : lines) {
      if (line.rfind("--", 0) != 0 || line.find(RemarkLine(e->table)) == std::string::npos) continue;
      if (!e->column.empty() && line.find(e->column) == std::string::npos) continue;
      bool heading = false;
      for (const char* h : headings) heading |= line.find(h) != std::string::npos;
      remark |= !heading;
    }
    std::cout << (remark ? "[ remark    ] " : "[ no remark ] ") << (e->column.empty() ? e->table : e->column) << ": "
              << e->why << "\n";
    if (e->remarked) {
      EXPECT_TRUE(remark) << e->table << "." << e->column << ": no remark says " << e->why;
    }
  }
  // One target database per pair: the loads expected to fail run into it after the comparison.
  const Database target = FreshTarget(pair.target, "target");
  {
    const std::string compared =
        ignore.empty() ? full : Script(source, pair.target, "compared", "[Ignore Tables]\n" + ignore, bracket);
    const ProcessResult r = Load(target, compared);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
  }

  // Scripting never changes the source, and the names aimed at the canary never ran.
  EXPECT_EQ(source.Query("SELECT note FROM canary;"), "alive\n");
  EXPECT_EQ(source.Tables(), sourceTables);

  const bool folds = FoldsNames(pair);
  if (folds) std::cout << "[ FAULT     ] mixed-case names written bare, and PostgreSQL folds them to lower case\n";
  auto key = [&](std::vector<std::string> names) {
    for (std::string& n : names) n = folds ? Lower(n) : n;
    std::sort(names.begin(), names.end());
    return names;
  };
  std::vector<std::string> expectedTables;
  for (const std::string& t : sourceTables) {
    const Exclusion* e = excluded(t, "");
    if ((!e || !e->breaksLoad) && !(t == "canary" && CanaryDropped(pair))) expectedTables.push_back(t);
  }
  if (CanaryDropped(pair)) {
    const std::vector<std::string> now = target.Tables();
    EXPECT_FALSE(std::count(now.begin(), now.end(), "canary")) << "the canary lives: update CanaryDropped";
    std::cout << "[ FAULT     ] the index name " << RemarkLine(kInjectIndex)
              << " ends the remark \"-- DROP INDEX\" and drops the canary in the target\n";
  }
  const std::vector<std::string> targetTables = target.Tables();
  ASSERT_EQ(key(targetTables), key(expectedTables));
  EXPECT_EQ(key(target.Indexes()), key(source.Indexes()));
  bool caseLost = false;

  // The source's side is read once per source.
  static std::map<Engine, std::map<std::string, std::vector<Column>>> sourceColumns;
  static std::map<Engine, std::map<std::string, std::vector<std::vector<std::string>>>> sourceRows;
  if (!sourceColumns.count(pair.source)) {
    sourceColumns[pair.source] = source.Columns();
    sourceRows[pair.source] = source.Rows(sourceColumns[pair.source]);
  }
  const auto& allColumns = sourceColumns[pair.source];
  const auto allTargetColumns = target.Columns();
  std::map<std::string, std::string> targetName;  // a source table's name in the target
  std::map<std::string, std::vector<Column>> sourceCols, targetColsOf;
  for (const std::string& t : expectedTables) {
    targetName[t] = t;
    for (const std::string& n : targetTables)
      if (key({n}) == key({t})) targetName[t] = n;
    sourceCols[t] = allColumns.count(t) ? allColumns.at(t) : std::vector<Column>{};
    targetColsOf[targetName[t]] =
        allTargetColumns.count(targetName[t]) ? allTargetColumns.at(targetName[t]) : std::vector<Column>{};
  }
  auto& allRows = sourceRows[pair.source];
  auto allTargetRows = target.Rows(targetColsOf);

  for (const std::string& t : expectedTables) {
    SCOPED_TRACE("table " + t);
    const std::string& tt = targetName[t];
    const std::vector<Column>& cols = sourceCols[t];
    const std::vector<Column>& targetCols = targetColsOf[tt];
    ASSERT_EQ(targetCols.size(), cols.size());
    for (size_t i = 0; i < cols.size(); ++i) {
      EXPECT_EQ(key({targetCols[i].name}), key({cols[i].name}));
      caseLost |= targetCols[i].name != cols[i].name;
    }
    caseLost |= tt != t;
    const auto& rows = allRows[t];
    const auto& targetRows = allTargetRows[tt];
    EXPECT_FALSE(rows.empty());
    ASSERT_EQ(targetRows.size(), rows.size());
    for (size_t c = 0; c < cols.size(); ++c) {
      const Exclusion* e = excluded(t, cols[c].name);
      bool differs = false;
      for (size_t r = 0; r < rows.size(); ++r) {
        const std::string& a = cols[c].narrow ? Narrow(rows[r][c]) : rows[r][c];
        const std::string& b = cols[c].narrow ? Narrow(targetRows[r][c]) : targetRows[r][c];
        differs |= a != b;
        if (!e) {
          EXPECT_TRUE(a == b) << "row " << r << " column " << cols[c].name << ": " << a.substr(0, 100) << " ("
                              << a.size() << " characters) came back as " << b.substr(0, 100) << " (" << b.size()
                              << ")";
        }
      }
      // A fault left out must still be there, or its entry goes.
      if (e && e->fault) {
        EXPECT_TRUE(differs) << t << "." << cols[c].name << " comes back whole now: " << e->why;
      }
    }
  }
  EXPECT_EQ(caseLost, folds) << "names keep their letter case: update FoldsNames";

  if (!ignore.empty()) {
    // The full script must stop on a table left out, or the entries are stale.
    const ProcessResult r = Load(target, full);
    ASSERT_NE(r.status, 0) << "the script loads whole: the entries that break the load are stale";
    const int at = ErrorLine(r.err);
    ASSERT_GT(at, 0) << r.err;
    bool onExcluded = false;
    for (const Exclusion* e : exclusions)
      for (int l = std::max(0, at - 3); l < std::min<int>(lines.size(), at + 1); ++l)
        onExcluded |= e->breaksLoad && lines[l].find(e->table) != std::string::npos;
    EXPECT_TRUE(onExcluded) << "the load failed elsewhere: " << r.err;
  }
  EXPECT_EQ(source.Query("SELECT note FROM canary;"), "alive\n");
}

INSTANTIATE_TEST_SUITE_P(Hostile, Hostile,
                         ::testing::Values(Pair{kSqlite, kSqlite}, Pair{kSqlite, kPostgres}, Pair{kSqlite, kMaria},
                                           Pair{kPostgres, kSqlite}, Pair{kPostgres, kPostgres},
                                           Pair{kPostgres, kMaria}, Pair{kMaria, kSqlite}, Pair{kMaria, kPostgres},
                                           Pair{kMaria, kMaria}, Pair{kSqlite, kPostgres, true},
                                           Pair{kPostgres, kPostgres, true}, Pair{kMaria, kPostgres, true}),
                         PairName);

}  // namespace
}  // namespace mv::test
