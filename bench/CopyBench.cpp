#include "CopyBench.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchData.h"
#include "TimingSeries.h"
#include "devservers/MariaDbServer.h"
#include "devservers/PgServer.h"

namespace fs = std::filesystem;

namespace mv::bench {

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

struct Timed {
  double seconds = 0;
  long peakKb = 0;  // the largest resident size of the program and what it waited for
};

// Runs argv to its end with stdin from `in` and stdout into `out` (/dev/null when empty),
// standard error into `errLog`; throws when it fails, with the end of that log.
Timed Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& in,
            const std::string& out, const std::string& errLog) {
  const double t0 = Now();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    const int i = open(in.empty() ? "/dev/null" : in.c_str(), O_RDONLY);
    const int o = open(out.empty() ? "/dev/null" : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = open(errLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (i < 0 || o < 0 || e < 0) _exit(126);
    dup2(i, 0);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid) throw std::runtime_error("wait4 failed for " + argv[0]);
  Timed t{Now() - t0, ru.ru_maxrss};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string tail;
    if (FILE* f = std::fopen(errLog.c_str(), "rb")) {
      char buf[2000];
      tail.assign(buf, std::fread(buf, 1, sizeof buf, f));
      std::fclose(f);
    }
    throw std::runtime_error(argv[0] + " failed (status " + std::to_string(status) + "): " + tail);
  }
  return t;
}

// One way of copying: writing the script (empty for a direct copy), then loading it into a
// fresh target, then the row count the target holds.
struct Way {
  Way(std::string n, std::function<void()> f, std::function<Timed()> w, std::function<Timed()> l,
      std::function<long()> r)
      : name(std::move(n)), fresh(std::move(f)), write(std::move(w)), load(std::move(l)), rowsLoaded(std::move(r)) {}
  std::string name;
  std::function<void()> fresh;
  std::function<Timed()> write;  // null: the load copies directly
  std::function<Timed()> load;
  std::function<long()> rowsLoaded;
  TimingSeries writes, loads, totals;
  long peakKb = 0;
};

// A group of ways compared with each other: the first is the reference of the ratios.
struct Comparison {
  std::string title;
  std::vector<Way> ways;
};

