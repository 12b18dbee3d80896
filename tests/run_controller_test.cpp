// The run spine against the test driver: header, analysis, footer, titles, pause and stop.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <regex>
#include <thread>

#include "run/StartRules.h"
#include "support/RunHarness.h"

namespace mv {
namespace {

using test::RunHarness;

std::string TwelveTables() {
  std::string f = "SERVER_NAME\tdb01\nUSER_NAME\t\n";
  for (int i = 1; i <= 12; ++i) f += "TABLE\t\\N\t\\N\tT" + std::to_string(i) + "\tTABLE\n";
  return f;
}

TEST(RunController, AnalysisTextMatchesTheWorkedExampleByteForByte) {
  RunHarness h;
  h.ConnectFixture(TwelveTables(), ";DSN=Sales");
  ASSERT_EQ(h.owner->session().connection.get()->Target().title, "SALES(db01)");
  h.owner->session().opts.IgnoreTables = {"T1", "t2"};
  h.owner->session().opts.b_DoTabData = 0;
  h.owner->session().opts.b_DoIndex = 0;
  const std::string text = h.Run();
  const std::string expected =
      "REM  DATABASE:  SALES(db01)\r\n\r\n\r\n"
      "REM  12 tables were found in SALES(db01)\r\n\r\n"
      "\r\nREM  The following tables were not processed\r\n"
      "REM  \t\tT1\r\n"
      "REM  \t\tT2\r\n"
      // line 10: the structure phase begins
      "\r\nREM  Removal of table T3\r\n";
  EXPECT_EQ(text.substr(0, expected.size()), expected);
  EXPECT_EQ(h.Tables().size(), 10u);
  EXPECT_TRUE(
      std::regex_search(text, std::regex("\r\n\r\nREM  --- End of Mervale --- Elapsed Time: 00:00:0[0-9] ---\r\n$")));
  EXPECT_TRUE(h.host.HasMessage("Mervale has finished scripting the database"));
  const auto titles = h.host.Titles();
  const std::vector<std::string> expectedTitles = {"Retrieving Database Information - Mervale",
                                                   "Analyzing Database - Mervale", "Scripting Structures - Mervale",
                                                   "Finished - Mervale", "Ready - Mervale"};
  EXPECT_EQ(titles, expectedTitles);
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::Finished);
  EXPECT_EQ(h.owner->Output().Saved(), 0);

