#pragma once
#include <QAbstractScrollArea>
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/ScriptWindow.h"
#include "base/SharedScript.h"

class QTextDocument;

namespace mv {

// The coloured script window.
//
// The text lives once, in a SharedScript that the worker appends to and the view paints from:
// the view lays out only the lines on the screen, so a script of any size costs its bytes
// (plus a few per line and per colour run) and a batch costs the same whatever it holds. The
// UI thread takes a batch a few times a second, and at once when the worker has run the bound
// ahead of it (the worker waits meanwhile), so what is written is on the screen within a
// fraction of a second and a click never queues behind a backlog.
//
// Positions (caret, selection, find) are byte offsets into the exact text; the screen shows a
// line's "\r\n" as its end.
class ScriptView : public QAbstractScrollArea, public ScriptWindow {
  Q_OBJECT
 public:
  explicit ScriptView(QWidget* parent = nullptr);
  ~ScriptView() override;

  // ScriptSink: any thread. From a worker, Insert waits while the view is the bound behind.
  void Insert(std::string_view text, Color color) override;
  void InsertRuns(std::string_view text, std::span<const Run> runs) override;
  void Empty() override;
  void SetFont(const ScriptFont& font) override;

  // ScriptDocument: exact at every moment.
  long LineCount() const override;
  std::string Line(long index) const override;
  std::string WholeText() const override;
  bool IsEmpty() const override;
  std::string Rtf() const override;
  void MoveInsertionToEnd() override;  // UI thread

  // --- the UI thread
  // Takes the batch written since the last look and shows it.
  void Drain();
  // Whether something written is not yet on the screen.
  bool HasPending() const;
  // While set, typed characters are ignored; other keys, the mouse and the run's own output
  // still work.
  void SetIgnoreTyping(bool on) { ignoreTyping_ = on; }
  bool IgnoresTyping() const { return ignoreTyping_; }
  const ScriptFont& CurrentFont() const { return font_; }
  // The shared text, for the bound (tests set a small one).
  SharedScript& Shared() { return script_; }

  // The selection, as byte offsets into the exact text (start <= end).
  size_t SelectionStart() const { return std::min(caret_, anchor_); }
  size_t SelectionEnd() const { return std::max(caret_, anchor_); }
  size_t Caret() const { return caret_; }
  // Moves the caret (keepAnchor: extends the selection) and scrolls it into view.
  void SetCaret(size_t offset, bool keepAnchor = false);
  // The selected text with one "\n" per line break, as it goes to the clipboard.
  QString SelectedText() const;
  // The whole text as the view shows it (one "\n" per line break).
  QString toPlainText() const;
  // The colour of the character at offset.
  Color ColorAt(size_t offset) const;
  // The first line on the screen.
  long FirstVisibleLine() const;
  // The script as a rich-text document in the view's font and colours, for printing.
  std::unique_ptr<QTextDocument> PrintDocument() const;

  // Searches forward for text from the end of the selection (fromTop: from the start of the
  // text) and selects the match. Returns whether one was found.
  bool FindForward(const QString& text, bool matchCase, bool wholeWord, bool fromTop);

 public slots:
  void copy();
  void selectAll();

 signals:
  void copyAvailable(bool yes);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  // The program's Ctrl+letter commands reach the window's actions.
  bool event(QEvent* event) override;

 private:
  // The worker has reached the bound: take a batch now rather than at the next tick.
  Q_INVOKABLE void TakeNow();
  void ApplyFont(const ScriptFont& font);
  void UpdateScrollBars();
  int VisibleLines() const;
  void EnsureCaretVisible();
  // The byte offset nearest a point of the viewport.
  size_t OffsetAt(const QPoint& p) const;
  // The user's edit: [from, to) becomes text.
  void EditText(size_t from, size_t to, std::string_view text);
  void SelectionChanged(bool had);
  // Moves the caret by a key; false for a key that moves nothing.
  bool MoveByKey(int key, bool control, size_t& to) const;

  SharedScript script_;
  std::atomic<bool> wakePosted_{false};
  mutable std::mutex fontMu_;
  std::optional<ScriptFont> fontPending_;  // SetFont() from the worker, not yet applied
  std::string face_ = "Courier New";       // the font as the RTF names it
  int heightTwips_ = 170;

  // The UI thread's view of the text, as of the last batch.
  long lines_ = 1;
  size_t bytes_ = 0;
  size_t longest_ = 0;
  size_t caret_ = 0, anchor_ = 0;
  ScriptFont font_;
  int lineHeight_ = 14, charWidth_ = 8, ascent_ = 11;
  bool ignoreTyping_ = false;
  bool caretShown_ = false;
  QTimer drainTimer_;
};

}  // namespace mv
