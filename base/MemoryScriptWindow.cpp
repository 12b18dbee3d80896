#include "base/MemoryScriptWindow.h"

namespace mv {

MemoryScriptWindow::~MemoryScriptWindow() { FlushSink(); }

void MemoryScriptWindow::SetSink(std::FILE* f) {
  // A failure stays known after the sink is let go: the front end asks for it then.
  if (!f) {
    sink_.Close();
    return;
  }
  sink_.Attach(f, false);
}

[[gnu::hot]] void MemoryScriptWindow::Insert(std::string_view text, Color color) {
  if (text.empty()) return;
  sink_.Write(text);
  store_.Append(text, color);
}

void MemoryScriptWindow::InsertRuns(std::string_view text, std::span<const Run> runs) {
  // Run by run through Insert: a window made on this one sees every piece as it always has.
  ScriptSink::InsertRuns(text, runs);
}

void MemoryScriptWindow::SetFont(const ScriptFont& font) {
  face_ = font.face;
  heightTwips_ = static_cast<int>(font.pointSize * 20 + 0.5);
}

}  // namespace mv