  // A list read before the run (by a dialog) is the run's, counted as it was read.
  ASSERT_EQ(h.ConnectFixture(TwelveTables(), ";DSN=Sales").LoadTables(), 12);
  EXPECT_NE(h.Run().find("REM  12 tables were found in SALES(db01)\r\n"), std::string::npos);
}

TEST(RunController, CountWordingRemarksOffAndSkippedListRules) {
  RunHarness h;
  h.ConnectFixture("SERVER_NAME\tdb01\nUSER_NAME\t\nTABLE\t\\N\t\\N\tONLY\tTABLE\n", ";DSN=Sales");
  h.owner->session().opts.b_DoTabStruct = 0;
  h.owner->session().opts.b_DoTabData = 0;
  h.owner->session().opts.b_DoIndex = 0;
  const std::string one =
      "REM  DATABASE:  SALES(db01)\r\n\r\n\r\nREM  1 table was found in SALES(db01)\r\n\r\n"
      "\r\n\r\n\r\nREM  --- End of Mervale";
  EXPECT_EQ(h.Run().substr(0, one.size()), one);
  // The count is of listed tables; excluded ones are listed only with the structure phase on.
  h.owner->session().opts.IgnoreTables = {"ONLY"};
  std::string text = h.Run();
  EXPECT_EQ(text.find("not processed"), std::string::npos);
  EXPECT_NE(text.find("REM  1 table was found in SALES(db01)"), std::string::npos) << text;
  EXPECT_TRUE(h.Tables().empty());
  h.owner->session().opts.b_DoRemarks = 0;
  h.owner->session().opts.IgnoreTables.clear();
  text = h.Run();
  // No header, count or list, but the analysis still ends with its line break.
  EXPECT_EQ(text.rfind("\r\n\r\n\r\nREM  --- End of Mervale", 0), 0u) << text;
}

TEST(RunController, NullAttributesAreAlignedInTheWorkingCopyOnly) {
  RunHarness h;
  h.ConnectFixture(TwelveTables());
  h.owner->session().opts.b_DoTabStruct = h.owner->session().opts.b_DoTabData = h.owner->session().opts.b_DoIndex = 0;
  h.Run();
  EXPECT_EQ(h.owner->session().working.s_Null, "NULL    ");
  EXPECT_EQ(h.owner->session().working.s_NotNull, "NOT NULL");
  EXPECT_EQ(h.profile().s_Null, "NULL");
}

TEST(RunController, StopDuringAPauseEndsWithTheStopNoteAndNoFooter) {
  RunHarness h;
  h.ConnectFixture(TwelveTables());
  std::thread stopper;
  h.host.onTitle = [&](const std::string& title) {
    if (title == "Analyzing Database - Mervale") {
      h.owner->PauseCommand();  // before the first check point of the run
      stopper = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        EXPECT_TRUE(h.owner->Status().running);  // still waiting in the pause
        h.owner->StopCommand(false);
      });
    }
  };
  const std::string text = h.Run();
  stopper.join();
  EXPECT_TRUE(text.size() >= 26 && text.substr(text.size() - 26) == "REM  Mervale Stopped ...\r\n") << text;
  EXPECT_EQ(text.find("End of Mervale"), std::string::npos);
  EXPECT_FALSE(h.owner->Status().paused);
  EXPECT_TRUE(h.host.HasMessage("Mervale has been stopped."));
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::Stopped);
  const auto titles = h.host.Titles();
  EXPECT_NE(std::find(titles.begin(), titles.end(), "Paused - Mervale"), titles.end());
  EXPECT_EQ(titles.back(), "Ready - Mervale");
}

TEST(RunController, StopWhileTheTableListIsReadEndsInsideTheListing) {
  RunHarness h;
  h.ConnectFixture(TwelveTables());
  h.host.onTitle = [&](const std::string& title) {
    if (title == "Analyzing Database - Mervale") h.owner->StopCommand(false);
  };
  const std::string text = h.Run();
  EXPECT_TRUE(text.size() >= 30 && text.substr(text.size() - 30) == "\r\n\r\nREM  Mervale Stopped ...\r\n");
  EXPECT_EQ(text.find("tables were found"), std::string::npos);
  // This stop path shows no message and leaves the title alone.
  EXPECT_FALSE(h.host.HasMessage("Mervale has been stopped."));
  EXPECT_EQ(h.host.Titles().back(), "Analyzing Database - Mervale");
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::Stopped);
}

TEST(RunController, ARunOnTheCallingThreadWritesTheSameScriptAndTakesAStopSignalGivenBeforeIt) {
  auto withoutTime = [](const std::string& s) { return s.substr(0, s.rfind("Elapsed Time")); };
  RunHarness threaded;
  threaded.ConnectFixture(TwelveTables());
  const std::string expected = threaded.Run();
  RunHarness h;
  h.ConnectFixture(TwelveTables());
  h.owner->SetRunOnCallingThread(true);
  EXPECT_EQ(withoutTime(h.Run()), withoutTime(expected));
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::Finished);
  // A signal between setting up and starting: the run begins stopped, as the Stop button stops it.
  h.owner->StopFromSignal();
  const std::string text = h.Run();
  EXPECT_TRUE(text.size() >= 26 && text.substr(text.size() - 26) == "REM  Mervale Stopped ...\r\n") << text;
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::Stopped);
}

