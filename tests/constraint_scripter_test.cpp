// Keys, constraints, defaults and identities: a schema per engine with every object, scripted
// with each shipped profile, loaded with the strict clients and foreign keys enforced, and
// compared with the source (and, for a copy into the same engine, with what the engine's own
// dump tool keeps) by reading the copy's catalog.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <map>
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

enum Eng { kSqlite, kPg, kMaria };
const char* const kProfile[] = {"SQLite", "PostgreSQL", "MariaDB"};

// The same shape in each engine's words: an auto-numbered key with a gap (id 3 deleted), a
// unique column, defaults of each kind, a check each engine takes and one in its own functions,
// a self-referencing and a composite foreign key with actions, a foreign-key cycle, and indexes
// with a DESC column, a condition, an expression and each engine's own methods (MariaDB: two
// tables with an index of the same name, a prefix).
const char* const kSchema[] = {
    R"SQL(
CREATE TABLE item_note (order_id INTEGER NOT NULL, line INTEGER NOT NULL, note TEXT,
  FOREIGN KEY (order_id, line) REFERENCES item (order_id, line) ON DELETE CASCADE);
CREATE TABLE customer (id INTEGER PRIMARY KEY AUTOINCREMENT, email VARCHAR(80) NOT NULL UNIQUE
  CHECK (length(email) > 2), name VARCHAR(40) DEFAULT 'n/a', created DATETIME DEFAULT CURRENT_TIMESTAMP,
  score INTEGER DEFAULT 0 CONSTRAINT ck_score CHECK (score >= 0));
CREATE TABLE orders (id INTEGER PRIMARY KEY, customer_id INTEGER NOT NULL REFERENCES customer (id) ON DELETE CASCADE,
  parent_id INTEGER REFERENCES orders (id), total DECIMAL(10,2) CHECK (total > 0),
  twice DECIMAL(12,2) GENERATED ALWAYS AS (total * 2) VIRTUAL);
CREATE TABLE item (order_id INTEGER NOT NULL REFERENCES orders (id), line INTEGER NOT NULL, qty INTEGER NOT NULL DEFAULT 1,
  PRIMARY KEY (order_id, line));
CREATE TABLE dept (id INTEGER PRIMARY KEY, head_id INTEGER REFERENCES emp (id));
CREATE TABLE emp (id INTEGER PRIMARY KEY, dept_id INTEGER NOT NULL REFERENCES dept (id));
CREATE INDEX ix_total_desc ON orders (total DESC, id);
CREATE INDEX ix_big_orders ON orders (customer_id) WHERE total > 6;
CREATE INDEX ix_email_lower ON customer (lower(email));
)SQL",
    R"SQL(
CREATE TABLE customer (id serial PRIMARY KEY, email varchar(80) NOT NULL UNIQUE CHECK (email ~ '@'),
  name varchar(40) DEFAULT 'n/a', created timestamp DEFAULT now(), score integer DEFAULT 0 CONSTRAINT ck_score CHECK (score >= 0));
CREATE TABLE orders (id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  customer_id integer NOT NULL REFERENCES customer (id) ON DELETE CASCADE,
  parent_id integer REFERENCES orders (id) DEFERRABLE INITIALLY DEFERRED, total numeric(10,2) CHECK (total > 0),
  twice numeric(12,2) GENERATED ALWAYS AS (total * 2) STORED);
CREATE TABLE item (order_id integer NOT NULL REFERENCES orders (id), line integer NOT NULL, qty integer NOT NULL DEFAULT 1,
  PRIMARY KEY (order_id, line));
CREATE TABLE item_note (order_id integer NOT NULL, line integer NOT NULL, note text,
  FOREIGN KEY (order_id, line) REFERENCES item (order_id, line) ON DELETE CASCADE);
CREATE TABLE dept (id integer PRIMARY KEY, head_id integer);
CREATE TABLE emp (id integer PRIMARY KEY, dept_id integer NOT NULL REFERENCES dept (id));
ALTER TABLE dept ADD CONSTRAINT fk_head FOREIGN KEY (head_id) REFERENCES emp (id);
CREATE SEQUENCE ticket_seq START 100;
SELECT nextval('ticket_seq');
CREATE INDEX ix_total_desc ON orders (total DESC, id);
CREATE INDEX ix_big_orders ON orders (customer_id) WHERE total > 6;
CREATE INDEX ix_email_lower ON customer (lower(email));
CREATE INDEX ix_note_gin ON item_note USING gin (to_tsvector('simple', note));
)SQL",
    R"SQL(
