// Script output: auto-save, only-to-file output, saving, and what happens when files fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/SettingsStore.h"
#include "base/TextRules.h"
#include "profiles/Profile.h"
#include "run/ScriptOutput.h"
#include "settings/RunOptions.h"
#include "support/ScriptedHost.h"

namespace mv {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ScriptOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    SetBuiltInDefaults(working);
    opts.s_AutoSaveFile = (dir / "auto.sql").string();
  }
  void TearDown() override { fs::remove_all(dir); }

  // Set before the settings store below, which keeps its file in it.
  fs::path dir = fs::temp_directory_path() / ("mv-out-" + std::to_string(getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
  test::ScriptedHost host;
  RunOptions opts;
  Profile working;
  SettingsStore settings{(dir / "settings.ini").string()};
  // A run's output as the options give it.
  void Begin(ScriptOutput& out) {
    out.BeginRun({opts.b_OnlyToFile != 0, opts.b_AutoSave != 0, opts.i_AutoSaveLines, opts.s_AutoSaveFile},
                 working.s_Remarks);
  }
};

TEST_F(ScriptOutputTest, AutoSaveFlushesOnTheFirstCountedAppendPastTheLimit) {
  opts.b_AutoSave = 1;
  opts.i_AutoSaveLines = 3;
  ScriptOutput out(host, settings);
  Begin(out);
  out.Append("a\r\nb\r\n", ScriptOutput::colorSql, true);  // 3 lines: not more than 3
  EXPECT_FALSE(fs::exists(opts.s_AutoSaveFile));
  out.Append("c\r\n", ScriptOutput::colorSql, false);  // 4 lines, but not counted
  EXPECT_FALSE(fs::exists(opts.s_AutoSaveFile));
  out.Append("d", ScriptOutput::colorSql, true);  // counted, 4 lines: flush
  EXPECT_EQ(Slurp(opts.s_AutoSaveFile), "a\r\nb\r\nc\r\nd");
  EXPECT_TRUE(host.window.IsEmpty());
  EXPECT_TRUE(out.Saved());
}

TEST_F(ScriptOutputTest, FileAndWindowTogetherHoldTheWholeScriptWithLongLinesWhole) {
  opts.b_AutoSave = 1;
  opts.i_AutoSaveLines = 5;
  ScriptOutput out(host, settings);
  Begin(out);
  std::string expected;
  const std::string longValue(300000, 'x');  // far beyond any line buffer
  for (int i = 0; i < 40; ++i) {
    std::string piece =
        "INSERT INTO T VALUES ( " + std::to_string(i) + ", '" + (i % 7 == 3 ? longValue : "v") + "' );\r\n";
    if (i % 3 == 0) piece += "\r\n";
    out.Append(piece.substr(0, 10), ScriptOutput::colorRemark, false);
    out.Append(piece.substr(10), ScriptOutput::colorName, true);
    expected += piece;
  }
  out.Append("tail without line end", ScriptOutput::colorMessage, false);
  expected += "tail without line end";
  EXPECT_EQ(Slurp(opts.s_AutoSaveFile) + host.window.WholeText(), expected);
  // A later run starts the file anew.
  Begin(out);
  out.Append("new\r\n1\r\n2\r\n3\r\n4\r\n5\r\n", ScriptOutput::colorSql, true);
  EXPECT_EQ(Slurp(opts.s_AutoSaveFile), "new\r\n1\r\n2\r\n3\r\n4\r\n5\r\n");
}

TEST_F(ScriptOutputTest, AutoSaveToAFullDiskKeepsTheWindowAndReportsIt) {
  opts.b_AutoSave = 1;
  opts.i_AutoSaveLines = 1;
  opts.s_AutoSaveFile = "/dev/full";
  ScriptOutput out(host, settings);
  Begin(out);
  out.Append("line 1\r\nline 2\r\n", ScriptOutput::colorSql, true);
  EXPECT_TRUE(host.HasMessage(
      "The file could not be saved, the disk is full.\nPlease make some space and press OK to continue."));
  const std::string text = host.window.WholeText();
  EXPECT_EQ(text.rfind("line 1\r\nline 2\r\n", 0), 0u);
  EXPECT_NE(text.find("REM  Could not auto save to file (write): /dev/full: Disk is full."), std::string::npos);
  EXPECT_GT(out.WriteFailures(), 0);
}

TEST_F(ScriptOutputTest, AutoSaveCreateFailureIsWrittenIntoTheScript) {
  opts.b_AutoSave = 1;
  opts.i_AutoSaveLines = 1;
  opts.s_AutoSaveFile = (dir / "missing" / "x.sql").string();
  ScriptOutput out(host, settings);
  Begin(out);
  out.Append("a\r\nb", ScriptOutput::colorSql, true);
  EXPECT_NE(host.window.WholeText().find("\r\n\r\nREM  Could not auto save to file (create): " + opts.s_AutoSaveFile +
                                         "\r\n\r\n"),
            std::string::npos);
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(ScriptOutputTest, AFailingAutoSaveIsReportedOncePerRunOfFailuresAndStaysBounded) {
  // Failures that go on: one report each, and a backlog that never outgrows its limit (once a
  // remark per line and every byte kept: 728,562 remarks, 345 MB).
  const std::string line(999, 'v');
  struct Case {
    std::string file, report, box;
  } cases[] = {
      {"", "Auto save is on, but no file name is set: the script stays in the window.", ""},
      {"/dev/full", "Could not auto save to file (write): /dev/full: Disk is full.",
       "The file could not be saved, the disk is full.\nPlease make some space and press OK to continue."},
  };
  for (const Case& c : cases) {
    test::ScriptedHost h;
    opts.b_AutoSave = 1;
    opts.i_AutoSaveLines = 10;
    opts.s_AutoSaveFile = c.file;
    ScriptOutput out(h, settings);
    Begin(out);
    size_t largest = 0;
    for (int i = 0; i < 10000; ++i) {
      out.Append(line + "\r\n", ScriptOutput::colorSql, true);
      largest = std::max(largest, out.AutoSaveBacklog());
    }
    const std::string text = h.window.WholeText();
    EXPECT_EQ(Occurrences(text, c.report), 1u) << c.file;
    EXPECT_EQ(Occurrences(text, line), 10000u) << c.file;  // the window keeps the script
    EXPECT_EQ(h.messages.size(), c.box.empty() ? 0u : 1u) << c.file;
    if (!c.box.empty()) {
      EXPECT_TRUE(h.HasMessage(c.box));
    }
    EXPECT_LE(largest, ScriptOutput::kAutoSaveBacklogLimit + line.size() + 2) << c.file;
    EXPECT_EQ(out.AutoSaveBacklog(), 0u) << c.file;  // given up for the rest of the run
    EXPECT_GT(out.WriteFailures(), 0) << c.file;
    EXPECT_FALSE(out.AutoSaveFlush());
  }

  // A folder that appears and goes again: the first success writes everything kept, and the
  // second run of failures is reported again, once.
  const fs::path folder = dir / "later";
  opts.s_AutoSaveFile = (folder / "auto.sql").string();
  test::ScriptedHost h;
  ScriptOutput out(h, settings);
  Begin(out);
  std::string expected;
  auto append = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      const std::string s = "row " + std::to_string(i) + "\r\n";
      out.Append(s, ScriptOutput::colorSql, true);
      expected += s;
    }
  };
  append(0, 500);
  fs::create_directory(folder);
  append(500, 1500);
  const std::string saved = Slurp(opts.s_AutoSaveFile);
  EXPECT_EQ(Occurrences(saved, "Could not auto save to file (create): "), 1u);
  EXPECT_NE(saved.find("row 0\r\n"), std::string::npos);
  fs::remove_all(folder);
  append(1500, 3000);
  const std::string text = h.window.WholeText();
  EXPECT_EQ(Occurrences(text, "Could not auto save to file (open): "), 1u);
  EXPECT_EQ(Occurrences(saved + text, "row "), 3000u);  // nothing lost, nothing twice
  EXPECT_TRUE(h.messages.empty());
}

