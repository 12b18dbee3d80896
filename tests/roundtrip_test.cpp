// The point of the program: a script that rebuilds a database. For SQLite, PostgreSQL and
// MariaDB a database with a realistic schema is scripted by mervale-batch with that engine's
// shipped profile and the default run options (structure, data and indexes, remarks, DROP and
// DELETE statements), the script is run into an empty database by the engine's own client,
// and the engine itself compares the two: tables, column types, row counts, per-table data
// checksums and indexes. Then the demo SQLite database is moved into PostgreSQL.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/BatchScript.h"
#include "support/MariaDbServer.h"
#include "support/PgServer.h"
#include "support/Process.h"
#include "support/UniqueName.h"

namespace mv::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> LineSet(const std::string& text) {
  auto lines = SplitLines(text);
  return {lines.begin(), lines.end()};
}

// More than 300 KB of text with apostrophes, line breaks and UTF-8.
std::string LongText() {
  std::string s;
  for (int i = 0; s.size() < 320 * 1024; ++i)
    s += "line " + std::to_string(i) + " of a long text with ''quotes'' and UTF-8: \xc3\xbc \xe2\x82\xac\n";
  return s;
}

// Hexadecimal digits of n bytes running through every byte value.
std::string HexBytes(int n) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (int i = 0; i < n; ++i) {
    s += digits[(i * 7 % 256) >> 4];
    s += digits[(i * 7 % 256) & 15];
  }
  return s;
}

class RoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("mv-rt-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "xdg" / "Quillfen");
  }
  void TearDown() override { fs::remove_all(dir); }

  void WriteFile(const fs::path& p, const std::string& text) { WriteText(p, text); }

  // The user's settings file (section "Settings").
  void Settings(const std::string& lines) {
    WriteFile(dir / "xdg" / "Quillfen" / "Mervale.ini", "[Settings]\n" + lines);
  }

  // Writes a configuration as a user saves one and scripts it with mervale-batch, with the
  // build's program folder (the generated profiles) and the run options' defaults. Returns
  // the script.
  std::string Script(const std::string& profile, const std::string& connect, const std::string& owner, bool isCatalog) {
    scriptPath = (dir / (profile + ".sql")).string();
    ProcessResult r = ScriptWithBatch(dir, profile, connect, owner, isCatalog, scriptPath);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Mervale has finished scripting the database"), std::string::npos) << r.err;
    // The profile must be the one asked for, not a fallback.
    EXPECT_EQ(r.err.find("No profiles are available"), std::string::npos) << r.err;
    const std::string script = Slurp(scriptPath);
    EXPECT_EQ(script.find("The following error"), std::string::npos) << script.substr(0, 3000);
    EXPECT_EQ(script.find("ERROR:"), std::string::npos);
    return script;
  }

  fs::path dir;
  std::string scriptPath;
};

// ---------------------------------------------------------------- SQLite

struct SqliteDescription {
  std::string columns, data;
  std::set<std::string> indexes, indexNames;
};

