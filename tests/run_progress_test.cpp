// The progress display's arithmetic and text on known counts; no clock involved.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ConsoleHost.h"
#include "base/RunProgress.h"

namespace mv {
namespace {

TEST(RunProgress, RateTimeLeftAndTheirText) {
  ProgressCounts data;
  data.phase = "Data Scripting";
  data.table = "orders";
  data.tablesDone = 3;
  data.tables = 11;
  data.rows = true;
  struct Case {
    const char* what;
    long long tableRows, tableExpected, runRows;
    double seconds;
    std::string line, json;
  };
  const std::vector<Case> cases = {
      {"a count from the catalog: 150,000 rows left at 10,000 rows/s", 50000, 200000, 120000, 12.0,
       "Data Scripting 3/11  orders  50,000/200,000 rows (120,000 in all)  10,000 rows/s  0:15 left",
       "{\"phase\":\"Data Scripting\",\"table\":\"orders\",\"tables_done\":3,\"tables\":11,\"table_rows\":50000,"
       "\"table_rows_expected\":200000,\"run_rows\":120000,\"seconds\":12.0,\"rows_per_second\":10000.0,"
       "\"seconds_left\":15}"},
      {"a part second left rounds up; hours", 1, 36002, 3, 2.0,
       "Data Scripting 3/11  orders  1/36,002 rows (3 in all)  2 rows/s  6:40:01 left",
       "{\"phase\":\"Data Scripting\",\"table\":\"orders\",\"tables_done\":3,\"tables\":11,\"table_rows\":1,"
       "\"table_rows_expected\":36002,\"run_rows\":3,\"seconds\":2.0,\"rows_per_second\":1.5,"
       "\"seconds_left\":24001}"},
      {"no count: rows and rate only", 7, -1, 1500, 3.0,
       "Data Scripting 3/11  orders  7 rows (1,500 in all)  500 rows/s",
       "{\"phase\":\"Data Scripting\",\"table\":\"orders\",\"tables_done\":3,\"tables\":11,\"table_rows\":7,"
       "\"table_rows_expected\":null,\"run_rows\":1500,\"seconds\":3.0,\"rows_per_second\":500.0,"
       "\"seconds_left\":null}"},
      {"a stale count, passed: no time left rather than a wrong one", 120, 100, 120, 2.0,
       "Data Scripting 3/11  orders  120/100 rows (120 in all)  60 rows/s", ""},
      {"the first second: no rate yet", 10, 100, 10, 0.5, "Data Scripting 3/11  orders  10/100 rows (10 in all)", ""},
      {"done", 100, 100, 100, 4.0, "Data Scripting 3/11  orders  100/100 rows (100 in all)  25 rows/s  0:00 left", ""},
  };
  for (const Case& c : cases) {
    ProgressCounts p = data;
    p.tableRows = c.tableRows;
    p.tableExpected = c.tableExpected;
    p.runRows = c.runRows;
    p.seconds = c.seconds;
    EXPECT_EQ(ProgressLine(p), c.line) << c.what;
    if (!c.json.empty()) {
      EXPECT_EQ(ProgressJson(p), c.json) << c.what;
    }
  }

  // Before the data phase there are no rows to speak of; names are data, in JSON too.
  ProgressCounts other;
  other.phase = "Structural Scripting";
  other.table = std::string("a \"b\"\\\n\xc3\xbc\xff") + std::string(40, 'x');
  other.tablesDone = 1;
  other.tables = 2;
  EXPECT_EQ(ProgressLine(other), "Structural Scripting 1/2  " + other.table.substr(0, 37) + "...");
  const std::string start = "{\"phase\":\"Structural Scripting\",\"table\":\"a \\\"b\\\"\\\\\\u000A\xc3\xbc\\u00FFxxx";
  EXPECT_EQ(ProgressJson(other).substr(0, start.size()), start);

  EXPECT_EQ(FormatDuration(0), "0:00");
  EXPECT_EQ(FormatDuration(725), "12:05");
  EXPECT_EQ(FormatDuration(3600), "1:00:00");
  EXPECT_EQ(GroupDigits(999), "999");
  EXPECT_EQ(GroupDigits(1000), "1,000");
  EXPECT_EQ(GroupDigits(-1234567), "-1,234,567");
}

// A table phase steps its bar as a table begins; the JSON object counts a table once it is done.
TEST(RunProgress, ATableCountsAsDoneWhenItIsDone) {
  struct Case {
    int begun;       // tables begun in a phase of three
    bool phaseEnds;  // the phase has ended
    int done;
  };
  for (const Case& c : {Case{1, false, 0}, Case{2, false, 1}, Case{3, true, 3}}) {
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    {
      ConsoleHost host(nullptr, err, ConsoleHost::Progress::Json);
      host.BarRange(Host::kDataBar, 3);
      for (int i = 0; i < c.begun; ++i) host.BarStep(Host::kDataBar);
      if (c.phaseEnds) host.BarSetPos(Host::kDataBar, 3);
      host.EndProgress();
    }
    std::rewind(err);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), err));
    std::fclose(err);
    EXPECT_NE(text.find("\"tables_done\":" + std::to_string(c.done) + ",\"tables\":3"), std::string::npos)
        << c.begun << " " << text;
  }
}

}  // namespace
}  // namespace mv
