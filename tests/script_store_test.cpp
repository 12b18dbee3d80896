// The script store: the one copy of the script text that the windows keep and the view reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/ScriptStore.h"
#include "base/SharedScript.h"

namespace mv {
namespace {

constexpr Color kRed{255, 0, 0}, kBlue{42, 42, 255};

// The pieces from an offset, as "text@color" with R or B.
std::string PiecesFrom(const ScriptStore& s, size_t from) {
  std::string out;
  s.ForEachPiece(from, [&](const ScriptStore::Piece& p) {
    out += (out.empty() ? "" : "|") + std::string(s.Text().substr(p.start, p.length)) + (p.color == kRed ? "@R" : "@B");
  });
  return out;
}

TEST(ScriptStore, JoinsRunsOfOneColourAndCutsPiecesAtTheOffset) {
  ScriptStore s;
  s.Append("ab", kRed);
  s.Append("c\r\n", kRed);  // joins the run before it
  s.Append("de", kBlue);
  s.Append("", kRed);  // nothing: no empty run
  s.Append("f\r\ng", kRed);
  const struct {
    size_t from;
    const char* pieces;
  } cases[] = {{0, "abc\r\n@R|de@B|f\r\ng@R"},
               {4, "\n@R|de@B|f\r\ng@R"},
               {5, "de@B|f\r\ng@R"},
               {6, "e@B|f\r\ng@R"},
               {10, "g@R"},
               {11, ""}};
  for (const auto& c : cases) EXPECT_EQ(PiecesFrom(s, c.from), c.pieces) << "from " << c.from;
  EXPECT_EQ(s.LineCount(), 3);
  EXPECT_EQ(s.Line(1), "def\r\n");
  EXPECT_EQ(s.LineStart(2), 10u);
  EXPECT_EQ(s.LineStart(3), s.Text().size());  // past the last line: the end
  EXPECT_EQ(s.Line(3), "");
  // RTF colours in the order of first use, line breaks as paragraphs.
  EXPECT_EQ(s.Rtf("Courier New", 170),
            "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern Courier New;}}\n{\\colortbl ;\\red255\\green0\\blue0;"
            "\\red42\\green42\\blue255;}\n\\f0\\fs17 \\cf1 abc\\par\n\\cf2 de\\cf1 f\\par\ng}");
  s.Clear();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(PiecesFrom(s, 0), "");
}

TEST(ScriptStore, RunsInOneCallAreStoredAsOneAppendPerRun) {
  // A row's pieces in one call: the same text, runs, lines and widths as piece by piece, and a
  // list of runs that falls short of the text (or is empty) still keeps every byte.
  using R = ScriptSink::Run;
  const struct {
    const char* text;
    std::vector<R> runs;
    const char* pieces;
  } cases[] = {
      {"INSERT INTO t VALUES (1, 'a');\r\n", {{21, kRed}, {1, kBlue}, {6, kBlue}, {3, kRed}}, nullptr},
      {"ab\ncd", {{1, kRed}, {0, kBlue}, {4, kRed}}, "ab\ncd@R"},
      {"a\nlonger line\n", {{2, kBlue}}, "a\nlonger line\n@B"},
      {"xyz", {{1, kRed}, {9, kBlue}}, "x@R|yz@B"},
      {"xy", {}, nullptr},
  };
  for (const auto& c : cases) {
    ScriptStore one, each;
    one.Append("head\r\n", kRed);
    each.Append("head\r\n", kRed);
    one.AppendRuns(c.text, c.runs);
    const std::string_view text = c.text;
    size_t at = 0;
    for (const R& r : c.runs) {
      if (at >= text.size()) break;
      each.Append(text.substr(at, r.length), r.color);
      at += std::min(r.length, text.size() - at);
    }
    if (at < text.size()) each.Append(text.substr(at), c.runs.empty() ? Color{} : c.runs.back().color);
    EXPECT_EQ(one.Text(), each.Text()) << c.text;
    EXPECT_EQ(PiecesFrom(one, 0), PiecesFrom(each, 0)) << c.text;
    if (c.pieces) {
      EXPECT_EQ(PiecesFrom(one, 6), c.pieces) << c.text;
    }
    EXPECT_EQ(one.LineCount(), each.LineCount()) << c.text;
    EXPECT_EQ(one.LongestLine(), each.LongestLine()) << c.text;
    EXPECT_EQ(one.LineStart(one.LineCount() - 1), each.LineStart(each.LineCount() - 1)) << c.text;
  }
  // A run longer than the store keeps in one step is still one piece, from any offset in it,
  // and an edit inside it keeps the colour on both sides.
  ScriptStore s;
  s.Append(std::string(100, 'x'), kRed);
  s.Append("y", kBlue);
  EXPECT_EQ(PiecesFrom(s, 40), std::string(60, 'x') + "@R|y@B");
  s.Replace(64, 65, "y", kBlue);
  EXPECT_EQ(PiecesFrom(s, 60), "xxxx@R|y@B|" + std::string(35, 'x') + "@R|y@B");
  EXPECT_TRUE(s.ColorBefore(100) == kRed);
}

TEST(ScriptStore, CountingOnlyKeepsNoTextButTheLines) {
  ScriptStore s;
  s.SetKeepText(false);
  s.Append("one\r\ntwo", kRed);
  EXPECT_EQ(s.LineCount(), 2);
  EXPECT_FALSE(s.IsEmpty());  // a partial line is text, though not kept
  EXPECT_EQ(s.Text(), "");
  EXPECT_EQ(s.Line(0), "");
  s.Clear();
  EXPECT_TRUE(s.IsEmpty());
}

TEST(ScriptStore, AnEditKeepsTheColoursAndLinesAroundIt) {
  // "ab\r\n" red, "cd" blue, "\r\nef" red; [from, to) becomes text in blue.
  const struct {
    size_t from, to;
    const char* text;
    const char* pieces;
    long lines;
    size_t longest;
  } cases[] = {
      {0, 0, "x", "x@B|ab\r\n@R|cd@B|\r\nef@R", 3, 5},
      {2, 2, "", "ab\r\n@R|cd@B|\r\nef@R", 3, 4},            // nothing typed, nothing deleted
      {1, 6, "", "a\r\nef@R", 2, 3},                         // across a line break and a colour: the runs join
      {4, 6, "Q\r\nR", "ab\r\n@R|Q\r\nR@B|\r\nef@R", 4, 4},  // a new line inside
      {6, 99, "", "ab\r\n@R|cd@B", 2, 4},                    // to the end, past it clamped
      {0, 10, "", "", 1, 0},
  };
  for (const auto& c : cases) {
    ScriptStore s;
    s.Append("ab\r\n", kRed);
    s.Append("cd", kBlue);
    s.Append("\r\nef", kRed);
    s.Replace(c.from, c.to, c.text, kBlue);
    EXPECT_EQ(PiecesFrom(s, 0), c.pieces) << c.from << "-" << c.to;
    EXPECT_EQ(s.LineCount(), c.lines) << c.from << "-" << c.to;
    EXPECT_EQ(s.LongestLine(), c.longest) << c.from << "-" << c.to;
    EXPECT_EQ(s.LineStart(c.lines), s.Text().size());
    // The lines still cut the text where its line feeds are.
    std::string joined;
    for (long i = 0; i < s.LineCount(); ++i) joined += s.Line(i);
    EXPECT_EQ(joined, s.Text());
  }
}

TEST(SharedScript, WhatTheWriterLeftIsFiledWithItsColoursAndLines) {
  // Steps: "R:text" or "B:text" appended, "take" a batch, "clear" the text. The store read back
  // must be the one the steps since the last clear make when appended to it directly, whichever
  // batches the reader took them in.
  const std::vector<std::vector<std::string>> cases = {
      {"R:ab\r\n", "B:cd", "take", "B:ef", "R:\r\ng"},  // a run joins across a batch
      {"R:" + std::string(70, 'x'), "take", "R:" + std::string(40, 'y'), "B:z\n"},
      {"R:one\r\n", "clear", "B:two\r\n", "take", "R:three"},  // the clear drops what came before
      {"R:old", "take", "clear", "take", "B:new\n"},
  };
  for (const auto& steps : cases) {
    SharedScript shared;
    ScriptStore direct;
    bool clearedSeen = false;
    for (const std::string& step : steps) {
      if (step == "take") {
        clearedSeen = shared.Take().cleared || clearedSeen;
      } else if (step == "clear") {
        shared.Clear();
        direct.Clear();
      } else {
        const Color c = step[0] == 'R' ? kRed : kBlue;
        shared.AppendRuns(step.substr(2), std::vector<ScriptSink::Run>{{step.size() - 2, c}}, true);
        direct.Append(step.substr(2), c);
      }
    }
    const SharedScript::Batch last = shared.Take();
    const bool cleared = std::find(steps.begin(), steps.end(), "clear") != steps.end();
    EXPECT_EQ(clearedSeen || last.cleared, cleared) << steps[0];
    EXPECT_EQ(last.lines, direct.LineCount()) << steps[0];
    EXPECT_EQ(last.bytes, direct.Text().size()) << steps[0];
    EXPECT_EQ(last.longestLine, direct.LongestLine()) << steps[0];
    shared.Read([&](const ScriptStore& s) {
      EXPECT_EQ(PiecesFrom(s, 0), PiecesFrom(direct, 0)) << steps[0];
      EXPECT_EQ(s.LineStart(1), direct.LineStart(1)) << steps[0];
    });
    // A reader that reads before it takes sees everything written, and the next batch still
    // counts it as written.
    shared.Append("tail", kBlue, true);
    EXPECT_TRUE(shared.Read([](const ScriptStore& s) { return s.Text().ends_with("tail"); })) << steps[0];
    EXPECT_EQ(shared.Take().written, 4u) << steps[0];
  }
}

TEST(SharedScript, AWriterWaitsAtTheBoundUntilTheReaderTakesABatch) {
  SharedScript shared;
  shared.SetBound(1000);
  std::atomic<int> wakes{0}, written{0};
  shared.SetWake([&] { ++wakes; });
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i) {
      shared.Append(std::string(99, 'x') + "\n", kRed, true);
      ++written;
    }
  });
  // Ten pieces reach the bound; the eleventh waits, having woken the reader once.
  while (wakes.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(written.load(), 10);
  EXPECT_EQ(shared.Ahead(), 1000u);
  const SharedScript::Batch first = shared.Take();
  EXPECT_EQ(first.written, 1000u);
  EXPECT_EQ(first.lines, 11);
  // The reader goes away: the rest is written without waiting.
  shared.Release();
  writer.join();
  EXPECT_EQ(written.load(), 50);
  EXPECT_EQ(shared.Take().lines, 51);
  // The reader's own thread never waits, and a cleared text is reported once.
  SharedScript own;
  own.SetBound(10);
  own.Append(std::string(100, 'y'), kRed, false);
  own.Append("z", kRed, false);
  own.Clear();
  EXPECT_TRUE(own.Take().cleared);
  EXPECT_FALSE(own.Take().cleared);
}

}  // namespace
}  // namespace mv
