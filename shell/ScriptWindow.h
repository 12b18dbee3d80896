#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace mv {

struct Color {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Color&) const = default;
};

// The script window as the core sees it: coloured text inserted at the insertion point.
// Lines are separated by "\n"; a line read back includes its line break. The count of lines
// is the number of line feeds plus one, as a rich-text control counts them.
class ScriptWindow {
 public:
  virtual ~ScriptWindow() = default;
  virtual void Insert(std::string_view text, Color color) = 0;
  virtual long LineCount() const = 0;
  virtual std::string Line(long index) const = 0;
  virtual std::string WholeText() const = 0;
  virtual bool IsEmpty() const = 0;
  virtual void Empty() = 0;
  virtual void MoveInsertionToEnd() = 0;
  // The window's own rich-text form (used when the script is saved as RTF).
  virtual std::string Rtf() const = 0;
  // Whether the colours of the pieces are kept (a window that only streams text does not).
  virtual bool KeepsColours() const { return true; }
  // Applies the saved script font (face name and height in twips) to the whole window.
  virtual void SetFont(const std::string& face, int heightTwips) {}
};

}  // namespace mv
