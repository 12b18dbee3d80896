// A script is one moment of the database: while a second connection moves amounts between two
// tables and adds children with their parents in the same transactions, the copy the script
// loads still adds up and has no orphans.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "profiles/ProfileFile.h"
#include "support/BatchScript.h"
#include "support/MariaDbServer.h"
#include "support/PgServer.h"
#include "support/RunHarness.h"
#include "support/UniqueName.h"

namespace mv::test {
namespace {

namespace fs = std::filesystem;

// The writer's transactions start when the data phase has read its second table, so the first
// two tables come before them and the last two after, unless the run reads one moment.
class WriterHost : public ScriptedHost {
 public:
  void RowsBegin(long long expected) override {
    ScriptedHost::RowsBegin(expected);
    if (++tables_ == 2 && write) write();
  }
  std::function<void()> write;

 private:
  int tables_ = 0;
};

// a_from and c_to hold 100 each per id; every transaction moves 1 from a_from to c_to and
// adds a parent with its child.
std::string Schema(const std::string& intType) {
  std::string sql = "CREATE TABLE a_from (id " + intType + " PRIMARY KEY, amount " + intType +
                    " NOT NULL);\nCREATE TABLE b_parent (id " + intType + " PRIMARY KEY);\nCREATE TABLE c_to (id " +
                    intType + " PRIMARY KEY, amount " + intType + " NOT NULL);\nCREATE TABLE d_child (id " + intType +
                    " PRIMARY KEY, parent_id " + intType + " NOT NULL);\n";
  for (int i = 1; i <= 10; ++i) {
    const std::string n = std::to_string(i);
    sql += "INSERT INTO a_from VALUES (" + n + ", 100);\nINSERT INTO c_to VALUES (" + n +
           ", 100);\nINSERT INTO b_parent VALUES (" + n + ");\nINSERT INTO d_child VALUES (" + n + ", " + n + ");\n";
  }
  return sql;
}

std::string Writes(int transactions) {
  std::string sql;
  for (int i = 0; i < transactions; ++i) {
    const std::string id = std::to_string(1 + i % 10), parent = std::to_string(100 + i);
    sql += "BEGIN;\nUPDATE a_from SET amount = amount - 1 WHERE id = " + id +
           ";\nUPDATE c_to SET amount = amount + 1 WHERE id = " + id + ";\nINSERT INTO b_parent VALUES (" + parent +
           ");\nINSERT INTO d_child VALUES (" + parent + ", " + parent + ");\nCOMMIT;\n";
  }
  return sql;
}

const char kTotal[] = "SELECT (SELECT sum(amount) FROM a_from) + (SELECT sum(amount) FROM c_to);";
const char kOrphans[] = "SELECT count(*) FROM d_child WHERE parent_id NOT IN (SELECT id FROM b_parent);";
const char kChildren[] = "SELECT count(*) FROM d_child;";
const char kManyChildren[] =
    "INSERT INTO d_child SELECT 1000 + seq, 1 + seq % 10 FROM seq_1_to_120000;\nANALYZE TABLE d_child;\n";
const char kChildrenPaged[] =
    "SELECT table_rows > 100000 FROM information_schema.tables WHERE table_schema = database() AND table_name = "
    "'d_child';";

struct Engine {
  const char* name;     // the shipped profile, and the test's name
  const char* intType;  // the column type of every column
  // Creates the source and an empty target, and returns the source's connect string.
  std::function<std::string(const fs::path& dir)> prepare;
  std::function<std::string(const std::string& sql)> source;  // runs SQL on the source
  std::function<std::string(const fs::path& script)> load;    // loads into the target
  std::function<std::string(const std::string& sql)> target;  // asks the target
};

class Snapshot : public ::testing::TestWithParam<const char*> {};

Engine Make(const std::string& which, const fs::path& dir) {
  if (which == "SQLite") {
    const fs::path src = dir / "src.db", dst = dir / "dst.db";
    return {"SQLite",
            "INTEGER",
            [src, dir](const fs::path&) {
              // A writer goes on beside a reader only in WAL mode; else it would wait for the run.
              SqliteRun(src, "PRAGMA journal_mode = WAL;\n" + Schema("INTEGER"), dir);
              return "DRIVER=SQLite3;Database=" + src.string();
            },
            [src, dir](const std::string& sql) { return SqliteRun(src, sql, dir); },
            [dst, dir](const fs::path& script) { return SqliteRun(dst, Slurp(script), dir); },
            [dst, dir](const std::string& sql) { return SqliteRun(dst, sql, dir); }};
  }
  if (which == "PostgreSQL" || which == "PostgreSQLCursor") {
    const std::string src = UniqueDbName("snap_pg_src"), dst = UniqueDbName("snap_pg_dst");
    const bool cursor = which == "PostgreSQLCursor";
    return {"PostgreSQL",
            "integer",
            [src, dst, cursor](const fs::path&) {
              PgServer& pg = PgServer::Instance();
              pg.CreateDatabase(src);
              pg.CreateDatabase(dst);
              pg.RunSql(src, Schema("integer"));
              // Through a cursor the driver declares and closes itself, inside the run's transaction.
              return pg.ConnectString(src) + (cursor ? "UseDeclareFetch=1;Fetch=2;" : "");
            },
            [src](const std::string& sql) { return PgServer::Instance().RunSql(src, sql); },
            [dst](const fs::path& script) { return PgServer::Instance().RunScript(dst, script.string()); },
            [dst](const std::string& sql) { return PgServer::Instance().RunSql(dst, sql); }};
  }
  const std::string src = UniqueDbName("snap_maria_src"), dst = UniqueDbName("snap_maria_dst");
  return {"MariaDB",
          "INT",
          [src, dst](const fs::path&) {
            MariaDbServer& m = MariaDbServer::Instance();
            m.CreateDatabase(src);
            m.CreateDatabase(dst);
            // Enough children that MariaDB's, read in pages of the key, take several pages.
            m.RunSql(src, Schema("INT") + kManyChildren);
            EXPECT_EQ(m.RunSql(src, kChildrenPaged), "1\n");
            return m.ConnectString(src);
          },
          [src](const std::string& sql) { return MariaDbServer::Instance().RunSql(src, sql); },
          [dst](const fs::path& script) { return MariaDbServer::Instance().RunScript(dst, script.string()); },
          [dst](const std::string& sql) { return MariaDbServer::Instance().RunSql(dst, sql); }};
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

TEST_P(Snapshot, AConcurrentWriterLeavesTheScriptOneMoment) {
  RunHarness h;
  const fs::path dir = h.Path("work");
  fs::create_directories(dir);
  const Engine e = Make(GetParam(), dir);
  const std::string connect = e.prepare(dir);

  // The shipped profile of the engine, so the script loads into it.
  WriterHost host;
  RunController owner(host, *h.settings, h.Path("folder"));
  Session& s = owner.session();
  std::string name = e.name;
  DiscoverProfiles(s.profiles, MV_BINARY_DIR, name, s.working, host);
  s.opts.s_WorkingProfile = e.name;
  ApplyWorkingProfile(s.profiles, s.opts.s_WorkingProfile, s.working);
  owner.ReplaceConnection(DbConnection::ConnectWithString(host, connect, "", "0"));
  ASSERT_TRUE(s.HasUsableConnection()) << (host.messages.empty() ? "" : host.messages.back());
  // Bounded in count: twenty transactions, each of them committed before the run reads on.
  host.write = [&e] { e.source(Writes(20)); };
  ASSERT_TRUE(owner.StartRun());
  owner.Wait();
  ASSERT_EQ(s.lastOutcome, RunOutcome::Finished) << host.window.WholeText().substr(0, 2000);

  // The writer did write while the run read: the source moved on.
  const int children = e.name == std::string("MariaDB") ? 120000 : 0;
  EXPECT_EQ(Trimmed(e.source(kChildren)), std::to_string(30 + children));
  const fs::path script = dir / "script.sql";
  WriteText(script, host.window.WholeText());
  e.load(script);
  EXPECT_EQ(Trimmed(e.target(kTotal)), "2000");
  EXPECT_EQ(Trimmed(e.target(kOrphans)), "0");
  EXPECT_EQ(Trimmed(e.target(kChildren)), std::to_string(10 + children));
}

INSTANTIATE_TEST_SUITE_P(Engines, Snapshot, ::testing::Values("SQLite", "PostgreSQL", "PostgreSQLCursor", "MariaDB"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace mv::test
