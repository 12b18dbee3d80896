#pragma once
#include <cstdio>
#include <string>

#include "base/BufferedFile.h"
#include "base/ScriptStore.h"
#include "base/ScriptWindow.h"

namespace mv {

// The script window held in memory (a ScriptStore).
// With a sink the text is also written through to a stream as it arrives (the batch front end);
// with keepText off only the line count is kept, so memory stays flat on long scripts.
class MemoryScriptWindow : public ScriptWindow {
 public:
  MemoryScriptWindow() = default;
  ~MemoryScriptWindow() override;
  // Writes everything inserted to f (not owned) through a buffer of our own; null: no longer.
  void SetSink(std::FILE* f);
  // Whether the text itself is kept (needed for auto-save and saving).
  void SetKeepText(bool keep) { store_.SetKeepText(keep); }
  // Flushes the sink buffer; false on a write error, then and ever after.
  bool FlushSink() { return sink_.Flush(); }
  // The errno of the write that failed.
  int SinkError() const { return sink_.Error(); }

  void Insert(std::string_view text, Color color) override;
  void InsertRuns(std::string_view text, std::span<const Run> runs) override;
  long LineCount() const override { return store_.LineCount(); }
  std::string Line(long index) const override { return store_.Line(index); }
  std::string WholeText() const override { return std::string(store_.Text()); }
  bool IsEmpty() const override { return store_.IsEmpty(); }
  void Empty() override { store_.Clear(); }
  void MoveInsertionToEnd() override {}
  bool KeepsColours() const override { return store_.KeepsText(); }
  bool Delivered() override { return FlushSink(); }
  std::string Rtf() const override { return store_.Rtf(face_, heightTwips_); }
  void SetFont(const ScriptFont& font) override;

 private:
  ScriptStore store_;
  BufferedFile sink_;
  std::string face_ = "Courier New";
  int heightTwips_ = 170;
};

}  // namespace mv