TEST_F(ScriptOutputTest, OnlyToFileSwitchesAutoSaveOffAndWritesEveryByte) {
  opts.b_OnlyToFile = 1;
  opts.b_AutoSave = 1;
  ScriptOutput out(host, settings);
  Begin(out);
  ASSERT_TRUE(out.OpenOutputFile());
  EXPECT_FALSE(out.Mode().autoSave);
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    std::string s = "row " + std::to_string(i) + "\r\n";
    out.Append(s, ScriptOutput::colorName, true);
    expected += s;
  }
  EXPECT_TRUE(host.window.IsEmpty());
  EXPECT_TRUE(out.CloseOutputFile());
  EXPECT_EQ(Slurp(opts.s_AutoSaveFile), expected);
}

TEST_F(ScriptOutputTest, UnopenableOutputFileSendsTheScriptToTheScreen) {
  opts.b_OnlyToFile = 1;
  opts.b_AutoSave = 1;
  opts.s_AutoSaveFile = (dir / "no" / "such" / "dir.sql").string();
  ScriptOutput out(host, settings);
  Begin(out);
  EXPECT_FALSE(out.OpenOutputFile());
  EXPECT_TRUE(host.HasMessage("Could not open file " + opts.s_AutoSaveFile + ". Output will be sent to the screen."));
  EXPECT_FALSE(out.Mode().onlyToFile);
  EXPECT_TRUE(out.Mode().autoSave);
  out.Append("shown", ScriptOutput::colorSql, true);
  EXPECT_EQ(host.window.WholeText(), "shown");
}

