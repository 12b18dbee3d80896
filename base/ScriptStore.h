#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ColorRuns.h"
#include "base/ScriptWindow.h"
#include "base/TextBuffer.h"

namespace mv {

// The script text as a window holds it: its bytes, its colour runs and where each line starts.
// Every window keeps its text here, and a view reads what it shows from it. Compact: a run of
// one colour is kept in one byte per 32 bytes of it (the colour's index and a length), a line
// as its start. Not locked: a store read by two threads is guarded by its owner.
class ScriptStore {
 public:
  // A stretch of text of one colour, as the readers receive it.
  struct Piece {
    size_t start = 0, length = 0;
    Color color;
  };

  // Off: only the lines are counted, for a window that streams its text elsewhere.
  void SetKeepText(bool keep) { keepText_ = keep; }
  bool KeepsText() const { return keepText_; }

  void Append(std::string_view text, Color color);
  // Appends text whose runs of colour add up to its size, as one Append per run would.
  void AppendRuns(std::string_view text, std::span<const ScriptSink::Run> runs);
  // Appends text whose colours are runs (adding up to its size).
  void AppendColored(std::string_view text, const ColorRuns& runs);
  void Clear();
  // The text from `from` to `to` becomes `text` in one colour (a user's edit); the rest keeps its
  // colours. Costs a copy of what follows `to`.
  void Replace(size_t from, size_t to, std::string_view text, Color color);
  // The colour of the text just before offset (typed text takes it); black when there is none.
  Color ColorBefore(size_t offset) const;

  // Line feeds plus one, as a rich-text control counts lines.
  long LineCount() const { return newlines_ + 1; }
  // The line with its line break; empty past the end or when no text is kept.
  std::string Line(long index) const;
  // Where a line starts in Text() (its end for an index past the last line).
  size_t LineStart(long index) const;
  std::string_view Text() const { return text_.View(); }
  bool IsEmpty() const { return text_.Empty() && newlines_ == 0 && !partial_; }
  // The length of the longest line, its line break included (how wide a view must scroll).
  size_t LongestLine() const { return longest_; }

  // Calls f(Piece) for each run from offset `from` on, the first cut to start there.
  template <class F>
  void ForEachPiece(size_t from, F&& f) const;

  // The text as RTF, in the given font (its height in twips), with a colour table.
  std::string Rtf(const std::string& face, int heightTwips) const;

 private:
  // The text's bytes and lines, without its colours.
  void AppendBytes(std::string_view text);
  // Keeps the first `size` bytes.
  void Truncate(size_t size);
  void MeasureLinesFrom(size_t firstNewStart);

  TextBuffer text_;
  // The runs in order; neighbours of one colour are one piece to the readers.
  ColorRuns runs_;
  std::vector<size_t> lineStarts_{0};
  long newlines_ = 0;
  size_t longest_ = 0;
  bool partial_ = false;  // the last line has no line feed yet
  bool keepText_ = true;
};

template <class F>
void ScriptStore::ForEachPiece(size_t from, F&& f) const {
  // From the end back to the run holding `from`: a view reads the little it has not shown yet.
  const size_t n = runs_.Size();
  size_t i = n, start = text_.Size();
  while (i > 0 && start > from) start -= ColorRuns::Length(runs_[--i]);
  while (i < n) {
    const uint8_t color = ColorRuns::Index(runs_[i]);
    const Color shown = runs_.ColorOf(runs_[i]);
    size_t end = start;
    while (i < n && ColorRuns::Index(runs_[i]) == color) end += ColorRuns::Length(runs_[i++]);
    const size_t begin = start < from ? from : start;
    if (end > begin) f(Piece{begin, end - begin, shown});
    start = end;
  }
}

}  // namespace mv
