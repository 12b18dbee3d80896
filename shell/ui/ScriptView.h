#pragma once
#include <QTextEdit>
#include <QTimer>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "shell/MemoryScriptWindow.h"
#include "shell/ScriptWindow.h"

namespace mv {

// The coloured script window.
//
// The core needs an exact view of the text on the worker thread (auto-save counts lines after
// every counted append and reads them back), while a text widget may only be touched on the
// UI thread. So the text lives twice: an exact copy in memory (text, colour runs, line index)
// that any thread reads and writes under a mutex, and the widget, which shows what was
// inserted in batches. The worker's inserts go into a pending list; the UI thread drains it
// a few times a second and whenever it needs the widget whole (end of a run, find, print).
// A worker call therefore never waits for the UI thread.
class ScriptView : public QTextEdit, public ScriptWindow {
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
  // Paste is accepted and does nothing: the script is what the run wrote.
  bool canInsertFromMimeData(const QMimeData*) const override { return false; }
  void insertFromMimeData(const QMimeData*) override {}

 private:
  struct Piece {
    std::string text;
    Color color;
  };
  void ApplyFontToWidget(const ScriptFont& font);
  // The user changed the widget's text: the in-memory copy takes it over.
  void OnContentsChange(int position, int removed, int added);

  mutable std::mutex mu_;
  MemoryScriptWindow exact_;           // guarded by mu_
  std::vector<Piece> pending_;         // guarded by mu_
  bool clearPending_ = false;          // guarded by mu_: Empty() not yet shown
  std::optional<ScriptFont> fontPending_;  // guarded by mu_

  ScriptFont font_;
  bool ignoreTyping_ = false;
  bool updating_ = false;  // our own changes to the widget, not the user's
  QTimer drainTimer_;
};

}  // namespace mv
