// Views, materialized views, types, routines, triggers and comments, copied from each engine
// into each engine with its shipped profile and the default settings. Each copy is loaded by the
// target's strict client and its catalog counted: a same-engine copy holds what the engine's own
// dump tool keeps (run here too), a cross-engine copy what the README's migration table says,
// and every object left out is named in a remark.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/BatchScript.h"
#include "support/MariaDbServer.h"
#include "support/PgServer.h"
#include "support/UniqueName.h"

namespace mv::test {
namespace {

namespace fs = std::filesystem;

// Object counts of a database: views, materialized views, triggers, routines, types (PostgreSQL
// enums and domains, MariaDB ENUM and SET columns), comments, and values of the padded CHAR
// column found by its unpadded value.
struct Counts {
  int views = 0, materialized = 0, triggers = 0, routines = 0, types = 0, comments = 0, padded = 0;
  bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Counts& c) {
  return o << "views " << c.views << ", materialized " << c.materialized << ", triggers " << c.triggers << ", routines "
           << c.routines << ", types " << c.types << ", comments " << c.comments << ", padded " << c.padded;
}

Counts FromLine(const std::string& line, char sep) {
  std::vector<int> v;
  std::string cell;
  for (char ch : line + sep) {
    if (ch == sep) {
      v.push_back(std::stoi(cell));
      cell.clear();
    } else if (ch != '\n') {
      cell += ch;
    }
  }
  return {v.at(0), v.at(1), v.at(2), v.at(3), v.at(4), v.at(5), v.at(6)};
}

const char* kPgSchema = R"SQL(
CREATE TYPE mood AS ENUM ('sad', 'ok', 'Happy');
CREATE DOMAIN posint AS integer DEFAULT 1 NOT NULL CONSTRAINT posint_check CHECK (VALUE > 0);
CREATE TABLE person (id integer, name varchar(40), feeling mood, age posint, code char(5), "fulltext" text);
COMMENT ON TABLE person IS 'People, O''Brien''s too';
COMMENT ON COLUMN person.name IS 'Full name';
INSERT INTO person VALUES (1, 'Ann', 'Happy', 30, 'ab', 'x'), (2, 'Bob', 'sad', 4, 'abcde', NULL);
CREATE TABLE pad (code char(5));
INSERT INTO pad VALUES ('ab'), ('abcde');
CREATE TABLE audit (person_id integer, note text);
CREATE FUNCTION log_person() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN INSERT INTO audit VALUES (NEW.id, 'insert'); RETURN NEW; END $$;
CREATE TRIGGER person_log AFTER INSERT ON person FOR EACH ROW EXECUTE FUNCTION log_person();
CREATE VIEW adults AS SELECT id, name FROM person WHERE age >= 18;
CREATE VIEW adult_names AS SELECT name FROM adults;
CREATE MATERIALIZED VIEW moods AS SELECT feeling, count(*) AS n FROM person GROUP BY feeling;
)SQL";

// The views are created in an order the catalog's name order does not give (a_names reads
// z_big), and the trigger's body has a statement of its own.
const char* kMariaSchema = R"SQL(
CREATE TABLE item (id INT NOT NULL, size ENUM('Small','Large') NOT NULL, tags SET('red','Blue'), code CHAR(5),
  `select` INT) COMMENT='Items';
ALTER TABLE item MODIFY code CHAR(5) COMMENT 'The code';
INSERT INTO item VALUES (1, 'Small', 'red,Blue', 'ab', 1), (2, 'Large', '', 'abcde', 2);
CREATE TABLE pad (code CHAR(5));
INSERT INTO pad VALUES ('ab'), ('abcde');
CREATE VIEW z_big AS SELECT id, size FROM item WHERE size = 'Large';
CREATE VIEW a_names AS SELECT id FROM z_big;
CREATE PROCEDURE count_items() SELECT COUNT(*) FROM item;
CREATE TRIGGER item_ins BEFORE INSERT ON item FOR EACH ROW SET NEW.code = UPPER(NEW.code);
)SQL";

