// mervale-bench: how much slower scripting a table's data is than only fetching it.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchData.h"
#include "BenchOptions.h"
#include "CopyBench.h"
#include "MemoryProbe.h"
#include "OdbcSession.h"
#include "ScriptRunner.h"
#include "TimingSeries.h"
#include "devservers/PgServer.h"

namespace fs = std::filesystem;
using mv::bench::BenchOptions;
using mv::bench::GeneratePostgres;
using mv::bench::GenerateSqlite;
using mv::bench::MemoryProbe;
using mv::bench::OdbcSession;
using mv::bench::ScriptRunner;
using mv::bench::TimingSeries;

namespace {

// The table's columns as they are. By default the plain fetch runs the data phase's own SELECT
// instead, which reads some columns through an expression (exact doubles, dates as text).
const char kBareSelect[] = "select id, amount, quantity, name, born, note from bench_rows";

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

std::string Mib(long kb) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%+.1f MiB", static_cast<double>(kb) / 1024.0);
  return buf;
}

struct VariantResult {
  std::string engine;
  std::string options;
  TimingSeries plain;
  TimingSeries script;
  long long scriptBytes = 0;
  long scriptInserts = 0;
};

void PrintSeries(const char* label, const TimingSeries& t) {
  if (t.Empty()) return;
  std::printf("  %-12s best %8.3f s   median %8.3f s   cpu(best) %7.3f s   peak RSS %s\n", label, t.Best(), t.Median(),
              t.BestCpu(), Mib(t.MaxGrowthKb()).c_str());
}

void PrintRatio(const VariantResult& v) {
  if (v.plain.Empty() || v.script.Empty()) return;
  // Client CPU is the steadier figure on a busy machine; the server's work is not in it.
  std::printf("  ratio Mervale/plain: best %.2f   median %.2f   client cpu(best) %.2f\n",
              v.script.Best() / v.plain.Best(), v.script.Median() / v.plain.Median(),
              v.script.BestCpu() / v.plain.BestCpu());
}

// Times one connect-string variant: a warm-up fetch, then plain fetch and script run in turns,
// so slow drift of the machine falls on both sides alike.
VariantResult MeasureVariant(const BenchOptions& o, const std::string& engine, const std::string& baseConnect,
                             const std::string& extra, const std::string& owner, ScriptRunner& runner,
                             const std::string& scriptPath) {
  VariantResult v;
  v.engine = engine;
  v.options = extra.empty() ? "(none)" : extra;
  std::string connect = baseConnect;
  if (!extra.empty()) {
    if (!connect.empty() && connect.back() != ';') connect += ';';
    connect += extra;
  }
  std::printf("\n%s, connect-string options %s\n", engine.c_str(), v.options.c_str());
  std::fflush(stdout);
  const bool plain = o.only != "script";
  const bool script = o.only != "plain";
  const long expectValues = o.rows * 6;
  std::string select = kBareSelect;
  if (plain) {
    if (o.plainSelect == "data") {
      // An untimed run, so that both sides read the same expressions.
      select = runner.Run(connect, owner, scriptPath).dataSelect;
      if (select.empty()) throw std::runtime_error("the Mervale run left no SELECT for the plain fetch");
    }
    std::printf("  plain fetch runs: %s\n", select.c_str());
    OdbcSession warm(static_cast<size_t>(o.fetchBuffer));
    warm.Connect(connect);
    warm.PlainFetch(select);
  }
  for (int r = 0; r < o.repeat; ++r) {
    if (plain) {
      OdbcSession s(static_cast<size_t>(o.fetchBuffer));
      s.Connect(connect);
      MemoryProbe probe;
      probe.Start();
      const double c0 = mv::bench::CpuSeconds(), t0 = Now();
      OdbcSession::FetchTotals t = s.PlainFetch(select);
      const double seconds = Now() - t0, cpu = mv::bench::CpuSeconds() - c0;
      v.plain.Add(seconds, cpu, probe.GrowthKb());
      if (t.rows != o.rows || t.values != expectValues)
        throw std::runtime_error("the plain fetch read " + std::to_string(t.rows) + " rows, not " +
                                 std::to_string(o.rows));
    }
    if (script) {
      ScriptRunner::Result res = runner.Run(connect, owner, scriptPath);
      if (res.inserts != o.rows || !res.apostrophesDoubled)
        throw std::runtime_error("the script holds " + std::to_string(res.inserts) + " INSERT statements, not " +
                                 std::to_string(o.rows) + (res.apostrophesDoubled ? "" : ", or no doubled apostrophe"));
      v.script.Add(res.seconds, res.cpuSeconds, res.rssGrowthKb);
      v.scriptBytes = res.bytes;
      v.scriptInserts = res.inserts;
    }
  }
  PrintSeries("plain fetch", v.plain);
  PrintSeries("Mervale", v.script);
  if (!v.script.Empty())
    std::printf("  script       %.1f MiB, %ld INSERT statements\n", static_cast<double>(v.scriptBytes) / 1048576.0,
                v.scriptInserts);
  PrintRatio(v);
  std::fflush(stdout);
  return v;
}

