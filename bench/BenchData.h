#pragma once
#include <string>

namespace mv::dev {
class PgServer;
class MariaDbServer;
}  // namespace mv::dev

namespace mv::bench {

// The benchmark's table, bench_rows, of `rows` rows in each engine: integers, NUMERIC(12,2),
// text with apostrophes, dates, and NULLs in three columns (quantity every 7th row, born every
// 11th, note every 3rd); the same values in every engine.
void GenerateSqlite(const std::string& connectString, long rows);
void GeneratePostgres(mv::dev::PgServer& server, const std::string& database, long rows);
void GenerateMaria(mv::dev::MariaDbServer& server, const std::string& database, long rows);

}  // namespace mv::bench