const char* kSqliteSchema = R"SQL(
CREATE TABLE item (id INTEGER, name TEXT, code CHAR(5));
INSERT INTO item VALUES (1, 'one', 'ab'), (2, 'two', 'abcde');
CREATE TABLE pad (code CHAR(5));
INSERT INTO pad VALUES ('ab'), ('abcde');
CREATE TABLE log (item_id INTEGER, note TEXT);
CREATE VIEW z_items AS SELECT id, name FROM item;
CREATE VIEW a_named AS SELECT name FROM z_items WHERE name <> '';
CREATE TRIGGER item_log AFTER INSERT ON item BEGIN INSERT INTO log VALUES (NEW.id, 'insert'); END;
)SQL";

class SchemaObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mv-so-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "xdg" / "Quillfen");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(SchemaObjects, EveryProfileCopiesOrNamesEveryObjectOfEverySource) {
  PgServer& pg = PgServer::Instance();
  MariaDbServer& maria = MariaDbServer::Instance();
  const std::string pgEnv = "PGPASSWORD=" + pg.Password();
  const std::string base = UniqueDbName("so");

  struct Engine {
    std::string name;
    std::string connect, owner;
    bool isCatalog;
    std::function<void(const std::string& db, const std::string& script)> load;  // into a new database
    std::function<Counts(const std::string& db)> count;
    std::function<std::string(const std::string& db)> dump;  // the engine's own tool, into a file
  };
  std::vector<Engine> engines = {
      {"SQLite", "DRIVER=SQLite3;Database=" + (dir / "src.db").string(), "", false,
       [&](const std::string& db, const std::string& script) {
         ProcessResult r = RunProcess({"sqlite3", "-bail", (dir / (db + ".db")).string()}, {}, script);
         ASSERT_TRUE(r.status == 0 && r.err.empty()) << r.err;
       },
       [&](const std::string& db) {
         return FromLine(SqliteRun(dir / (db + ".db"),
                                   "SELECT (SELECT count(*) FROM sqlite_master WHERE type = 'view'), 0, (SELECT "
                                   "count(*) FROM sqlite_master WHERE type = 'trigger'), 0, 0, 0, (SELECT count(*) "
                                   "FROM pad WHERE code = 'ab');",
                                   dir),
                         '|');
       },
       [&](const std::string& db) {
         const std::string out = (dir / (db + ".dump.sql")).string();
         WriteText(out, SqliteRun(dir / (db + ".db"), ".dump\n", dir));
         return out;
       }},
      {"PostgreSQL", pg.ConnectString(base + "_src_pg"), "public", false,
       [&](const std::string& db, const std::string& script) {
         pg.CreateDatabase(db);
         pg.RunScript(db, script);
       },
       [&](const std::string& db) {
         const std::string ns = "(SELECT oid FROM pg_namespace WHERE nspname = 'public')";
         return FromLine(
             pg.RunSql(db, "SELECT (SELECT count(*) FROM pg_class WHERE relkind = 'v' AND relnamespace = " + ns +
                               "), (SELECT count(*) FROM pg_class WHERE relkind = 'm' AND relnamespace = " + ns +
                               "), (SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid WHERE NOT "
                               "t.tgisinternal AND c.relnamespace = " +
                               ns + "), (SELECT count(*) FROM pg_proc WHERE pronamespace = " + ns +
                               "), (SELECT count(*) FROM pg_type WHERE typtype IN ('e', 'd') AND typnamespace = " + ns +
                               "), (SELECT count(*) FROM pg_description d JOIN pg_class c ON c.oid = d.objoid AND "
                               "d.classoid = 'pg_class'::regclass WHERE c.relnamespace = " +
                               ns + "), (SELECT count(*) FROM pad WHERE code = 'ab');"),
             '|');
       },
       [&](const std::string& db) {
         const std::string out = (dir / (db + ".dump.sql")).string();
         ProcessResult r = RunProcess({"pg_dump", "-O", "-x", "-h", "127.0.0.1", "-p", std::to_string(pg.Port()), "-U",
                                       pg.User(), "-f", out, db},
                                      {pgEnv});
         EXPECT_EQ(r.status, 0) << r.err;
         return out;
       }},
      {"MariaDB", maria.ConnectString(base + "_src_maria"), base + "_src_maria", true,
       [&](const std::string& db, const std::string& script) {
         maria.CreateDatabase(db);
         maria.RunScript(db, script);
       },
       [&](const std::string& db) {
         const std::string in = "= DATABASE()";
         return FromLine(
             maria.RunSql(db, "SELECT (SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA " + in +
                                  "), 0, (SELECT COUNT(*) FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA " + in +
                                  "), (SELECT COUNT(*) FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA " + in +
                                  "), (SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA " + in +
                                  " AND DATA_TYPE IN ('enum', 'set')), (SELECT COUNT(*) FROM information_schema.TABLES "
                                  "WHERE TABLE_SCHEMA " +
                                  in +
                                  " AND TABLE_TYPE = 'BASE TABLE' AND TABLE_COMMENT <> '') + (SELECT COUNT(*) FROM "
                                  "information_schema.COLUMNS "
                                  "WHERE TABLE_SCHEMA " +
                                  in + " AND COLUMN_COMMENT <> ''), (SELECT COUNT(*) FROM pad WHERE code = 'ab');"),
             '\t');
       },
       [&](const std::string& db) {
         const std::string out = (dir / (db + ".dump.sql")).string();
         ProcessResult r = RunProcess({"mariadb-dump", "-h", "127.0.0.1", "-P", std::to_string(maria.Port()), "-u",
                                       "root", "--routines", "--triggers", "--result-file=" + out, db});
         EXPECT_EQ(r.status, 0) << r.err;
         return out;
       }},
  };