CREATE TABLE customer (id int NOT NULL AUTO_INCREMENT PRIMARY KEY, email varchar(80) NOT NULL UNIQUE
  CHECK (char_length(email) > 2), name varchar(40) DEFAULT 'n/a',
  created timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp(), score int DEFAULT 0,
  CONSTRAINT ck_score CHECK (score >= 0));
CREATE TABLE orders (id int NOT NULL AUTO_INCREMENT PRIMARY KEY, customer_id int NOT NULL, parent_id int,
  total decimal(10,2) CHECK (total > 0), twice decimal(12,2) AS (total * 2) VIRTUAL,
  CONSTRAINT fk_cust FOREIGN KEY (customer_id) REFERENCES customer (id) ON DELETE CASCADE,
  CONSTRAINT fk_parent FOREIGN KEY (parent_id) REFERENCES orders (id));
CREATE TABLE item (order_id int NOT NULL, line int NOT NULL, qty int NOT NULL DEFAULT 1, PRIMARY KEY (order_id, line),
  CONSTRAINT fk_item FOREIGN KEY (order_id) REFERENCES orders (id));
CREATE TABLE item_note (order_id int NOT NULL, line int NOT NULL, note text,
  CONSTRAINT fk_note FOREIGN KEY (order_id, line) REFERENCES item (order_id, line) ON DELETE CASCADE);
CREATE TABLE dept (id int PRIMARY KEY, head_id int);
CREATE TABLE emp (id int PRIMARY KEY, dept_id int NOT NULL, CONSTRAINT fk_dept FOREIGN KEY (dept_id) REFERENCES dept (id));
ALTER TABLE dept ADD CONSTRAINT fk_head FOREIGN KEY (head_id) REFERENCES emp (id);
CREATE TABLE place (id int PRIMARY KEY, spot POINT NOT NULL, SPATIAL INDEX ix_spot (spot));
CREATE INDEX ix_total_desc ON orders (total DESC, id);
CREATE FULLTEXT INDEX ix_note_text ON item_note (note);
CREATE INDEX ix_line ON item (line);
CREATE INDEX ix_line ON item_note (line);
CREATE INDEX ix_name_prefix ON customer (name(10));
)SQL",
};

// The indexes (all named ix_...) each target names in a remark instead of creating them: an
// expression into MariaDB, PostgreSQL's GIN elsewhere, MariaDB's FULLTEXT and SPATIAL elsewhere.
const int kIndexRemarks[3][3] = {{0, 0, 1}, {1, 0, 2}, {2, 2, 0}};

const char kRows[] = R"SQL(
INSERT INTO customer (email) VALUES ('a@x'), ('b@x'), ('c@x');
DELETE FROM customer WHERE id = 3;
INSERT INTO orders (customer_id, parent_id, total) VALUES (1, NULL, 10), (2, 1, 5), (2, NULL, 7);
DELETE FROM orders WHERE id = 3;
INSERT INTO item (order_id, line, qty) VALUES (1, 1, 3), (2, 1, 4);
INSERT INTO item_note VALUES (2, 1, 'fragile');
INSERT INTO dept VALUES (1, NULL);
INSERT INTO emp VALUES (1, 1), (2, 1);
)SQL";

// What the copy's catalog holds, object by object.
struct Counts {
  int primary = 0, unique = 0, foreign = 0, checks = 0, defaults = 0, notNull = 0;
  // The ix_ indexes, their DESC columns and those with a condition; generated columns.
  int indexes = 0, descending = 0, partial = 0, generated = 0;
  bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Counts& c) {
  return os << "primary " << c.primary << ", unique " << c.unique << ", foreign " << c.foreign << ", checks "
            << c.checks << ", defaults " << c.defaults << ", not null " << c.notNull << ", indexes " << c.indexes
            << " (" << c.descending << " DESC columns, " << c.partial << " partial), generated " << c.generated;
}

