#pragma once
#include <QPlainTextEdit>
#include <QTimer>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/ScriptStore.h"
#include "base/ScriptWindow.h"

namespace mv {

// The coloured script window.
//
// The core needs an exact view of the text on the worker thread (auto-save counts lines after
// every counted append and reads them back), while a text widget may only be touched on the
// UI thread. So the exact text is a ScriptStore that any thread reads and writes under a
// mutex, and the widget shows what was inserted, read from the store in batches: the UI thread
// takes the part it has not shown yet a few times a second and whenever it needs the widget
// whole (end of a run, find, print). A worker call therefore never waits for the UI thread,
// and an insert costs no more than appending to the store.
class ScriptView : public QPlainTextEdit, public ScriptWindow {
  Q_OBJECT
 public:
  explicit ScriptView(QWidget* parent = nullptr);
  ~ScriptView() override;

  // ScriptSink: any thread.
  void Insert(std::string_view text, Color color) override;
  void Empty() override;
  void SetFont(const ScriptFont& font) override;

  // ScriptDocument: exact at every moment, from the in-memory copy.
  long LineCount() const override;
  std::string Line(long index) const override;
  std::string WholeText() const override;
  bool IsEmpty() const override;
  std::string Rtf() const override;
  void MoveInsertionToEnd() override;  // UI thread

  // UI thread: shows everything inserted so far in the widget.
  void Drain();
  // UI thread: whether the widget lacks something of the exact text.
  // Lines the widget shows of a batch that starts after an emptying, while a run is under way.
  static constexpr int kShownTail = 200;
  // UI thread: whether the widget lacks something of the exact text.
  bool HasPending() const;
  // While set, typed characters are ignored; other keys, the mouse and the run's own output
  // still work.
  void SetIgnoreTyping(bool on) { ignoreTyping_ = on; }
  bool IgnoresTyping() const { return ignoreTyping_; }
  const ScriptFont& CurrentFont() const { return font_; }

  // Searches forward for text from the end of the selection (fromTop: from the start of the
  // text) and selects the match. Returns whether one was found.
  bool FindForward(const QString& text, bool matchCase, bool wholeWord, bool fromTop);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The program's Ctrl+letter commands win over the editor's own bindings (Ctrl+K would
  // otherwise delete to the end of the line instead of skipping a table).
  bool event(QEvent* event) override;
  // A new palette (a dark theme) shows the script again in the shades of its background.
  void changeEvent(QEvent* event) override;
  // Paste is accepted and does nothing: the script is what the run wrote.
  bool canInsertFromMimeData(const QMimeData*) const override { return false; }
  void insertFromMimeData(const QMimeData*) override {}

 private:
  // full: the widget gets the whole exact text. Otherwise (the timer) a batch that starts
  // after an emptying shows only its last kShownTail lines: with auto-save every few hundred
  // lines the window is emptied many times a second, and laying out text that is gone before
  // anyone could read it would cost the run more than the scripting itself.
  void DrainBatch(bool full);
  void ApplyFontToWidget(const ScriptFont& font);
  // The user changed the widget's text: the in-memory copy takes it over.
  void OnContentsChange(int position, int removed, int added);

  // The exact text, guarded by mu_.
  mutable std::mutex mu_;
  ScriptStore store_;
  size_t shown_ = 0;                       // the store's text up to here is in the widget
  bool clearPending_ = false;              // Empty() not yet shown
  std::optional<ScriptFont> fontPending_;  // SetFont() not yet shown
  std::string face_ = "Courier New";       // the font as the RTF names it
  int heightTwips_ = 170;

  ScriptFont font_;
  bool ignoreTyping_ = false;
  bool updating_ = false;  // our own changes to the widget, not the user's
  bool partial_ = false;   // the widget shows only the tail of the exact text
  QTimer drainTimer_;
};

}  // namespace mv