  SqliteRun(dir / "src.db", kSqliteSchema, dir);
  pg.CreateDatabase(base + "_src_pg");
  pg.RunSql(base + "_src_pg", kPgSchema);
  maria.CreateDatabase(base + "_src_maria");
  maria.RunSql(base + "_src_maria", kMariaSchema);
  const std::map<std::string, std::string> sourceDb = {
      {"SQLite", "src"}, {"PostgreSQL", base + "_src_pg"}, {"MariaDB", base + "_src_maria"}};

  // What a cross-engine copy keeps (the README's migration table): the comments, and the CHAR
  // value found by its unpadded text, except from PostgreSQL into SQLite, which keeps the
  // padding blanks PostgreSQL hands over.
  auto crossEngine = [](const Counts& s, const std::string& source, const std::string& target) {
    Counts c;
    if (target != "SQLite") c.comments = s.comments;
    c.padded = source == "PostgreSQL" && target == "SQLite" ? 0 : 1;
    return c;
  };

  for (const Engine& src : engines) {
    const std::string srcDb = sourceDb.at(src.name);
    const Counts source = src.count(srcDb);
    // The same engine's own dump tool, loaded back, gives the copy to match.
    const std::string dumpDb = base + "_dump_" + src.name;
    src.load(dumpDb, src.dump(srcDb));
    const Counts dumped = src.count(dumpDb);
    for (const Engine& dst : engines) {
      SCOPED_TRACE(src.name + " -> " + dst.name);
      const std::string script = (dir / (src.name + "-" + dst.name + ".sql")).string();
      ProcessResult r = ScriptWithBatch(dir, dst.name, src.connect, src.owner, src.isCatalog, script);
      ASSERT_EQ(r.status, 0) << r.err;
      const std::string text = Slurp(script);
      const std::string copyDb = base + "_" + src.name + "_" + dst.name;
      dst.load(copyDb, script);
      Counts copy = dst.count(copyDb);
      if (src.name == dst.name) {
        EXPECT_EQ(copy, source);
        EXPECT_EQ(copy, dumped);
      } else {
        EXPECT_EQ(copy, crossEngine(source, src.name, dst.name));
      }
      // Whatever the copy lacks is named: one remark per view, routine, trigger and comment.
      int remarks = 0;
      for (size_t at = text.find("is not scripted:"); at != std::string::npos;
           at = text.find("is not scripted:", at + 1))
        ++remarks;
      const int materializedKept = src.name == dst.name ? copy.materialized : 0;
      const int lost = source.views + source.materialized + source.triggers + source.routines + source.comments -
                       (copy.views + materializedKept + copy.triggers + copy.routines + copy.comments);
      EXPECT_EQ(remarks, lost) << text.substr(0, 4000);
      std::printf("%s -> %s: source %d, copy %d, named %d\n", src.name.c_str(), dst.name.c_str(),
                  source.views + source.materialized + source.triggers + source.routines + source.comments,
                  copy.views + copy.materialized + copy.triggers + copy.routines + copy.comments, remarks);
    }
  }
}

}  // namespace
}  // namespace mv::test
