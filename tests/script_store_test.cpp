// The script store: the one copy of the script text that the windows keep and the view reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ScriptStore.h"

namespace mv {
namespace {

constexpr Color kRed{255, 0, 0}, kBlue{42, 42, 255};

// The pieces from an offset, as "text@color" with R or B.
std::string PiecesFrom(const ScriptStore& s, size_t from) {
  std::string out;
  s.ForEachPiece(from, [&](const ScriptStore::Piece& p) {
    out += (out.empty() ? "" : "|") + s.Text().substr(p.start, p.length) + (p.color == kRed ? "@R" : "@B");
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

}  // namespace
}  // namespace mv
