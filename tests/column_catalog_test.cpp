// The column catalog of every table is read in one pass per run: tables whose names differ
// only in letter case, or where one name matches the other as a LIKE pattern (_ and %), each
// keep their own columns. Scripted with the engine's shipped profile, loaded by its own client,
// and every table's columns compared with the source's.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

struct Case {
  Engine engine;
  const char* name;  // also the shipped profile's
};

struct Lookalike {
  const char* table;
  const char* columns;  // as CREATE TABLE lists them
  bool caseOnly;        // differs from another only in letter case: not for SQLite
};

const Lookalike kTables[] = {
    {"a_b", "x1 int", false},  {"aXb", "y1 int, y2 int", false},
    {"p%q", "z1 int", false},  {"pzq", "w1 int, w2 int, w3 int", false},
    {"Mixed", "m1 int", true}, {"mixed", "n1 int, n2 int", true},
};

class ColumnCatalog : public ::testing::TestWithParam<Case> {
 protected:
  std::string Run(const std::string& db, const std::string& sql) const {
    switch (GetParam().engine) {
      case kSqlite:
        return SqliteRun(db, sql, fs::path(db).parent_path());
      case kPostgres:
        return PgServer::Instance().RunSql(db, sql);
      case kMaria:
        break;
    }
    return MariaDbServer::Instance().RunSql(db, sql);
  }
  std::string Quoted(const std::string& name) const {
    return GetParam().engine == kMaria ? "`" + name + "`" : "\"" + name + "\"";
  }
  // The table's column names, sorted: the profile's layout may put the nullable ones last.
  std::vector<std::string> Columns(const std::string& db, const std::string& table) const {
    const std::string literal = "'" + table + "'";
    const std::string sql =
        GetParam().engine == kSqlite ? "SELECT name FROM pragma_table_info(" + literal + ");"
        : GetParam().engine == kPostgres
            ? "SELECT attname FROM pg_attribute WHERE attrelid = '\"" + table +
                  "\"'::regclass AND attnum > 0 AND NOT attisdropped;"
            : "SELECT column_name FROM information_schema.columns WHERE table_schema = DATABASE() AND "
              "BINARY table_name = " +
                  literal + ";";
    std::vector<std::string> names = SplitLines(Run(db, sql));
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Database(const TempDir& dir, const std::string& tag) const {
    const Engine e = GetParam().engine;
    if (e == kSqlite) return (fs::path(dir.path) / (tag + ".db")).string();
    const std::string name = UniqueDbName("lookalike_" + tag);
    if (e == kPostgres) PgServer::Instance().CreateDatabase(name);
    if (e == kMaria) MariaDbServer::Instance().CreateDatabase(name);
    return name;
  }
};

TEST_P(ColumnCatalog, LookalikeTablesKeepTheirOwnColumns) {
  const Case c = GetParam();
  TempDir dir("mv-columncatalog");
  fs::create_directories(fs::path(dir.path) / "xdg");
  const std::string source = Database(dir, "src");
  std::vector<std::string> tables;
  std::string create;
  for (const Lookalike& t : kTables) {
    if (t.caseOnly && c.engine == kSqlite) continue;
    tables.push_back(t.table);
    create += "CREATE TABLE " + Quoted(t.table) + " (" + t.columns + ");\n";
  }
  Run(source, create);

  const std::string connect = c.engine == kSqlite     ? "DRIVER=SQLite3;Database=" + source
                              : c.engine == kPostgres ? PgServer::Instance().ConnectString(source)
                                                      : MariaDbServer::Instance().ConnectString(source);
  const std::string script = (fs::path(dir.path) / "copy.sql").string();
  const ProcessResult r = ScriptWithBatch(dir.path, c.name, connect,
                                          c.engine == kPostgres ? "public"
                                          : c.engine == kMaria  ? source
                                                                : "",
                                          c.engine == kMaria, script);
  ASSERT_EQ(r.status, 0) << r.err;

  const std::string target = Database(dir, "dst");
  if (c.engine == kSqlite) {
    const ProcessResult load = RunProcess({"sqlite3", "-bail", target}, {}, script);
    ASSERT_EQ(load.status, 0) << load.err;
  } else if (c.engine == kPostgres) {
    PgServer::Instance().RunScript(target, script);
  } else {
    MariaDbServer::Instance().RunScript(target, script);
  }
  for (const std::string& t : tables) {
    const std::vector<std::string> expected = Columns(source, t);
    ASSERT_FALSE(expected.empty()) << t;
    EXPECT_EQ(Columns(target, t), expected) << "table " << t;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ColumnCatalog,
                         ::testing::Values(Case{kSqlite, "SQLite"}, Case{kPostgres, "PostgreSQL"},
                                           Case{kMaria, "MariaDB"}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           // Named as the server filter reads a same-engine pair.
                           return std::string(info.param.name) + "To" + info.param.name;
                         });

}  // namespace
}  // namespace mv::test
