#pragma once
#include <string>
#include <vector>

namespace mv::bench {

// What one benchmark run does; filled from the command line.
struct BenchOptions {
  long rows = 1000000;
  int repeat = 3;
  bool sqlite = true;
  bool postgres = true;
  bool maria = false;
  // --copy: the whole copy (script written, then loaded into a fresh database) against the
  // engine's own dump tool and pgloader, instead of the fetch comparison.
  bool copy = false;
  // Each entry is one measured variant: options appended to the engine's connect string.
  std::vector<std::string> sqliteOptions{"", "StepAPI=1"};
  std::vector<std::string> pgOptions{"", "UseDeclareFetch=1;Fetch=10000"};
  // "window": the script streams through the batch front end's window sink (what
  // mervale-batch does); "file": the run's only-to-file mode.
  std::string sink = "window";
  // "both", or only "plain" / "script" (for profiling one side on its own).
  std::string only = "both";
  // The plain fetch's SQLGetData buffer. Ample for the generated values; the SQLite driver
  // zero-fills the whole buffer on every call, so a larger one mostly measures that.
  long fetchBuffer = 1024;
  // "data": the plain fetch runs the SELECT the data phase runs (its read expressions
  // included); "bare": the table's columns as they are, whatever the data phase reads.
  std::string plainSelect = "data";
  bool keep = false;
};

// Parses argv into options. Returns false with a message in error; help is set for --help.
bool ParseBenchArgs(int argc, char** argv, BenchOptions& options, std::string& error, bool& help);

extern const char kBenchUsage[];

}  // namespace mv::bench