int Int(const std::string& s) { return std::atoi(s.c_str()); }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class Rebuild : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mv-rebuild-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "xdg");
  }
  void TearDown() override { fs::remove_all(dir); }

  struct Db {
    Eng engine;
    std::string name;
  };

  std::string SqlitePath(const Db& db) const { return (dir / (db.name + ".db")).string(); }

  Db Fresh(Eng e, const std::string& name) {
    Db db{e, e == kSqlite ? name : UniqueDbName(name)};
    if (e == kSqlite) fs::remove(SqlitePath(db));
    if (e == kPg) PgServer::Instance().CreateDatabase(db.name);
    if (e == kMaria) MariaDbServer::Instance().CreateDatabase(db.name);
    return db;
  }

  // SQL as the strict client runs it; SQLite with foreign keys enforced.
  std::string Run(const Db& db, const std::string& sql) {
    if (db.engine == kPg) return PgServer::Instance().RunSql(db.name, sql);
    if (db.engine == kMaria) return MariaDbServer::Instance().RunSql(db.name, sql);
    return SqliteRun(SqlitePath(db), "PRAGMA foreign_keys=ON;\n" + sql, dir);
  }
  void Load(const Db& db, const fs::path& script) {
    if (db.engine == kPg) {
      PgServer::Instance().RunScript(db.name, script.string());
    } else if (db.engine == kMaria) {
      MariaDbServer::Instance().RunScript(db.name, script.string());
    } else {
      const fs::path withKeys = dir / "with-keys.sql";
      WriteText(withKeys, "PRAGMA foreign_keys=ON;\n" + Slurp(script));
      const std::vector<std::string> argv = {"sqlite3", "-bail", "-batch", SqlitePath(db)};
      const ProcessResult r = RunProcess(argv, {}, withKeys.string());
      ASSERT_TRUE(r.status == 0 && r.err.empty()) << Describe(argv, r);
    }
  }

  // mervale-batch with the profile and default settings; the script's text.
  std::string Script(const Db& src, const std::string& profile, const fs::path& out,
                     std::vector<std::string> extra = {}) {
    std::vector<std::string> argv = {MV_BATCH_PATH, "--profile", profile, "--output", out.string()};
    if (src.engine == kSqlite) argv.insert(argv.end(), {"--connect", "DRIVER=SQLite3;Database=" + SqlitePath(src)});
    if (src.engine == kPg)
      argv.insert(argv.end(),
                  {"--connect", PgServer::Instance().ConnectString(src.name), "--owner", "public", "--schema"});
    if (src.engine == kMaria)
      argv.insert(argv.end(),
                  {"--connect", MariaDbServer::Instance().ConnectString(src.name), "--owner", src.name, "--catalog"});
    // The engine's internal table is the trust issue's: left out here by name.
    if (src.engine == kSqlite) argv.insert(argv.end(), {"--exclude-table", "sqlite_sequence"});
    argv.insert(argv.end(), extra.begin(), extra.end());
    const ProcessResult r =
        RunProcess(argv, {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg").string()});
    EXPECT_EQ(r.status, 0) << Describe(argv, r);
    return Slurp(out);
  }

  Counts CountsOf(const Db& db) {
    Counts c;
    if (db.engine == kSqlite) {
      const std::string tables = "sqlite_master m WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite%'";
      const std::string from = "FROM sqlite_master m JOIN ";
      const std::string where = " WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite%'";
      const auto lines = SplitLines(
          Run(db, "SELECT count(DISTINCT m.name) " + from + "pragma_table_info(m.name) p" + where +
                      " AND p.pk > 0;\nSELECT count(*) " + from + "pragma_index_list(m.name) l" + where +
                      " AND l.origin = 'u';\nSELECT count(*) FROM (SELECT DISTINCT m.name, f.id " + from +
                      "pragma_foreign_key_list(m.name) f" + where + ");\nSELECT count(*) " + from +
                      "pragma_table_info(m.name) p" + where + " AND p.dflt_value IS NOT NULL;\nSELECT count(*) " +
                      from + "pragma_table_info(m.name) p" + where + " AND p.\"notnull\" = 1;\n"));
      EXPECT_EQ(lines.size(), 5u);
      if (lines.size() == 5) c = {Int(lines[0]), Int(lines[1]), Int(lines[2]), 0, Int(lines[3]), Int(lines[4])};
      const std::string ix = " AND l.name LIKE '%ix\\_%' ESCAPE '\\'";
      const auto indexes = SplitLines(
          Run(db, "SELECT count(*), coalesce(sum(l.partial), 0) " + from + "pragma_index_list(m.name) l" + where + ix +
                      ";\nSELECT count(*) " + from + "pragma_index_list(m.name) l JOIN pragma_index_xinfo(l.name) x" +
                      where + ix + " AND x.key = 1 AND x.\"desc\" = 1;\nSELECT count(*) " + from +
                      "pragma_table_xinfo(m.name) p" + where + " AND p.hidden IN (2, 3);\n"));
      EXPECT_EQ(indexes.size(), 3u);
      if (indexes.size() == 3) {
        c.indexes = Int(indexes[0]);
        c.partial = Int(indexes[0].substr(indexes[0].find('|') + 1));
        c.descending = Int(indexes[1]);
        c.generated = Int(indexes[2]);
      }
      // SQLite keeps checks only in the CREATE text: each CHECK before a parenthesis.
      const std::string sql = Upper(Run(db, "SELECT sql FROM " + tables + ";"));
      for (size_t at = sql.find("CHECK"); at != std::string::npos; at = sql.find("CHECK", at + 1)) {
        const size_t next = sql.find_first_not_of(" \t\r\n", at + 5);
        if (next != std::string::npos && sql[next] == '(') ++c.checks;
      }
      return c;
    }
    if (db.engine == kPg) {
      for (const std::string& line :
           SplitLines(Run(db,
                          "SELECT k.contype, count(*) FROM pg_constraint k JOIN pg_class r ON r.oid = k.conrelid "
                          "JOIN pg_namespace n ON n.oid = r.relnamespace WHERE n.nspname = 'public' GROUP BY 1;"))) {
        const int n = Int(line.substr(2));
        (line[0] == 'p' ? c.primary : line[0] == 'u' ? c.unique : line[0] == 'f' ? c.foreign : c.checks) += n;
      }
      const auto lines = SplitLines(
          Run(db,
              "SELECT count(*) FROM pg_attrdef d JOIN pg_attribute a ON a.attrelid = d.adrelid AND a.attnum = d.adnum "
              "JOIN pg_class r ON r.oid = d.adrelid JOIN pg_namespace n ON n.oid = r.relnamespace WHERE n.nspname = "
              "'public' AND a.attgenerated = '' AND pg_get_expr(d.adbin, d.adrelid) NOT LIKE 'nextval(%';\n"
              "SELECT count(*) FROM pg_attribute a JOIN pg_class r ON r.oid = a.attrelid JOIN pg_namespace n ON n.oid "
              "= r.relnamespace WHERE n.nspname = 'public' AND r.relkind = 'r' AND a.attnum > 0 AND a.attnotnull;"));
      EXPECT_EQ(lines.size(), 2u);
      if (lines.size() == 2) c.defaults = Int(lines[0]), c.notNull = Int(lines[1]);
      const auto indexes = SplitLines(
          Run(db,
              "SELECT count(*), count(i.indpred), coalesce(sum((SELECT count(*) FROM generate_series(0, i.indnkeyatts "
              "- 1) k WHERE i.indoption[k] & 1 = 1)), 0) FROM pg_index i JOIN pg_class x ON x.oid = i.indexrelid JOIN "
              "pg_namespace n ON n.oid = x.relnamespace WHERE n.nspname = 'public' AND x.relname LIKE '%ix\\_%';\n"
              "SELECT count(*) FROM pg_attribute a JOIN pg_class r ON r.oid = a.attrelid JOIN pg_namespace n ON n.oid "
              "= r.relnamespace WHERE n.nspname = 'public' AND a.attgenerated = 's';"));
      EXPECT_EQ(indexes.size(), 2u);
      if (indexes.size() == 2) {
        const std::string& l = indexes[0];
        c.indexes = Int(l);
        c.partial = Int(l.substr(l.find('|') + 1));
        c.descending = Int(l.substr(l.rfind('|') + 1));
        c.generated = Int(indexes[1]);
      }
      return c;
    }
    for (const std::string& line : SplitLines(
             Run(db,
                 "SELECT CONSTRAINT_TYPE, count(*) FROM information_schema.TABLE_CONSTRAINTS WHERE TABLE_SCHEMA = "
                 "DATABASE() GROUP BY 1;"))) {
      const int n = Int(line.substr(line.find('\t') + 1));
      (line[0] == 'P' ? c.primary : line[0] == 'U' ? c.unique : line[0] == 'F' ? c.foreign : c.checks) += n;
    }
    const auto lines = SplitLines(
        Run(db,
            "SELECT count(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND COLUMN_DEFAULT IS NOT "
            "NULL AND COLUMN_DEFAULT <> 'NULL' AND EXTRA NOT LIKE '%GENERATED%';\nSELECT count(*) FROM "
            "information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND IS_NULLABLE = 'NO';"));
    EXPECT_EQ(lines.size(), 2u);
    if (lines.size() == 2) c.defaults = Int(lines[0]), c.notNull = Int(lines[1]);
    const auto indexes =
        SplitLines(Run(db,
                       "SELECT count(DISTINCT TABLE_NAME, INDEX_NAME), coalesce(sum(COLLATION = 'D'), 0) FROM "
                       "information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND INDEX_NAME LIKE '%ix\\_%';\n"
                       "SELECT count(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND EXTRA LIKE "
                       "'%GENERATED%';"));
    EXPECT_EQ(indexes.size(), 2u);
    if (indexes.size() == 2) {
      c.indexes = Int(indexes[0]);
      c.descending = Int(indexes[0].substr(indexes[0].find('\t') + 1));
      c.generated = Int(indexes[1]);
    }
    return c;
  }

  // The engine's own dump of the source, loaded into a fresh database of the same engine.
  Db DumpCopy(const Db& src) {
    const Db copy = Fresh(src.engine, "rb_dump_" + std::string(kProfile[src.engine]));
    const fs::path dump = dir / "dump.sql";
    ProcessResult r;
    if (src.engine == kSqlite) {
      r = RunProcess({"sqlite3", SqlitePath(src), ".dump"});
    } else if (src.engine == kPg) {
      PgServer& pg = PgServer::Instance();
      r = RunProcess({"pg_dump", "-h", "127.0.0.1", "-p", std::to_string(pg.Port()), "-U", pg.User(), src.name},
                     {"PGPASSWORD=" + pg.Password()});
    } else {
      r = RunProcess({"mariadb-dump", "--no-defaults", "--protocol=TCP", "-h", "127.0.0.1", "-P",
                      std::to_string(MariaDbServer::Instance().Port()), "-u", "root", "--password=", src.name});
    }
    EXPECT_EQ(r.status, 0) << r.err;
    WriteText(dump, r.out);
    Load(copy, dump);
    return copy;
  }

  fs::path dir;
};

// The next id a row without one gets, in a table of the database.
long long NextId(const std::string& out) {
  return std::atoll(SplitLines(out).empty() ? "0" : SplitLines(out).back().c_str());
}

std::string InsertNew(Eng e, const char* table, const char* columns, const char* values) {
  const std::string insert = std::string("INSERT INTO ") + table + " (" + columns + ") VALUES (" + values + ");\n";
  if (e == kPg) return insert.substr(0, insert.size() - 2) + " RETURNING id;";
  if (e == kMaria) return insert + "SELECT LAST_INSERT_ID();";
  return insert + "SELECT last_insert_rowid();";
}

TEST_F(Rebuild, EveryEngineIntoEveryEngineLoadsWithKeysEnforced) {
  for (int s = 0; s < 3; ++s) {
    const Eng se = static_cast<Eng>(s);
    SCOPED_TRACE(std::string("from ") + kProfile[s]);
    const Db src = Fresh(se, "rb_src");
    Run(src, kSchema[s]);
    Run(src, kRows);
    const Counts source = CountsOf(src);
    // Same-engine copies keep what the engine's own dump tool keeps.
    const Counts dumped = CountsOf(DumpCopy(src));
    EXPECT_EQ(source, dumped);
    std::cout << kProfile[s] << " source: " << source << "; its dump tool's copy: " << dumped << "\n";

    std::map<int, std::string> scripts;
    for (int t = 0; t < 3; ++t) scripts[t] = Script(src, kProfile[t], dir / (std::string(kProfile[t]) + ".sql"));
    // The next ids the source gives, asked after scripting.
    const long long nextCustomer = NextId(Run(src, InsertNew(se, "customer", "email", "'new@x'")));
    const long long nextOrder = NextId(Run(src, InsertNew(se, "orders", "customer_id, total", "1, 1")));
    EXPECT_EQ(nextCustomer, 4);

    for (int t = 0; t < 3; ++t) {
      const Eng te = static_cast<Eng>(t);
      SCOPED_TRACE(std::string("into ") + kProfile[t]);
      const std::string& script = scripts[t];
      const Db copy = Fresh(te, "rb_copy");
      Load(copy, dir / (std::string(kProfile[t]) + ".sql"));
      const Counts got = CountsOf(copy);
      std::cout << "  our copy into " << kProfile[t] << ": " << got << "\n";
      // Each object the copy lacks is named in a remark; the cycle is named too.
      size_t notScripted = 0;
      for (size_t at = script.find("NOT SCRIPTED: CHECK"); at != std::string::npos;
           at = script.find("NOT SCRIPTED: CHECK", at + 1))
        ++notScripted;
      EXPECT_NE(script.find("refer to each other in a cycle"), std::string::npos);
      // Each index is created or named in a remark; a clash of names is renamed, not dropped.
      int indexRemarks = 0;
      for (size_t at = script.find("NOT SCRIPTED: index"); at != std::string::npos;
           at = script.find("NOT SCRIPTED: index", at + 1))
        ++indexRemarks;
      EXPECT_EQ(indexRemarks, kIndexRemarks[s][t]) << script;
      if (se == te) {
        EXPECT_EQ(got, source) << script;
        EXPECT_EQ(notScripted, 0u);
      } else {
        EXPECT_EQ(got.primary, source.primary);
        EXPECT_EQ(got.unique, source.unique);
        EXPECT_EQ(got.foreign, source.foreign);
        // The one check in the source engine's own functions.
        EXPECT_EQ(notScripted, 1u) << script;
        EXPECT_EQ(got.checks, source.checks - 1);
        EXPECT_EQ(got.defaults, source.defaults);
        EXPECT_GE(got.notNull, source.notNull);
        EXPECT_EQ(got.indexes, source.indexes - kIndexRemarks[s][t]);
        EXPECT_EQ(got.descending, source.descending);
        // MariaDB takes no condition: a plain index over every row, with a note.
        EXPECT_EQ(got.partial, te == kMaria ? 0 : source.partial);
        // The expression is plain SQL: every target computes it.
        EXPECT_EQ(got.generated, source.generated);
      }
      // The target computes the values the script does not copy.
      EXPECT_EQ(SplitLines(Run(copy, "SELECT twice FROM orders WHERE id = 2;")).back().substr(0, 2), "10");
      // A sequence no column owns: created with its next value into PostgreSQL, else named.
      if (se == kPg && te == kPg) {
        EXPECT_EQ(script.find("NOT SCRIPTED: sequence"), std::string::npos);
        EXPECT_EQ(SplitLines(Run(copy, "SELECT nextval('ticket_seq');")).back(), "101");
      } else if (se == kPg) {
        EXPECT_NE(script.find("NOT SCRIPTED: sequence ticket_seq"), std::string::npos);
      }
      EXPECT_EQ(NextId(Run(copy, InsertNew(te, "customer", "email", "'new@x'"))), nextCustomer);
      EXPECT_EQ(NextId(Run(copy, InsertNew(te, "orders", "customer_id, total", "1, 1"))), nextOrder);
      // The keys hold: a row whose parent is missing is refused.
      EXPECT_ANY_THROW(Run(copy, "INSERT INTO emp (id, dept_id) VALUES (9, 99);"));
    }

    // Only the rows, into the schema a structure-only script made, with the keys enforced.
    const Db existing = Fresh(se, "rb_existing");
    Script(src, kProfile[s], dir / "structure.sql", {"--no-data", "--no-indexes"});
    Load(existing, dir / "structure.sql");
    Script(src, kProfile[s], dir / "data.sql", {"--no-structure", "--no-indexes"});
    Load(existing, dir / "data.sql");
    EXPECT_EQ(SplitLines(Run(existing, "SELECT count(*) FROM item_note;")).back(), "1");
  }
}

// A source that is none of the engines tells its keys and defaults only through the driver's
// catalog functions: a composite primary key (its columns listed out of order, its index under
// another name), a composite foreign key with actions, a deferred self-reference, defaults of
// which one is the source's own, a nullability only IS_NULLABLE gives, and a unique index.
const char kOdbcSource[] = R"(TABLE|\N|\N|parent|TABLE
TABLE|\N|\N|child|TABLE
COLUMN|\N|\N|parent|a|4|integer|10|4|0|10|0
COLUMN|\N|\N|parent|b|4|integer|10|4|0|10|0
COLUMN|\N|\N|parent|name|12|varchar|20|20|\N|\N|0|\N|'none'
COLUMN|\N|\N|child|id|4|integer|10|4|0|10|0
COLUMN|\N|\N|child|pa|4|integer|10|4|0|10|1
COLUMN|\N|\N|child|pb|4|integer|10|4|0|10|1
COLUMN|\N|\N|child|boss_id|4|integer|10|4|0|10|1|\N|NULL
COLUMN|\N|\N|child|qty|4|integer|10|4|0|10|2|\N|(1)|4|\N|\N|5|NO
COLUMN|\N|\N|child|code|12|varchar|8|8|\N|\N|1|\N|getdate()
PRIMARY_KEY|\N|\N|parent|b|2|pk_parent
PRIMARY_KEY|\N|\N|parent|a|1|pk_parent
PRIMARY_KEY|\N|\N|child|id|1
FOREIGN_KEY|\N|\N|parent|b|\N|\N|child|pb|2|0|0|fk_child_parent|pk_parent|7
FOREIGN_KEY|\N|\N|parent|a|\N|\N|child|pa|1|0|0|fk_child_parent|pk_parent|7
FOREIGN_KEY|\N|\N|child|id|\N|\N|child|boss_id|1|3|2|\N|\N|5
STATISTIC|\N|\N|parent|0|\N|parent_key|3|1|a|A|\N|\N
STATISTIC|\N|\N|parent|0|\N|parent_key|3|2|b|A|\N|\N
STATISTIC|\N|\N|child|0|\N|ux_child_code|3|1|code|A|\N|\N
STATISTIC|\N|\N|child|1|\N|ix_child_pa|3|1|pa|A|\N|\N
QUERY_PREFIX|select a , b , name from parent
COL|a|4
COL|b|4
COL|name|12
ROW|1|1|one
ROW|1|2|two
END
QUERY_PREFIX|select id , pa , pb , boss_id , qty , code from child
COL|id|4
COL|pa|4
COL|pb|4
COL|boss_id|4
COL|qty|4
COL|code|12
ROW|1|1|1|\N|3|a
ROW|2|1|2|1|4|b
ROW|3|1|1|2|5|\N
END
)";