TEST(RunController, ASecondStartIsRefusedAndAMissingConnectionToo) {
  RunHarness h;
  EXPECT_FALSE(h.owner->StartRun());
  EXPECT_TRUE(h.host.HasMessage("You must select a database before you can begin."));
  h.ConnectFixture(TwelveTables());
  h.host.onTitle = [&](const std::string& title) {
    if (title == "Analyzing Database - Mervale") {
      EXPECT_FALSE(h.owner->StartRun());
      EXPECT_TRUE(
          h.host.HasMessage("You cannot start another Mervale before the previuos one ends.\nPress the <stop> icon to "
                            "terminate the current Mervale"));
      // The front ends' own check refuses alike, in the words of its kind of run.
      EXPECT_FALSE(CanStart(*h.owner, RunKind::FreeForm));
      EXPECT_TRUE(
          h.host.HasMessage("You cannot start another script before the previous one ends.\nPress the <stop> icon to "
                            "terminate the current script"));
    }
  };
  h.Run();
  EXPECT_EQ(h.owner->session().lastOutcome, RunOutcome::Finished);

  // The script of the run is unsaved: the question decides, and a cancelled save refuses too.
  struct Case {
    Host::Answer answer;
    std::string savePath;  // empty: the save dialog is cancelled
    bool starts;
  };
  for (const Case& c : {Case{Host::Answer::No, "", true}, Case{Host::Answer::Cancel, "", false},
                        Case{Host::Answer::Yes, "", false}, Case{Host::Answer::Yes, h.Path("saved.sql"), true}}) {
    h.owner->Output().SetSaved(false);
    h.host.answers = {c.answer};
    h.host.savePath = c.savePath;
    EXPECT_EQ(CanStart(*h.owner, RunKind::Scripting), c.starts) << static_cast<int>(c.answer) << c.savePath;
  }
  EXPECT_NE(h.host.messages.back().find("The script has not been saved."), std::string::npos);
}

TEST(RunController, OnlyToFileWritesTheScriptToTheFileAndANoticeToTheScreen) {
  RunHarness h;
  h.ConnectFixture(TwelveTables());
  h.owner->session().opts.b_OnlyToFile = 1;
  h.owner->session().opts.b_AutoSave = 1;
  h.owner->session().opts.s_AutoSaveFile = h.Path("script.sql");
  const std::string screen = h.Run();
  EXPECT_EQ(screen, "Output of this script is being written to file: " + h.Path("script.sql") + "\r\n\r\n");
  std::ifstream in(h.Path("script.sql"), std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), {});
  // No DSN and no user name: the title is the value of the first attribute.
  EXPECT_EQ(file.rfind("REM  DATABASE:  " MV_TESTDRIVER_PATH "\r\n", 0), 0u) << file.substr(0, 80);
  EXPECT_NE(file.find("--- End of Mervale ---"), std::string::npos);
  EXPECT_EQ(h.owner->session().opts.b_AutoSave, 0);
  EXPECT_EQ(h.owner->Output().Saved(), 1);
}