long Count(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

void Measure(Comparison& c, int repeat, long rows) {
  std::printf("\n%s\n", c.title.c_str());
  std::fflush(stdout);
  for (int r = 0; r < repeat; ++r) {
    for (Way& w : c.ways) {
      w.fresh();
      const Timed write = w.write ? w.write() : Timed{};
      const Timed load = w.load();
      const long loaded = w.rowsLoaded();
      if (loaded != rows)
        throw std::runtime_error(w.name + " loaded " + std::to_string(loaded) + " rows, not " + std::to_string(rows));
      w.writes.Add(write.seconds, 0, write.peakKb);
      w.loads.Add(load.seconds, 0, load.peakKb);
      w.totals.Add(write.seconds + load.seconds, 0, 0);
      w.peakKb = std::max(w.peakKb, w.write ? write.peakKb : load.peakKb);
      std::printf("  run %d  %-40s write %7.2f s  load %7.2f s\n", r + 1, w.name.c_str(), write.seconds, load.seconds);
      std::fflush(stdout);
    }
  }
}

void Print(const std::vector<Comparison>& all, long rows, int repeat) {
  std::printf(
      "\nWhole copy of %ld rows (medians of %d interleaved runs; peak: the writer's resident memory, or the "
      "direct copier's)\n",
      rows, repeat);
  std::printf("%-58s %8s %8s %8s %10s %8s\n", "copy", "write s", "load s", "total s", "peak MiB", "ratio");
  for (const Comparison& c : all) {
    const double reference = c.ways.front().totals.Median();
    for (const Way& w : c.ways) {
      std::printf("%-58s %8.2f %8.2f %8.2f %10.1f %8.2f\n", (c.title + ": " + w.name).c_str(), w.writes.Median(),
                  w.loads.Median(), w.totals.Median(), static_cast<double>(w.peakKb) / 1024.0,
                  w.totals.Median() / reference);
    }
  }
}

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

int RunCopyBench(const BenchOptions& o, const fs::path& work) {
  const std::string self = fs::canonical("/proc/self/exe").parent_path().string();
  const std::string batch = self + "/mervale-batch";
  const std::vector<std::string> batchEnv = {"MERVALE_HOME=" + self, "XDG_CONFIG_HOME=" + (work / "xdg").string()};
  const std::string err = (work / "stderr.log").string();
  const std::string toolScript = (work / "tool.sql").string();
  const std::string ourScript = (work / "mervale.sql").string();
  const std::string sqliteSource = (work / "source.db").string();
  const std::string sqliteTarget = (work / "target.db").string();
  const bool pgloader = OnPath("pgloader");
  std::vector<Comparison> all;

  std::printf("mervale-bench --copy: %ld rows, %d repetitions, build %s, %ld CPUs; pgloader %s\n", o.rows, o.repeat,
              MV_BENCH_BUILD_TYPE, sysconf(_SC_NPROCESSORS_ONLN), pgloader ? "found" : "not installed");
  int status = 0;
  try {
    mv::dev::PgServer* pg = nullptr;
    std::vector<std::string> pgEnv;
    std::vector<std::string> pgArgs;
    if (o.postgres || (pgloader && (o.sqlite || o.maria))) {
      pg = &mv::dev::PgServer::Instance();
      pgEnv = {"PGPASSWORD=" + pg->Password(), "PGOPTIONS=-c client_min_messages=warning"};
      pgArgs = {"-h", "127.0.0.1", "-p", std::to_string(pg->Port()), "-U", pg->User()};
    }
    auto psqlLoad = [&](const std::string& script) {
      std::vector<std::string> argv = {"psql", "-X", "-q", "-v", "ON_ERROR_STOP=1"};
      argv.insert(argv.end(), pgArgs.begin(), pgArgs.end());
      argv.insert(argv.end(), {"-d", "copy_target", "-f", script});
      return Spawn(argv, pgEnv, "", "", err);
    };
    auto pgFresh = [&] { pg->CreateDatabase("copy_target"); };
    auto pgRows = [&](const std::string& schema) {
      return Count(pg->RunSql("copy_target", "SET search_path = " + schema + ";\nSELECT count(*) FROM bench_rows;"));
    };
    const std::string pgUrl = pg ? "pgsql://" + pg->User() + ":" + pg->Password() +
                                       "@127.0.0.1:" + std::to_string(pg->Port()) + "/copy_target"
                                 : "";

    mv::dev::MariaDbServer* maria = nullptr;
    std::vector<std::string> mariaArgs;
    if (o.maria) {
      maria = &mv::dev::MariaDbServer::Instance();
      mariaArgs = {"--no-defaults",
                   "--protocol=TCP",
                   "-h",
                   "127.0.0.1",
                   "-P",
                   std::to_string(maria->Port()),
                   "-u",
                   "root",
                   "--password=",
                   "--default-character-set=utf8mb4"};
    }

    if (o.sqlite) {
      std::error_code ec;
      fs::remove(sqliteSource, ec);
      const double t0 = Now();
      GenerateSqlite("DRIVER=SQLite3;Database=" + sqliteSource, o.rows);
      std::printf("\nSQLite: generated %ld rows in %.1f s\n", o.rows, Now() - t0);
      auto fresh = [&] {
        std::error_code e;
        fs::remove(sqliteTarget, e);
      };
      auto load = [&](const std::string& script) {
        return Spawn({"sqlite3", "-bail", sqliteTarget}, {}, script, "", err);
      };
      auto count = [&] {
        Spawn({"sqlite3", sqliteTarget, "SELECT count(*) FROM bench_rows;"}, {}, "", (work / "count.txt").string(),
              err);
        FILE* f = std::fopen((work / "count.txt").c_str(), "rb");
        char buf[64] = {};
        if (f) {
          if (std::fread(buf, 1, sizeof buf - 1, f) == 0) buf[0] = 0;
          std::fclose(f);
        }
        return Count(buf);
      };
      Comparison c{"SQLite -> SQLite", {}};
      c.ways.emplace_back(
          "sqlite3 .dump | sqlite3 -bail", fresh,
          [&] {
            return Spawn({"sqlite3", sqliteSource, ".dump"}, {}, "", toolScript, err);
          },
          [&, load] { return load(toolScript); }, count);
      c.ways.emplace_back(
          "mervale-batch (SQLite) | sqlite3 -bail", fresh,
          [&] {
            return Spawn({batch, "--connect", "DRIVER=SQLite3;Database=" + sqliteSource, "--profile", "SQLite",
                          "--progress", "none", "--output", ourScript},
                         batchEnv, "", "", err);
          },
          [&, load] { return load(ourScript); }, count);
      Measure(c, o.repeat, o.rows);
      all.push_back(std::move(c));
      if (pgloader) {
        Comparison p{"SQLite -> PostgreSQL", {}};
        p.ways.emplace_back(
            "pgloader", pgFresh, nullptr,
            [&] {
              return Spawn({"pgloader", "--quiet", "sqlite://" + sqliteSource, pgUrl}, {}, "", "", err);
            },
            [&] { return pgRows("public"); });
        p.ways.emplace_back(
            "mervale-batch (PostgreSQL) | psql", pgFresh,
            [&] {
              return Spawn({batch, "--connect", "DRIVER=SQLite3;Database=" + sqliteSource, "--profile", "PostgreSQL",
                            "--progress", "none", "--output", ourScript},
                           batchEnv, "", "", err);
            },
            [&] { return psqlLoad(ourScript); }, [&] { return pgRows("public"); });
        Measure(p, o.repeat, o.rows);
        all.push_back(std::move(p));
      }
    }
    if (o.postgres) {
      const double t0 = Now();
      GeneratePostgres(*pg, "copy_source", o.rows);
      std::printf("\nPostgreSQL: generated %ld rows in %.1f s\n", o.rows, Now() - t0);
      Comparison c{"PostgreSQL -> PostgreSQL", {}};
      c.ways.emplace_back(
          "pg_dump | psql -v ON_ERROR_STOP=1", pgFresh,
          [&] {
            std::vector<std::string> argv = {"pg_dump"};
            argv.insert(argv.end(), pgArgs.begin(), pgArgs.end());
            argv.insert(argv.end(), {"-d", "copy_source", "-f", toolScript});
            return Spawn(argv, pgEnv, "", "", err);
          },
          [&] { return psqlLoad(toolScript); }, [&] { return pgRows("public"); });
      c.ways.emplace_back(
          "mervale-batch (PostgreSQL) | psql -v ON_ERROR_STOP=1", pgFresh,
          [&] {
            return Spawn({batch, "--connect", pg->ConnectString("copy_source"), "--owner", "public", "--profile",
                          "PostgreSQL", "--progress", "none", "--output", ourScript},
                         batchEnv, "", "", err);
          },
          [&] { return psqlLoad(ourScript); }, [&] { return pgRows("public"); });
      Measure(c, o.repeat, o.rows);
      all.push_back(std::move(c));
    }
    if (o.maria) {
      const double t0 = Now();
      GenerateMaria(*maria, "copy_source", o.rows);
      std::printf("\nMariaDB: generated %ld rows in %.1f s\n", o.rows, Now() - t0);
      auto fresh = [&] { maria->CreateDatabase("copy_target"); };
      auto load = [&](const std::string& script) {
        std::vector<std::string> argv = {"mariadb"};
        argv.insert(argv.end(), mariaArgs.begin(), mariaArgs.end());
        argv.push_back("copy_target");
        return Spawn(argv, {}, script, "", err);
      };
      auto count = [&] { return Count(maria->RunSql("copy_target", "SELECT count(*) FROM bench_rows;")); };
      Comparison c{"MariaDB -> MariaDB", {}};
      c.ways.emplace_back(
          "mariadb-dump | mariadb", fresh,
          [&] {
            std::vector<std::string> argv = {"mariadb-dump"};
            argv.insert(argv.end(), mariaArgs.begin(), mariaArgs.end());
            argv.push_back("copy_source");
            return Spawn(argv, {}, "", toolScript, err);
          },
          [&, load] { return load(toolScript); }, count);
      c.ways.emplace_back(
          "mervale-batch (MariaDB) | mariadb", fresh,
          [&] {
            return Spawn({batch, "--connect", maria->ConnectString("copy_source"), "--owner", "copy_source",
                          "--catalog", "--profile", "MariaDB", "--progress", "none", "--output", ourScript},
                         batchEnv, "", "", err);
          },
          [&, load] { return load(ourScript); }, count);
      Measure(c, o.repeat, o.rows);
      all.push_back(std::move(c));
      if (pgloader) {
        Comparison p{"MariaDB -> PostgreSQL", {}};
        p.ways.emplace_back(
            "pgloader", pgFresh, nullptr,
            [&] {
              return Spawn({"pgloader", "--quiet",
                            "mysql://root@127.0.0.1:" + std::to_string(maria->Port()) + "/copy_source", pgUrl},
                           {}, "", "", err);
            },
            // pgloader puts a MySQL database's tables into a schema of its name.
            [&] { return pgRows("copy_source, public"); });
        p.ways.emplace_back(
            "mervale-batch (PostgreSQL) | psql", pgFresh,
            [&] {
              return Spawn({batch, "--connect", maria->ConnectString("copy_source"), "--owner", "copy_source",
                            "--catalog", "--profile", "PostgreSQL", "--progress", "none", "--output", ourScript},
                           batchEnv, "", "", err);
            },
            [&] { return psqlLoad(ourScript); }, [&] { return pgRows("public"); });
        Measure(p, o.repeat, o.rows);
        all.push_back(std::move(p));
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mervale-bench: %s\n", e.what());
    status = 2;
  }
  if (!all.empty()) Print(all, o.rows, o.repeat);
  mv::dev::PgServer::Shutdown();
  mv::dev::MariaDbServer::Shutdown();
  return status;
}

}  // namespace mv::bench