TEST_F(Rebuild, AnyOdbcSourceKeepsItsKeysAndDefaults) {
  struct Case {
    Eng target;
    std::vector<std::string> unsupported;  // catalog functions the driver does not have
    Counts expected;
    std::vector<std::string> remarks;  // NOT SCRIPTED: ...
  };
  const std::vector<Case> cases = {
      {kPg, {}, {2, 0, 2, 0, 2, 5, 1, 0, 0, 0}, {"default getdate() of column code of table child"}},
      {kSqlite, {}, {2, 0, 2, 0, 2, 5, 1, 0, 0, 0}, {"default getdate() of column code of table child"}},
      // Without the key catalogs the rows and the key's unique index still come over.
      {kPg,
       {"SQLPrimaryKeys", "SQLForeignKeys"},
       {0, 0, 0, 0, 2, 5, 1, 0, 0, 0},
       {"primary keys: the driver does not support SQLPrimaryKeys",
        "foreign keys: the driver does not support "
        "SQLForeignKeys",
        "default getdate() of column code of table child"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("into ") + kProfile[c.target] + (c.unsupported.empty() ? "" : ", catalogs missing"));
    std::string fixture = kOdbcSource;
    for (const std::string& f : c.unsupported) fixture += "UNSUPPORTED|" + f + "\n";
    for (char& ch : fixture)
      if (ch == '|') ch = '\t';
    WriteText(dir / "fixture.txt", fixture);
    const fs::path out = dir / "odbc.sql";
    const std::vector<std::string> argv = {MV_BATCH_PATH,
                                           "--profile",
                                           kProfile[c.target],
                                           "--output",
                                           out.string(),
                                           "--connect",
                                           "DRIVER=" MV_TESTDRIVER_PATH ";FIXTURE=" + (dir / "fixture.txt").string()};
    const ProcessResult r =
        RunProcess(argv, {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg").string()});
    ASSERT_EQ(r.status, 0) << Describe(argv, r);
    const std::string script = Slurp(out);
    size_t remarks = 0;
    for (size_t at = script.find("NOT SCRIPTED: "); at != std::string::npos; at = script.find("NOT SCRIPTED: ", at + 1))
      ++remarks;
    EXPECT_EQ(remarks, c.remarks.size()) << script;
    for (const std::string& remark : c.remarks) EXPECT_NE(script.find("NOT SCRIPTED: " + remark), std::string::npos);

    const Db copy = Fresh(c.target, "rb_odbc");
    Load(copy, out);
    EXPECT_EQ(CountsOf(copy), c.expected) << script;
    // Every row, and the primary key's own index is not made again beside the key.
    EXPECT_EQ(SplitLines(Run(copy, "SELECT count(*) FROM child;")).back(), "3");
    const std::string indexes = c.target == kPg ? "SELECT count(*) FROM pg_indexes WHERE tablename = 'parent';"
                                                : "SELECT count(*) FROM pragma_index_list('parent');";
    EXPECT_EQ(SplitLines(Run(copy, indexes)).back(), "1");
    EXPECT_ANY_THROW(Run(copy, "INSERT INTO parent (a, b) VALUES (1, 1);"));
    if (!c.unsupported.empty()) continue;
    // The keys as declared: names, column order, actions, deferral.
    const std::string keys =
        c.target == kPg
            ? "SELECT k.conname || ' ' || pg_get_constraintdef(k.oid) FROM pg_constraint k WHERE k.conrelid IN "
              "('parent'::regclass, 'child'::regclass) ORDER BY 1;"
            : "SELECT group_concat(\"from\") || '>' || \"table\" || '(' || group_concat(\"to\") || ') ' || on_update "
              "|| '/' || on_delete FROM pragma_foreign_key_list('child') GROUP BY id ORDER BY 1;";
    const std::vector<std::string> expectedKeys =
        c.target == kPg ? std::vector<std::string>{"child_boss_id_fkey FOREIGN KEY (boss_id) REFERENCES child(id) ON "
                                                   "DELETE SET NULL DEFERRABLE INITIALLY DEFERRED",
                                                   "child_pkey PRIMARY KEY (id)",
                                                   "fk_child_parent FOREIGN KEY (pa, pb) REFERENCES parent(a, b) ON "
                                                   "UPDATE CASCADE ON DELETE CASCADE",
                                                   "pk_parent PRIMARY KEY (a, b)"}
                        : std::vector<std::string>{"boss_id>child(id) NO ACTION/SET NULL", "pa,pb>parent(a,b) CASCADE/CASCADE"};
    EXPECT_EQ(SplitLines(Run(copy, keys)), expectedKeys) << script;
    EXPECT_NE(script.find("DEFERRABLE INITIALLY DEFERRED"), std::string::npos);
    // The defaults and the actions work in the copy.
    Run(copy, "INSERT INTO parent (a, b) VALUES (5, 5);");
    EXPECT_EQ(SplitLines(Run(copy, "SELECT name FROM parent WHERE a = 5;")).back(), "none");
    Run(copy, "DELETE FROM parent WHERE b = 2;");
    EXPECT_EQ(SplitLines(Run(copy, "SELECT count(*) FROM child WHERE boss_id IS NULL;")).back(), "2");
    EXPECT_ANY_THROW(Run(copy, "INSERT INTO child (id, pa, pb) VALUES (9, 7, 7);"));
  }
}

// PostgreSQL's own index and constraint details: kept into PostgreSQL, named in a note or a
// remark elsewhere, never dropped without a word.
TEST_F(Rebuild, PostgresqlIndexDetailsAndExclusionConstraints) {
  const Db src = Fresh(kPg, "rb_pgix");
  Run(src,
      "CREATE TABLE booking (id integer PRIMARY KEY, room integer NOT NULL, during int4range NOT NULL, note text, "
      "CONSTRAINT no_overlap EXCLUDE USING gist (during WITH &&));\n"
      "CREATE INDEX ix_room_cover ON booking (room) INCLUDE (note);\n"
      "CREATE INDEX ix_note_nulls ON booking (note NULLS FIRST, room DESC NULLS LAST);\n"
      "INSERT INTO booking VALUES (1, 1, '[1,5)', NULL), (2, 1, '[5,9)', 'late');\n");
  const std::string definitions =
      "SELECT pg_get_indexdef(indexrelid) FROM pg_index WHERE indrelid = 'booking'::regclass UNION ALL SELECT "
      "conname || ' ' || pg_get_constraintdef(oid) FROM pg_constraint WHERE conrelid = 'booking'::regclass ORDER "
      "BY 1;";
  const std::vector<std::string> source = SplitLines(Run(src, definitions));
  ASSERT_EQ(source.size(), 6u);
  struct Case {
    Eng target;
    std::vector<std::string> said;  // remarks and notes the script holds
  };
  const Case cases[] = {
      {kPg, {}},
      {kSqlite,
       {"NOT SCRIPTED: exclusion constraint no_overlap EXCLUDE USING gist (during WITH &&) of table booking",
        "no carried (INCLUDE) columns note", "the NULLs of column note in the target's own place",
        "the NULLs of column room in the target's own place"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("into ") + kProfile[c.target]);
    const fs::path out = dir / "pgix.sql";
    const std::string script = Script(src, kProfile[c.target], out);
    for (const std::string& text : c.said) EXPECT_NE(script.find(text), std::string::npos) << text << "\n" << script;
    const Db copy = Fresh(c.target, "rb_pgix_copy");
    Load(copy, out);
    EXPECT_EQ(SplitLines(Run(copy, "SELECT count(*) FROM booking;")).back(), "2");
    if (c.target != kPg) continue;
    EXPECT_EQ(script.find("NOT SCRIPTED"), std::string::npos) << script;
    EXPECT_EQ(SplitLines(Run(copy, definitions)), source);
    EXPECT_ANY_THROW(Run(copy, "INSERT INTO booking VALUES (3, 2, '[4,6)', NULL);"));
  }
}

}  // namespace
}  // namespace mv::test