SqliteDescription DescribeSqlite(const fs::path& db, const fs::path& scratch) {
  SqliteDescription d;
  d.columns = SqliteRun(db,
                        "SELECT m.name || '|' || p.name || '|' || p.type || '|' || p.\"notnull\" "
                        "FROM sqlite_master m JOIN pragma_table_info(m.name) p WHERE m.type = 'table' "
                        "ORDER BY m.name, p.cid;",
                        scratch);
  // Per table: row count and the engine's own hash of every value with its storage class.
  for (const std::string& t :
       SplitLines(SqliteRun(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name;", scratch))) {
    const int n = std::stoi(SqliteRun(db, "SELECT count(*) FROM pragma_table_info('" + t + "');", scratch));
    std::string order;
    for (int i = 1; i <= n; ++i) order += (i > 1 ? "," : "") + std::to_string(i);
    d.data += SqliteRun(db,
                        "SELECT '" + t + "|' || (SELECT count(*) FROM \"" + t +
                            "\") || '|' || "
                            "hex(sha3_query('SELECT * FROM \"" +
                            t + "\" ORDER BY " + order + "'));",
                        scratch);
  }
  // Indexes as table, uniqueness and columns. The script has no PRIMARY KEY clause: a
  // primary key comes back as a unique index over its columns, so it counts as one.
  d.indexes = LineSet(SqliteRun(
      db,
      "SELECT m.name || '|' || il.\"unique\" || '|' || (SELECT group_concat(name, ',') FROM "
      "(SELECT name FROM pragma_index_info(il.name) ORDER BY seqno)) "
      "FROM sqlite_master m JOIN pragma_index_list(m.name) il WHERE m.type = 'table';"
      "SELECT m.name || '|1|' || (SELECT group_concat(name, ',') FROM "
      "(SELECT name FROM pragma_table_info(m.name) WHERE pk > 0 ORDER BY pk)) "
      "FROM sqlite_master m WHERE m.type = 'table' AND EXISTS (SELECT 1 FROM pragma_table_info(m.name) WHERE pk > 0);",
      scratch));
  d.indexNames =
      LineSet(SqliteRun(db, "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL;", scratch));
  return d;
}

TEST_F(RoundTrip, SqliteRebuildsItself) {
  const fs::path src = dir / "src.db", dst = dir / "dst.db";
  const std::string schema = R"SQL(
CREATE TABLE customers (
  id INTEGER PRIMARY KEY,
  small_n SMALLINT,
  tiny_n TINYINT,
  big_n BIGINT NOT NULL,
  balance DECIMAL(12,2),
  ratio REAL,
  score DOUBLE,
  code CHAR(6) NOT NULL,
  name VARCHAR(60) NOT NULL,
  notes TEXT,
  born DATE,
  wake_up TIME,
  created TIMESTAMP,
  photo BLOB,
  "home town" VARCHAR(40)
);
CREATE UNIQUE INDEX ux_customers_code_big ON customers (code, big_n);
CREATE INDEX ix_customers_name_born ON customers (name, born);
CREATE TABLE "order lines" (
  order_id INTEGER NOT NULL,
  line_no SMALLINT NOT NULL,
  "unit price" NUMERIC(10,3),
  note VARCHAR(20),
  PRIMARY KEY (order_id, line_no)
);
CREATE INDEX "ix order lines note" ON "order lines" (note, "unit price");
CREATE TABLE empty_log (id INTEGER, message VARCHAR(10));
INSERT INTO customers VALUES
 (1, 32767, 127, 9223372036854775807, 1234567890.12, 0.1, 0.30000000000000004, 'AB''CD', 'O''Brien',
  'Zoë — naïve café ☕ 日本語', '1999-12-31', '23:59:59.5', '2024-02-29 12:34:56.789', x'00FF27415C0A', 'New York'),
 (2, -32768, -128, -9223372036854775808, -0.01, -3.4e38, 1e-300, 'X', '', '', '0001-01-01', '00:00:00',
  '1970-01-01 00:00:00', x'27', ''),
 (3, NULL, NULL, 0, NULL, NULL, NULL, 'NULLS', 'all nulls', NULL, NULL, NULL, NULL, NULL, NULL),
 (4, 1, 0, 42, 0, 3.14159, 2.718281828459045, 'back\', 'back\slash \n', ')SQL" +
                             LongText() + "', '2024-01-01', '12:00', '2024-01-01 00:00:00', x'" + HexBytes(4000) +
                             R"SQL(', 'a');
INSERT INTO "order lines" VALUES (1, 1, 9.999, 'first'), (1, 2, NULL, NULL), (2, 1, -0.5, 'it''s');
)SQL";
  SqliteRun(src, schema, dir);

  const std::string script = Script("SQLite", "DRIVER=SQLite3;Database=" + src.string(), "", false);
  EXPECT_NE(script.find("DROP TABLE IF EXISTS \"order lines\";"), std::string::npos);
  EXPECT_NE(script.find("DELETE FROM customers;"), std::string::npos);
  EXPECT_NE(script.find("DROP INDEX IF EXISTS ix_customers_name_born;"), std::string::npos);

  // As a user loads it: the sqlite3 tool, stopping at the first error.
  std::vector<std::string> load = {"sqlite3", "-bail", dst.string()};
  ProcessResult loaded = RunProcess(load, {}, scriptPath);
  ASSERT_EQ(loaded.status, 0) << Describe(load, loaded);
  ASSERT_EQ(loaded.err, "");

  const SqliteDescription a = DescribeSqlite(src, dir), b = DescribeSqlite(dst, dir);
  EXPECT_EQ(b.columns, a.columns);
  EXPECT_EQ(b.data, a.data);
  EXPECT_NE(a.data.find("customers|4|"), std::string::npos) << a.data;
  EXPECT_NE(a.data.find("empty_log|0|"), std::string::npos) << a.data;
  EXPECT_EQ(b.indexes, a.indexes);
  for (const std::string& name : a.indexNames) EXPECT_TRUE(b.indexNames.count(name)) << name;
}

// ---------------------------------------------------------------- PostgreSQL

std::string PgDescribeColumns(PgServer& pg, const std::string& db) {
  return pg.RunSql(db,
                   "SELECT table_name, column_name, data_type, character_maximum_length, numeric_precision, "
                   "numeric_scale, datetime_precision, is_nullable FROM information_schema.columns "
                   "WHERE table_schema = 'public' ORDER BY table_name, ordinal_position;");
}

// Per table: row count and md5 of every row's text form, NULLs and empty strings told apart.
std::string PgDescribeData(PgServer& pg, const std::string& db) {
  std::string out;
  for (const std::string& t :
       SplitLines(pg.RunSql(db, "SELECT tablename FROM pg_tables WHERE schemaname = 'public' ORDER BY 1;")))
    out += t + "|" +
           pg.RunSql(
               db, "SELECT count(*) || '|' || md5(coalesce(string_agg(r::text, E'\\n' ORDER BY r::text), '')) FROM \"" +
                       t + "\" r;");
  return out;
}

TEST_F(RoundTrip, PostgresqlRebuildsItself) {
  PgServer& pg = PgServer::Instance();
  const std::string srcDb = UniqueDbName("rt_pg_src"), dstDb = UniqueDbName("rt_pg_dst");
  pg.CreateDatabase(srcDb);
  pg.CreateDatabase(dstDb);
  pg.RunSql(srcDb, R"SQL(
CREATE TABLE customers (
  id integer PRIMARY KEY,
  small_n smallint,
  big_n bigint NOT NULL,
  balance numeric(12,2),
  ratio real,
  score double precision,
  code char(6) NOT NULL,
  name varchar(60) NOT NULL,
  notes text,
  born date,
  wake_up time,
  created timestamp,
  photo bytea,
  active boolean,
  "home town" varchar(40)
);
CREATE UNIQUE INDEX ux_customers_code_big ON customers (code, big_n);
CREATE INDEX ix_customers_name_born ON customers (name, born);
CREATE TABLE "order lines" (
  order_id integer NOT NULL,
  line_no smallint NOT NULL,
  "unit price" numeric(10,3),
  note varchar(20),
  PRIMARY KEY (order_id, line_no)
);
CREATE INDEX "ix order lines note" ON "order lines" (note, "unit price");
CREATE TABLE empty_log (id integer, message varchar(10));
INSERT INTO customers VALUES
 (1, 32767, 9223372036854775807, 1234567890.12, 0.1, 0.30000000000000004, 'AB''CD', 'O''Brien',
  'Zoë — naïve café ☕ 日本語', '1999-12-31', '23:59:59.5', '2024-02-29 12:34:56.789012',
  decode('00ff27415c0a', 'hex'), true, 'New York'),
 (2, -32768, -9223372036854775808, -0.01, -3.4e38, 1e-300, 'X', '', '', '0001-01-01', '00:00:00',
  '1970-01-01 00:00:00', decode('', 'hex'), false, ''),
 (3, NULL, 0, NULL, NULL, NULL, 'NULLS', 'all nulls', NULL, NULL, NULL, NULL, NULL, NULL, NULL),
 (4, 1, 42, 0, 3.14159, 2.718281828459045, 'back\', 'back\slash \n', ')SQL" +
                       LongText() + "', '2024-01-01', '12:00', '2024-01-01 00:00:00', decode('" + HexBytes(4000) +
                       R"SQL(', 'hex'), true, 'a');
INSERT INTO "order lines" VALUES (1, 1, 9.999, 'first'), (1, 2, NULL, NULL), (2, 1, -0.5, 'it''s');
)SQL");

  // The driver options the README gives for PostgreSQL sources: booleans as booleans.
  const std::string script =
      Script("PostgreSQL", pg.ConnectString(srcDb) + "BoolsAsChar=0;UnknownsAsLongVarchar=1;", "public", false);
  // The profile's COPY: bytea as \\x and its hexadecimal digits, the bit as 1.
  EXPECT_NE(script.find("\t\\\\x00FF27415C0A\t1\t"), std::string::npos);

  // As a user loads it: psql, stopping at the first error (RunScript throws on one).
  pg.RunScript(dstDb, scriptPath);

  EXPECT_EQ(PgDescribeColumns(pg, dstDb), PgDescribeColumns(pg, srcDb));
  const std::string data = PgDescribeData(pg, srcDb);
  EXPECT_EQ(PgDescribeData(pg, dstDb), data);
  EXPECT_NE(data.find("customers|4|"), std::string::npos) << data;
  // Index definitions, names included: the primary key's index keeps its name and columns (it
  // comes back as a unique index, since the script writes no PRIMARY KEY clause).
  const std::string indexes = "SELECT indexdef FROM pg_indexes WHERE schemaname = 'public' ORDER BY 1;";
  EXPECT_EQ(pg.RunSql(dstDb, indexes), pg.RunSql(srcDb, indexes));
  EXPECT_EQ(SplitLines(pg.RunSql(srcDb, indexes)).size(), 5u);
}

// ---------------------------------------------------------------- MariaDB

struct MariaDescription {
  std::string columns, data;
  std::set<std::string> indexes, indexNames;
};

MariaDescription DescribeMaria(MariaDbServer& m, const std::string& db) {
  MariaDescription d;
  d.columns = m.RunSql(db,
                       "SELECT table_name, column_name, column_type, is_nullable, character_set_name, collation_name "
                       "FROM information_schema.columns WHERE table_schema = DATABASE() "
                       "ORDER BY table_name, ordinal_position;");
  for (const std::string& t : SplitLines(m.RunSql(
           db, "SELECT table_name FROM information_schema.tables WHERE table_schema = DATABASE() ORDER BY 1;"))) {
    // Every value as its md5 (NULL as '-'), so NULL and empty stay apart and the concatenation
    // stays short; the engine hashes the ordered rows.
    std::string row;
    for (const std::string& c : SplitLines(m.RunSql(
             db,
             "SELECT column_name FROM information_schema.columns WHERE table_schema = DATABASE() AND table_name = '" +
                 t + "' ORDER BY ordinal_position;")))
      row += std::string(row.empty() ? "" : ", ") + "IFNULL(MD5(`" + c + "`), '-')";
    row = "CONCAT_WS(',', " + row + ")";
    d.data +=
        t + "|" +
        m.RunSql(
            db, "SET SESSION group_concat_max_len = 1073741824; SELECT CONCAT(COUNT(*), '|', IFNULL(MD5(GROUP_CONCAT(" +
                    row + " ORDER BY " + row + " SEPARATOR '\\n')), '')) FROM `" + t + "`;");
  }
  // Table, uniqueness and columns of every index; the primary key comes back as a unique index
  // under another name (MariaDB reserves PRIMARY for the key itself).
  d.indexes = LineSet(
      m.RunSql(db,
               "SELECT CONCAT(table_name, '|', non_unique, '|', GROUP_CONCAT(column_name ORDER BY seq_in_index)) "
               "FROM information_schema.statistics WHERE table_schema = DATABASE() "
               "GROUP BY table_name, index_name, non_unique;"));
  d.indexNames =
      LineSet(m.RunSql(db,
                       "SELECT DISTINCT CONCAT(table_name, '|', index_name) FROM information_schema.statistics "
                       "WHERE table_schema = DATABASE() AND index_name <> 'PRIMARY';"));
  return d;
}

TEST_F(RoundTrip, MariadbRebuildsItself) {
  MariaDbServer& m = MariaDbServer::Instance();
  const std::string srcDb = UniqueDbName("rt_src"), dstDb = UniqueDbName("rt_dst");
  m.CreateDatabase(srcDb);
  m.CreateDatabase(dstDb);
  // MariaDB reads a backslash in a string as an escape: the schema doubles it as the script must.
  m.RunSql(srcDb, R"SQL(
CREATE TABLE customers (
  id INT NOT NULL PRIMARY KEY,
  small_n SMALLINT,
  tiny_n TINYINT,
  big_n BIGINT NOT NULL,
  balance DECIMAL(12,2),
  ratio FLOAT,
  score DOUBLE,
  code CHAR(6) NOT NULL,
  name VARCHAR(60) NOT NULL,
  notes LONGTEXT,
  born DATE,
  wake_up TIME(6),
  created DATETIME(6),
  photo LONGBLOB,
  tag VARBINARY(16),
  `home town` VARCHAR(40)
);
CREATE UNIQUE INDEX ux_customers_code_big ON customers (code, big_n);
CREATE INDEX ix_customers_name_born ON customers (name, born);
CREATE TABLE `order lines` (
  order_id INT NOT NULL,
  line_no SMALLINT NOT NULL,
  `unit price` DECIMAL(10,3),
  note VARCHAR(20),
  PRIMARY KEY (order_id, line_no)
);
CREATE INDEX `ix order lines note` ON `order lines` (note, `unit price`);
CREATE TABLE empty_log (id INT, message VARCHAR(10));
INSERT INTO customers VALUES
 (1, 32767, 127, 9223372036854775807, 1234567890.12, 0.1, 0.30000000000000004, 'AB''CD', 'O''Brien',
  'Zoë — naïve café ☕ 日本語', '1999-12-31', '23:59:59.5', '2024-02-29 12:34:56.789012',
  x'00FF27415C0A', x'00', 'New York'),
 (2, -32768, -128, -9223372036854775808, -0.01, -3.4e38, 1e-300, 'X', '', '', '1000-01-01', '00:00:00',
  '1970-01-01 00:00:00', x'', x'', ''),
 (3, NULL, NULL, 0, NULL, NULL, NULL, 'NULLS', 'all nulls', NULL, NULL, NULL, NULL, NULL, NULL, NULL),
 (4, 1, 0, 42, 0, 3.14159, 2.718281828459045, 'back\\', 'back\\slash \\n', ')SQL" +
                      LongText() + "', '2024-01-01', '12:00', '2024-01-01 00:00:00', x'" + HexBytes(4000) +
                      R"SQL(', x'FF', 'a');
INSERT INTO `order lines` VALUES (1, 1, 9.999, 'first'), (1, 2, NULL, NULL), (2, 1, -0.5, 'it''s');
)SQL");

  // Special names need MariaDB's own identifier quote (README, MariaDB).
  Settings("specObjStringOpen=`\nspecObjStringClose=`\n");
  const std::string script = Script("MariaDB", m.ConnectString(srcDb), srcDb, true);
  EXPECT_NE(script.find("CREATE TABLE `order lines`"), std::string::npos);
  EXPECT_NE(script.find("'back\\\\slash \\\\n'"), std::string::npos);

  // As a user loads it: mariadb --default-character-set=utf8mb4 rt_dst < script.sql
  m.RunScript(dstDb, scriptPath);

  const MariaDescription a = DescribeMaria(m, srcDb), b = DescribeMaria(m, dstDb);
  EXPECT_EQ(b.columns, a.columns);
  EXPECT_EQ(b.data, a.data);
  EXPECT_NE(a.data.find("customers|4|"), std::string::npos) << a.data;
  EXPECT_EQ(b.indexes, a.indexes);
  EXPECT_EQ(a.indexNames.size(), 3u);
  for (const std::string& name : a.indexNames) EXPECT_TRUE(b.indexNames.count(name)) << name;
}

// ---------------------------------------------------------------- several rows per INSERT

// 120001 rows (full groups of 100 and of 1000 and a last short one, NULLs and quotes among
// them; more than the shipped profiles' 100000 rows between COMMITs) scripted from the command
// line with 100 and 1000 rows per INSERT and in the shipped profile's own form (INSERTs sized
// by bytes, PostgreSQL's COPY), loaded by each engine's own client, and compared by the engine.
TEST_F(RoundTrip, RowsPerInsertLoadEveryRowIntoEachEngine) {
  const std::string values =
      "x, 'name ' || x || ' O''Brien', x * 1.25, CASE WHEN x % 7 = 0 THEN NULL ELSE 'note ' || x END";
  const std::string table = "CREATE TABLE many (id INTEGER, name VARCHAR(40), amount DECIMAL(10,2), note TEXT);\n";
  struct Engine {
    std::string profile;
    std::function<std::string(const std::string&)> make;  // source database name -> connect string
    std::function<void(const std::string& db)> create;
    std::function<void(const std::string& db, const std::string& script)> load;
    std::function<std::string(const std::string& db)> data;
    std::vector<std::string> extra;  // further options
    std::string expected;            // the row count the progress names
  };
  PgServer& pg = PgServer::Instance();
  MariaDbServer& maria = MariaDbServer::Instance();
  const fs::path& d = dir;
  const std::vector<Engine> engines = {
      {"SQLite",
       [&](const std::string& db) {
         SqliteRun(d / db,
                   table +
                       "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 120001) "
                       "INSERT INTO many SELECT " +
                       values + " FROM c;",
                   d);
         return "DRIVER=SQLite3;Database=" + (d / db).string();
       },
       [](const std::string&) {},
       [&](const std::string& db, const std::string& script) {
         ProcessResult r = RunProcess({"sqlite3", "-bail", (d / db).string()}, {}, script);
         ASSERT_EQ(r.status, 0) << r.err;
       },
       [&](const std::string& db) { return DescribeSqlite(d / db, d).data; },
       {"--count-rows"},
       "120001"},
      {"PostgreSQL",
       [&](const std::string& db) {
         pg.RunSql(db,
                   table + "INSERT INTO many SELECT " + values + " FROM generate_series(1, 120001) x; ANALYZE many;");
         return pg.ConnectString(db);
       },
       [&](const std::string& db) { pg.CreateDatabase(db); },
       [&](const std::string& db, const std::string& script) { pg.RunScript(db, script); },
       [&](const std::string& db) { return PgDescribeData(pg, db); },
       {"--owner", "public"},
       "120001"},
      {"MariaDB",
       [&](const std::string& db) {
         maria.RunSql(db, table +
                              "SET SESSION max_recursive_iterations = 200000; INSERT INTO many WITH RECURSIVE c(x) AS "
                              "(SELECT 1 UNION ALL SELECT x + 1 FROM c "
                              "WHERE x < 120001) SELECT x, CONCAT('name ', x, ' O''Brien'), x * 1.25, "
                              "IF(x % 7 = 0, NULL, CONCAT('note ', x)) FROM c;");
         return maria.ConnectString(db);
       },
       [&](const std::string& db) { maria.CreateDatabase(db); },
       [&](const std::string& db, const std::string& script) { maria.RunScript(db, script); },
       [&](const std::string& db) { return DescribeMaria(maria, db).data; },
       {"--catalog"},
       ""},
  };
  for (const Engine& e : engines) {
    const std::string src = e.profile == "SQLite" ? "src.db" : UniqueDbName("rpi_src");
    e.create(src);
    const std::string connect = e.make(src);
    const std::string source = e.data(src);
    ASSERT_NE(source.find("120001|"), std::string::npos) << e.profile << ": " << source;
    // 0: the shipped profile's own form.
    for (const int rows : {100, 1000, 0}) {
      const std::string what = e.profile + " with " + std::to_string(rows) + " rows per INSERT";
      const std::string script = (dir / (e.profile + std::to_string(rows) + ".sql")).string();
      std::vector<std::string> argv = {MV_BATCH_PATH, "--connect",       connect,    "--profile",
                                       e.profile,     "--progress=json", "--output", script};
      if (rows > 0) argv.insert(argv.end(), {"--rows-per-insert", std::to_string(rows), "--inserts"});
      for (const std::string& x : e.extra) argv.push_back(x);
      if (e.profile == "MariaDB") argv.insert(argv.end(), {"--owner", src});
      const ProcessResult r =
          RunProcess(argv, {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg").string()});
      ASSERT_EQ(r.status, 0) << what << ": " << r.err;
      // The last progress object: the table's rows, with its count (the engine's estimate for
      // MariaDB, a number all the same).
      const std::string key = "\"table_rows\":120001,\"table_rows_expected\":";
      const size_t last = r.err.rfind(key);
      ASSERT_NE(last, std::string::npos) << what << ": " << r.err;
      const std::string count = r.err.substr(last + key.size(), r.err.find(',', last + key.size()) - last - key.size());
      EXPECT_TRUE(!count.empty() && std::isdigit(static_cast<unsigned char>(count[0]))) << what << ": " << count;
      if (!e.expected.empty()) {
        EXPECT_EQ(count, e.expected) << what;
      }
      const std::string text = Slurp(script);
      auto occurrences = [&](const std::string& needle) {
        size_t n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
        return n;
      };
      // The rows in two transactions: the periodic COMMIT and the table's.
      EXPECT_EQ(occurrences("COMMIT;"), 2u) << what;
      if (rows > 0) {
        EXPECT_EQ(occurrences("INSERT INTO many"), (120001u + rows - 1) / rows) << what;
      } else if (e.profile == "PostgreSQL") {
        EXPECT_EQ(occurrences("\r\n\\.\r\n"), 2u) << what;
        EXPECT_EQ(occurrences("INSERT INTO many"), 0u) << what;
      } else {
        // Many rows an INSERT, none longer than the profile's 1000000 bytes.
        EXPECT_GT(occurrences("INSERT INTO many"), 1u) << what;
        EXPECT_LT(occurrences("INSERT INTO many"), 120001u / 100) << what;
        for (size_t at = text.find("INSERT INTO many"), next = 0; at != std::string::npos; at = next) {
          next = text.find("INSERT INTO many", at + 1);
          EXPECT_LT(text.find(";\r\n", at) - at, 1000000u) << what;
        }
      }
      const std::string dst = e.profile == "SQLite" ? "dst" + std::to_string(rows) + ".db" : UniqueDbName("rpi_dst");
      e.create(dst);
      e.load(dst, script);
      EXPECT_EQ(e.data(dst), source) << what;
    }
  }
}

// ---------------------------------------------------------------- across engines

// The README's migration example: the demo SQLite database scripted with the PostgreSQL
// profile and loaded with psql.
TEST_F(RoundTrip, DemoMovesFromSqliteToPostgresql) {
  const fs::path demo = MV_BINARY_DIR "/demo/demo.db";
  PgServer& pg = PgServer::Instance();
  const std::string db = UniqueDbName("rt_demo");
  pg.CreateDatabase(db);
  Script("PostgreSQL", "DRIVER=SQLite3;Database=" + demo.string(), "", false);
  pg.RunScript(db, scriptPath);

  const std::vector<std::string> tables =
      SplitLines(SqliteRun(demo, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name;", dir));
  ASSERT_EQ(tables.size(), 6u);
  EXPECT_EQ(SplitLines(pg.RunSql(db, "SELECT tablename FROM pg_tables WHERE schemaname = 'public' ORDER BY 1;")),
            tables);
  for (const std::string& t : tables) {
    // Each row as text, values joined by "|" and NULL written out, from each engine.
    std::string sqliteRow, pgRow;
    for (const std::string& c :
         SplitLines(SqliteRun(demo, "SELECT name FROM pragma_table_info('" + t + "') ORDER BY cid;", dir))) {
      sqliteRow +=
          std::string(sqliteRow.empty() ? "" : " || '|' || ") + "ifnull(CAST(\"" + c + "\" AS TEXT), '<null>')";
      // NUMERIC(10,2) keeps its scale (6.50) where SQLite prints the number (6.5).
      pgRow += std::string(pgRow.empty() ? "" : " || '|' || ") + "coalesce(CASE WHEN pg_typeof(\"" + c +
               "\") = 'numeric'::regtype THEN trim_scale(\"" + c + "\"::text::numeric)::text ELSE \"" + c +
               "\"::text END, '<null>')";
    }
    std::vector<std::string> fromSqlite =
        SplitLines(SqliteRun(demo, "SELECT " + sqliteRow + " FROM \"" + t + "\";", dir));
    std::vector<std::string> fromPg = SplitLines(pg.RunSql(db, "SELECT " + pgRow + " FROM \"" + t + "\";"));
    std::sort(fromSqlite.begin(), fromSqlite.end());
    std::sort(fromPg.begin(), fromPg.end());
    EXPECT_FALSE(fromSqlite.empty()) << t;
    EXPECT_EQ(fromPg, fromSqlite) << t;
  }
}

}  // namespace
}  // namespace mv::test