TEST(RunController, AutoSaveFileAndWindowTogetherEqualTheWholeScript) {
  RunHarness h;
  std::string fixture = TwelveTables();
  for (int i = 1; i <= 12; ++i) {
    const std::string t = "T" + std::to_string(i);
    fixture += "COLUMN\t\\N\t\\N\t" + t + "\tid\t4\tint\t10\t4\t0\t10\t0\n";
    fixture += "COLUMN\t\\N\t\\N\t" + t + "\tv\t12\tvarchar\t10\t10\t\\N\t\\N\t1\n";
    fixture += "STATISTIC\t\\N\t\\N\t" + t + "\t0\t\\N\tPK_" + t + "\t3\t1\tid\tA\t\\N\t\\N\n";
    fixture += "QUERY\tselect id , v from " + t + "\n COL\tid\t4\n COL\tv\t12\n";
    for (int r = 0; r < 7; ++r) fixture += " ROW\t" + std::to_string(r) + "\tvalue " + std::to_string(r) + "\n";
    fixture += "END\n";
  }
  h.ConnectFixture(fixture);
  const std::string whole = h.Run();
  ASSERT_NE(whole.find("VALUES ( 6, 'value 6' );"), std::string::npos);
  h.owner->session().opts.b_AutoSave = 1;
  h.owner->session().opts.i_AutoSaveLines = 7;
  h.owner->session().opts.s_AutoSaveFile = h.Path("auto.sql");
  const std::string window = h.Run();
  std::ifstream in(h.Path("auto.sql"), std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), {});
  auto withoutTime = [](const std::string& s) { return s.substr(0, s.rfind("Elapsed Time")); };
  EXPECT_LT(window.size(), 2000u);  // the window only ever holds the tail
  // The final flush writes the tail too, so the file alone is the whole script.
  EXPECT_EQ(withoutTime(file), withoutTime(whole));
  EXPECT_EQ(file.substr(file.size() - window.size()), window);

  // The output file, where colours do not matter and rows are written whole, gets the same bytes.
  h.owner->session().opts.b_AutoSave = 0;
  h.owner->session().opts.b_OnlyToFile = 1;
  h.owner->session().opts.s_AutoSaveFile = h.Path("only.sql");
  h.Run();
  std::ifstream only(h.Path("only.sql"), std::ios::binary);
  const std::string onlyText((std::istreambuf_iterator<char>(only)), {});
  EXPECT_EQ(withoutTime(onlyText), withoutTime(whole));
}

TEST(RunController, FreeFormRunsOneStepBelowNormalWhenAsked) {
  RunHarness h;
  h.ConnectFixture("QUERY\tselect 1\n COL\tx\t4\n ROW\t1\nEND\n");
  h.owner->session().opts.s_GlobalPassSql = "select 1";
  errno = 0;
  const int base = getpriority(PRIO_PROCESS, 0);
  ASSERT_EQ(errno, 0);
  int seen = -100;
  h.host.onTitle = [&](const std::string& title) {
    if (title == "Scripting Data - Mervale") seen = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
  };
  ASSERT_TRUE(h.owner->StartFreeFormRun(true));
  h.owner->Wait();
  EXPECT_EQ(seen, base + 1);
  ASSERT_TRUE(h.owner->StartFreeFormRun(false));
  h.owner->Wait();
  EXPECT_EQ(seen, base);
  EXPECT_NE(h.host.window.WholeText().find("VALUES ( 1 );"), std::string::npos);
}

// A configuration named at start that writes only to a file ends the desktop program with the
// batch program's statuses: a run with tables it could not read, or a stopped one, is no success.
TEST(RunController, AnUnattendedRunEndsWithTheBatchStatuses) {
  struct Case {
    bool failingQuery, stop;
    int exit;
  };
  for (const Case& c : {Case{false, false, 0}, Case{true, false, 6}, Case{false, true, 5}}) {
    RunHarness h;
    std::string fixture = "TABLE\t\\N\t\\N\tT1\tTABLE\nCOLUMN\t\\N\t\\N\tT1\tid\t4\tint\t10\t4\t0\t10\t0\n";
    fixture += "QUERY\tselect id from T1\n";
    fixture += c.failingQuery ? " ERROR\tthe table is gone\n" : " COL\tid\t4\n ROW\t1\n";
    fixture += " END\n";
    h.ConnectFixture(fixture);
    Session& s = h.owner->session();
    s.opts.b_OnlyToFile = s.opts.b_AutoSave = 1;
    s.opts.s_AutoSaveFile = h.Path("script.sql");
    s.autoStartPath = h.Path("auto.mvl");
    h.host.onTitle = [&](const std::string& title) {
      if (c.stop && title == "Scripting Structures - Mervale") h.owner->StopCommand(false);
    };
    const std::string screen = h.Run();
    EXPECT_EQ(s.autoStartExit, c.exit) << c.failingQuery << c.stop << screen;
  }
}

}  // namespace
}  // namespace mv
