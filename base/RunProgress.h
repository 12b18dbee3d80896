#pragma once
#include <string>

namespace mv {

// Where a run stands, as counts; a progress display turns it into text.
struct ProgressCounts {
  std::string phase;               // the active phase's name ("Data Scripting")
  std::string table;               // the table being worked on
  int tablesDone = 0, tables = 0;  // the active phase's bar
  bool rows = false;               // the data phase has begun: the row counts below mean something
  long long tableRows = 0;         // rows written of the current table
  long long tableExpected = -1;    // the table's row count when known, else -1
  long long runRows = 0;           // rows written in the run
  double seconds = 0;              // since the data phase began
};

struct ProgressFigures {
  double rowsPerSecond = 0;
  long long secondsLeft = -1;  // for the current table; -1 when there is no estimate
};

// The rate over the data phase so far, and the current table's time left at that rate (none
// without a row count, before the first second, or once the count is passed: it was stale).
ProgressFigures ComputeProgress(const ProgressCounts& c);
// "0:42", "12:05", "1:02:05".
std::string FormatDuration(long long seconds);
// 1234567 as "1,234,567".
std::string GroupDigits(long long n);
// The terminal's line: phase, table, rows of the table (of its count) and of the run, rate,
// time left.
std::string ProgressLine(const ProgressCounts& c);
// One JSON object (no line end) for programs that wrap the batch program.
std::string ProgressJson(const ProgressCounts& c);

}  // namespace mv
