#include "BenchOptions.h"

#include <cstdlib>

namespace mv::bench {

const char kBenchUsage[] =
    "Usage: mervale-bench [--copy] [--rows N] [--repeat K] [--engine sqlite|pg|mariadb|both|all]\n"
    "                     [--sqlite-options TEXT]... [--pg-options TEXT]...\n"
    "                     [--sink window|file|qt] [--only both|plain|script]\n"
    "                     [--fetch-buffer BYTES] [--plain-select data|bare] [--keep]\n"
    "\n"
    "Generates a table of N rows (default 1000000) in a SQLite file and in a private\n"
    "PostgreSQL server, then times, per engine and connect-string variant, a plain fetch\n"
    "(SQLFetch + SQLGetData of every column of the SELECT the data phase runs) against\n"
    "Mervale scripting the same rows to a file, K times each (default 3), and prints best\n"
    "and median times, their ratio and the peak resident memory growth of each.\n"
    "\n"
    "  --sqlite-options, --pg-options  extra connect-string options for one variant; give\n"
    "                   the option several times to compare variants (\"\" is the plain\n"
    "                   connect string). Default: \"\" and \"StepAPI=1\" for\n"
    "                   SQLite; \"\" and \"UseDeclareFetch=1;Fetch=10000\" for PostgreSQL.\n"
    "  --sink           window: the script goes through the batch front end's output\n"
    "                   (default); file: the run's only-to-file mode; qt: the desktop's\n"
    "                   script window (offscreen) with auto-save every 500 lines\n"
    "  --only           time only the plain fetch or only the script run (profiling)\n"
    "  --fetch-buffer   SQLGetData buffer of the plain fetch (default 1024)\n"
    "  --plain-select   data: the plain fetch runs the data phase's own SELECT, learnt\n"
    "                   from an untimed run (default); bare: the table's columns as\n"
    "                   they are, without the expressions the data phase reads some with\n"
    "  --keep           keep the work folder (databases, scripts) and print its path\n"
    "  --copy           time the whole copy instead: per engine (default all three, MariaDB\n"
    "                   in a private server too), the engine's own tool (sqlite3 .dump,\n"
    "                   pg_dump, mariadb-dump) and mervale-batch with the engine's shipped\n"
    "                   profile each write a script that the strict client loads into a\n"
    "                   fresh database, K times in turns; and, when pgloader is installed,\n"
    "                   SQLite and MariaDB into PostgreSQL against it. Prints write, load\n"
    "                   and total medians, the ratios and the tools' peak memory\n";

namespace {
bool ParseLong(const char* text, long minimum, long& out) {
  if (!text || !*text) return false;
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (*end != '\0' || v < minimum) return false;
  out = v;
  return true;
}

bool Fail(std::string& error, const char* message) {
  error = message;
  return false;
}
}  // namespace

bool ParseBenchArgs(int argc, char** argv, BenchOptions& o, std::string& error, bool& help) {
  help = false;
  bool sqliteGiven = false, pgGiven = false, engineGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto needValue = [&]() {
      if (!value)
        error = a + " needs a value";
      else
        ++i;
      return value != nullptr;
    };
    if (a == "--help" || a == "-h") {
      help = true;
      return true;
    } else if (a == "--rows") {
      if (!needValue()) return false;
      if (!ParseLong(value, 1, o.rows)) return Fail(error, "--rows needs a number of at least 1");
    } else if (a == "--repeat") {
      long k = 0;
      if (!needValue()) return false;
      if (!ParseLong(value, 1, k) || k > 100) return Fail(error, "--repeat needs a number from 1 to 100");
      o.repeat = static_cast<int>(k);
    } else if (a == "--engine") {
      if (!needValue()) return false;
      const std::string e = value;
      if (e != "sqlite" && e != "pg" && e != "mariadb" && e != "both" && e != "all")
        return Fail(error, "--engine is sqlite, pg, mariadb, both or all");
      engineGiven = true;
      o.sqlite = e == "sqlite" || e == "both" || e == "all";
      o.postgres = e == "pg" || e == "both" || e == "all";
      o.maria = e == "mariadb" || e == "all";
    } else if (a == "--sqlite-options" || a == "--pg-options") {
      if (!needValue()) return false;
      const bool pg = a == "--pg-options";
      bool& given = pg ? pgGiven : sqliteGiven;
      auto& list = pg ? o.pgOptions : o.sqliteOptions;
      if (!given) list.clear();
      given = true;
      list.emplace_back(value);
    } else if (a == "--sink") {
      if (!needValue()) return false;
      o.sink = value;
#ifdef MV_BENCH_WINDOW
      if (o.sink != "window" && o.sink != "file" && o.sink != "qt") return Fail(error, "--sink is window, file or qt");
#else
      if (o.sink != "window" && o.sink != "file") return Fail(error, "--sink is window or file");
#endif
    } else if (a == "--only") {
      if (!needValue()) return false;
      o.only = value;
      if (o.only != "both" && o.only != "plain" && o.only != "script")
        return Fail(error, "--only is both, plain or script");
    } else if (a == "--fetch-buffer") {
      if (!needValue()) return false;
      if (!ParseLong(value, 2, o.fetchBuffer) || o.fetchBuffer > (1L << 30))
        return Fail(error, "--fetch-buffer needs a size in bytes from 2 to 1073741824");
    } else if (a == "--plain-select") {
      if (!needValue()) return false;
      o.plainSelect = value;
      if (o.plainSelect != "data" && o.plainSelect != "bare") return Fail(error, "--plain-select is data or bare");
    } else if (a == "--keep") {
      o.keep = true;
    } else if (a == "--copy") {
      o.copy = true;
    } else {
      error = "unknown argument " + a;
      return false;
    }
  }
  if (o.copy && !engineGiven) o.sqlite = o.postgres = o.maria = true;
  if (o.maria && !o.copy) return Fail(error, "--engine mariadb and all go with --copy");
  return true;
}

}  // namespace mv::bench