int Main(int argc, char** argv) {
  BenchOptions o;
  std::string error;
  bool help = false;
  if (!mv::bench::ParseBenchArgs(argc, argv, o, error, help)) {
    std::fprintf(stderr, "mervale-bench: %s\n\n%s", error.c_str(), mv::bench::kBenchUsage);
    return 1;
  }
  if (help) {
    std::fputs(mv::bench::kBenchUsage, stdout);
    return 0;
  }

  const fs::path base = fs::temp_directory_path();
  std::string templ = (base / "mervale-bench-XXXXXX").string();
  if (!mkdtemp(templ.data())) {
    std::perror("mervale-bench: mkdtemp");
    return 1;
  }
  const fs::path work = templ;
  const std::string scriptPath = (work / "script.sql").string();
  ScriptRunner runner((work / "mervale").string(), o.sink);
  std::vector<VariantResult> results;
  if (o.copy) {
    const int status = mv::bench::RunCopyBench(o, work);
    if (o.keep) {
      std::printf("\nwork folder kept: %s\n", work.c_str());
    } else {
      std::error_code ec;
      fs::remove_all(work, ec);
    }
    return status;
  }

  std::printf(
      "mervale-bench: %ld rows, %d repetitions, script sink %s, plain fetch buffer %ld bytes, build %s, "
      "%ld CPUs\n",
      o.rows, o.repeat, o.sink.c_str(), o.fetchBuffer, MV_BENCH_BUILD_TYPE, sysconf(_SC_NPROCESSORS_ONLN));
  std::printf(
      "memory: peak resident growth of this process during each timed stretch "
      "(heap trimmed and high-water mark reset before it)\n");
  MemoryProbe check;
  check.Start();
  if (!check.ResetWorked())
    std::printf("note: the kernel refused to reset the high-water mark; growth is approximate\n");
  std::fflush(stdout);

  int status = 0;
  try {
    if (o.sqlite) {
      const std::string db = (work / "bench.db").string();
      const std::string connect = "DRIVER=SQLite3;Database=" + db;
      const double t0 = Now();
      GenerateSqlite(connect, o.rows);
      std::printf("\nSQLite: generated %ld rows in %.1f s (%s)\n", o.rows, Now() - t0, db.c_str());
      for (const std::string& extra : o.sqliteOptions)
        results.push_back(MeasureVariant(o, "SQLite", connect, extra, "", runner, scriptPath));
    }
    if (o.postgres) {
      const double t0 = Now();
      mv::dev::PgServer& server = mv::dev::PgServer::Instance();
      const double started = Now();
      GeneratePostgres(server, "mervale_bench", o.rows);
      std::printf("\nPostgreSQL: server started in %.1f s on port %d, generated %ld rows in %.1f s\n", started - t0,
                  server.Port(), o.rows, Now() - started);
      const std::string connect = server.ConnectString("mervale_bench");
      for (const std::string& extra : o.pgOptions)
        results.push_back(MeasureVariant(o, "PostgreSQL", connect, extra, "public", runner, scriptPath));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mervale-bench: %s\n", e.what());
    status = 2;
  }

  if (!results.empty()) {
    std::printf("\nSummary (%ld rows; times are best of %d, ratio = Mervale / plain fetch)\n", o.rows, o.repeat);
    std::printf("%-11s %-34s %9s %9s %7s %9s %12s %12s\n", "engine", "options", "plain s", "Mervale s", "ratio",
                "cpu ratio", "plain RSS", "Mervale RSS");
    for (const VariantResult& v : results) {
      const bool both = !v.plain.Empty() && !v.script.Empty();
      char ratio[16] = "-", cpuRatio[16] = "-";
      if (both) {
        std::snprintf(ratio, sizeof ratio, "%.2f", v.script.Best() / v.plain.Best());
        std::snprintf(cpuRatio, sizeof cpuRatio, "%.2f", v.script.BestCpu() / v.plain.BestCpu());
      }
      std::printf("%-11s %-34s %9.3f %9.3f %7s %9s %12s %12s\n", v.engine.c_str(), v.options.c_str(), v.plain.Best(),
                  v.script.Best(), ratio, cpuRatio, v.plain.Empty() ? "-" : Mib(v.plain.MaxGrowthKb()).c_str(),
                  v.script.Empty() ? "-" : Mib(v.script.MaxGrowthKb()).c_str());
    }
  }

  mv::dev::PgServer::Shutdown();
  if (o.keep) {
    std::printf("\nwork folder kept: %s\n", work.c_str());
  } else {
    std::error_code ec;
    fs::remove_all(work, ec);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) { return Main(argc, argv); }
