#include "BenchData.h"

#include "OdbcSession.h"
#include "devservers/MariaDbServer.h"
#include "devservers/PgServer.h"

namespace mv::bench {

namespace {

const char kCreate[] =
    "CREATE TABLE bench_rows (id INTEGER NOT NULL, amount NUMERIC(12,2) NOT NULL, quantity INTEGER, "
    "name VARCHAR(40) NOT NULL, born DATE, note VARCHAR(60))";

std::string Columns(const std::string& born) {
  return "i, ((CAST(i AS BIGINT) * 7919) % 10000000) / 100.0, CASE WHEN i % 7 = 0 THEN NULL ELSE i % 1000 END, "
         "CASE i % 4 WHEN 0 THEN 'O''Brien ' || i WHEN 1 THEN 'D''Arcy ' || i WHEN 2 THEN 'Smith ' || i "
         "ELSE 'L''Estrange-Ng ' || i END, " +
         born + ", CASE WHEN i % 3 = 0 THEN NULL ELSE 'row ' || i || ' isn''t empty' END";
}

}  // namespace

// One statement inside the SQLite library: no per-row round trip, no journal, one transaction.
void GenerateSqlite(const std::string& connectString, long rows) {
  OdbcSession s;
  s.Connect(connectString);
  s.Exec("PRAGMA journal_mode=OFF");
  s.Exec("PRAGMA synchronous=OFF");
  s.Exec(kCreate);
  s.Exec("WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < " + std::to_string(rows) +
         ") INSERT INTO bench_rows SELECT " +
         Columns("CASE WHEN i % 11 = 0 THEN NULL ELSE date('1950-01-01', '+' || (i % 20000) || ' days') END") +
         " FROM s");
}

void GeneratePostgres(mv::dev::PgServer& server, const std::string& database, long rows) {
  server.CreateDatabase(database);
  // VACUUM sets the hint bits now, so the first timed scan does not pay for them.
  server.RunSql(database, std::string(kCreate) + ";\nINSERT INTO bench_rows SELECT " +
                              Columns("CASE WHEN i % 11 = 0 THEN NULL ELSE DATE '1950-01-01' + (i % 20000) END") +
                              " FROM generate_series(1, " + std::to_string(rows) +
                              ") AS s(i);\nVACUUM (FREEZE, ANALYZE) bench_rows;\n");
}

void GenerateMaria(mv::dev::MariaDbServer& server, const std::string& database, long rows) {
  server.CreateDatabase(database);
  // || is OR in MariaDB's default mode: the texts are put together with CONCAT.
  const std::string n = std::to_string(rows);
  server.RunSql(database,
                std::string(kCreate) + " ENGINE=InnoDB;\nSET SESSION max_recursive_iterations = " + n +
                    " + 1;\nINSERT INTO bench_rows WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s "
                    "WHERE i < " +
                    n +
                    ") SELECT i, ((CAST(i AS SIGNED) * 7919) % 10000000) / 100.0, IF(i % 7 = 0, NULL, i % 1000), "
                    "CASE i % 4 WHEN 0 THEN CONCAT('O''Brien ', i) WHEN 1 THEN CONCAT('D''Arcy ', i) WHEN 2 THEN "
                    "CONCAT('Smith ', i) ELSE CONCAT('L''Estrange-Ng ', i) END, IF(i % 11 = 0, NULL, "
                    "DATE_ADD(DATE '1950-01-01', INTERVAL i % 20000 DAY)), IF(i % 3 = 0, NULL, CONCAT('row ', i, "
                    "' isn''t empty')) FROM s;\nANALYZE TABLE bench_rows;\n");
}

}  // namespace mv::bench