TEST_F(ScriptOutputTest, AFailingOutputFileLosesNothing) {
  opts.b_OnlyToFile = 1;
  opts.s_AutoSaveFile = "/dev/full";
  ScriptOutput out(host, settings);
  Begin(out);
  ASSERT_TRUE(out.OpenOutputFile());
  std::string expected;
  for (int i = 0; i < 10000; ++i) {
    std::string s = "value " + std::to_string(i) + "\r\n";
    out.Append(s, ScriptOutput::colorName, true);
    expected += s;
  }
  EXPECT_TRUE(host.HasMessage("Could not save line to file. Output will continue on the screen."));
  EXPECT_FALSE(out.Mode().onlyToFile);
  EXPECT_FALSE(out.Saved());
  EXPECT_EQ(host.window.WholeText(), expected);  // /dev/full took nothing: the window has it all
}

TEST_F(ScriptOutputTest, SaveScriptWritesTextOrRtfByExtension) {
  ScriptOutput out(host, settings);
  Begin(out);
  const std::string longLine(12000, 'q');
  host.window.Insert("REM  x\r\n", ScriptOutput::colorRemarkMarker);
  host.window.Insert(longLine + "\r\n{tail}\\", ScriptOutput::colorSql);
  out.SetSaved(false);
  int cancelled = 0;
  out.SaveScript(cancelled, (dir / "s.sql").string());
  EXPECT_EQ(Slurp(dir / "s.sql"), "REM  x\r\n" + longLine + "\r\n{tail}\\");
  EXPECT_TRUE(out.Saved());
  out.SetSaved(false);
  out.SaveScript(cancelled, (dir / "s.RtF").string());
  std::string rtf = Slurp(dir / "s.RtF");
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rtf.find("\\red255\\green0\\blue0;"), std::string::npos);
  EXPECT_NE(rtf.find("\\{tail\\}\\\\"), std::string::npos);
  EXPECT_EQ(rtf.back(), '\n');
  // Cancelling the dialog is remembered.
  out.SetSaved(false);
  host.savePath.clear();
  out.SaveScript(cancelled);
  EXPECT_EQ(cancelled, 1);
  EXPECT_FALSE(out.Saved());
}

TEST_F(ScriptOutputTest, ScriptFontRecordRoundTripsThroughTheSettings) {
  const ScriptFont defaults = LoadScriptFont(settings);
  EXPECT_EQ(defaults, ScriptFont());
  ScriptFont f;
  f.face = std::string(40, 'M');
  f.pointSize = 12;
  f.bold = true;
  settings.WriteInt("bCharSet", 238);
  SaveScriptFont(settings, f);
  ScriptFont back = LoadScriptFont(settings);
  EXPECT_EQ(back.face, std::string(31, 'M'));
  EXPECT_EQ(back.pointSize, 12);
  EXPECT_TRUE(back.bold);
  EXPECT_FALSE(back.italic);
  EXPECT_EQ(settings.GetInt("yHeight", 0), 240);
  EXPECT_EQ(settings.GetInt("dwEffects", 0), 0x40000001);
  // Values the record does not hold keep what the store had.
  EXPECT_EQ(settings.GetInt("bCharSet", 0), 238);
  EXPECT_EQ(static_cast<unsigned>(settings.GetInt("dwMask", 0)), 0xB0000013u);
  fs::remove(settings.path());
}

TEST(PadToWidth, PadsCutsOrLeaves) {
  EXPECT_EQ(PadToWidth("ID", 5, false), "ID   ");
  EXPECT_EQ(PadToWidth("ABCDEFG", 3, true), "ABC");
  EXPECT_EQ(PadToWidth("ABCDEFG", 3, false), "ABCDEFG");
  EXPECT_EQ(PadToWidth("", 0, true), "");
}

}  // namespace
}  // namespace mv
