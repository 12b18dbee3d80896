#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "shell/BufferedFile.h"
#include "shell/ScriptWindow.h"

namespace mv {

// The script window held in memory: text, colour runs and a line index.
// With a sink the text is also written through to a stream as it arrives (the batch front end);
// with keepText off only the line count is kept, so memory stays flat on long scripts.
class MemoryScriptWindow : public ScriptWindow {
 public:
  struct Run {
    size_t start;
    size_t length;
    Color color;
  };

  MemoryScriptWindow() = default;
  ~MemoryScriptWindow() override;
  // Writes everything inserted to f (not owned) through a buffer of our own; null: no longer.
  void SetSink(std::FILE* f);
  // Whether the text itself is kept (needed for auto-save and saving).
  void SetKeepText(bool keep) { keepText_ = keep; }
  // Flushes the sink buffer; false on a write error, then and ever after.
  bool FlushSink() { return sink_.Flush(); }
  // The errno of the write that failed.
  int SinkError() const { return sink_.Error(); }

  void Insert(std::string_view text, Color color) override;
  long LineCount() const override;
  std::string Line(long index) const override;
  std::string WholeText() const override { return text_; }
  bool IsEmpty() const override { return text_.empty() && newlines_ == 0 && !partial_; }
  void Empty() override;
  void MoveInsertionToEnd() override {}
  bool KeepsColours() const override { return keepText_; }
  bool Delivered() override { return FlushSink(); }
  std::string Rtf() const override;
  void SetFont(const ScriptFont& font) override;

 private:
  std::string text_;

  std::vector<Run> runs_;
  std::vector<size_t> lineStarts_{0};
  long newlines_ = 0;
  bool partial_ = false;
  bool keepText_ = true;
  BufferedFile sink_;
  std::string face_ = "Courier New";
  int heightTwips_ = 170;
};

// RTF of a text with colour runs (shared by the in-memory and desktop windows).
std::string BuildRtf(const std::string& text, const std::vector<MemoryScriptWindow::Run>& runs, const std::string& face,
                     int heightTwips);

}  // namespace mv
