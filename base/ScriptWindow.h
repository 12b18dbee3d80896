#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/ScriptFont.h"

namespace mv {

struct Color {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Color&) const = default;
};

// What the run writes into the script window. Called by the worker during a run (and by the
// UI thread outside one). A window may show inserted text later, in batches, but must keep it
// in order and must have shown all of it when a run has ended; Insert from the worker may wait
// while the window is a bounded amount of text behind (never on the UI thread).
class ScriptSink {
 public:
  virtual ~ScriptSink() = default;
  virtual void Insert(std::string_view text, Color color) = 0;
  // A stretch of a text in one colour: the next `length` bytes.
  struct Run {
    size_t length = 0;
    Color color;
  };
  // A text of several colours in one call, its runs in order and adding up to its size: a
  // row's pieces reach a shared window in one step rather than one each.
  virtual void InsertRuns(std::string_view text, std::span<const Run> runs) {
    size_t at = 0;
    for (const Run& r : runs) {
      Insert(text.substr(at, r.length), r.color);
      at += r.length;
    }
  }
  virtual void Empty() = 0;
  virtual void SetFont(const ScriptFont& font) {}
  // Whether the colours of the pieces are kept (a window that only streams text does not).
  virtual bool KeepsColours() const { return true; }
  // Whether everything inserted so far has reached its place. A window that streams the text
  // to a file flushes it to answer; a window that shows the text holds it all.
  virtual bool Delivered() { return true; }
};

// What the UI reads back to save, print or search the script. Called on the UI thread while
// no run is active. Lines are separated by "\n"; a line read back includes its line break;
// the count of lines is the number of line feeds plus one, as a rich-text control counts them.
class ScriptDocument {
 public:
  virtual ~ScriptDocument() = default;
  virtual long LineCount() const = 0;
  virtual std::string Line(long index) const = 0;
  virtual std::string WholeText() const = 0;
  virtual bool IsEmpty() const = 0;
  virtual void MoveInsertionToEnd() = 0;
  // The window's own rich-text form (used when the script is saved as RTF).
  virtual std::string Rtf() const = 0;
};

class ScriptWindow : public ScriptSink, public ScriptDocument {};

}  // namespace mv
