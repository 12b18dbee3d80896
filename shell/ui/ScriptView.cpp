#include "shell/ui/ScriptView.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <algorithm>
#include <cstring>

#include "run/ScreenPalette.h"

namespace mv {

namespace {

// The drain interval: often enough to look live, rarely enough to cost nothing.
constexpr int kDrainMs = 150;

bool OnUiThread(const QObject* o) { return QThread::currentThread() == o->thread(); }

// The widget keeps one paragraph per line; the exact copy keeps the script's own "\r\n".
QString ForWidget(std::string_view text) {
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar(' '));
  return s;
}

Color ToColor(const QColor& c) {
  return Color{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

}  // namespace

// A plain-text editor lays out only the lines it shows: a run appends far more than a window
// ever shows, and a rich-text layout of every appended line would cost more than the run.
ScriptView::ScriptView(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  // The run's insertions cannot be undone, and an undo stack would hold the whole script.
  document()->setUndoRedoEnabled(false);
  ApplyFontToWidget(font_);
  connect(document(), &QTextDocument::contentsChange, this, &ScriptView::OnContentsChange);
  drainTimer_.setInterval(kDrainMs);
  connect(&drainTimer_, &QTimer::timeout, this, [this] { DrainBatch(false); });
  drainTimer_.start();
}

ScriptView::~ScriptView() = default;

void ScriptView::Insert(std::string_view text, Color color) {
  if (text.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    store_.Append(text, color);
  }
  if (OnUiThread(this)) Drain();
}

void ScriptView::Empty() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    store_.Clear();
    shown_ = 0;
    clearPending_ = true;
  }
  if (OnUiThread(this)) Drain();
}

void ScriptView::SetFont(const ScriptFont& font) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    face_ = font.face;
    heightTwips_ = static_cast<int>(font.pointSize * 20 + 0.5);
    fontPending_ = font;
  }
  if (OnUiThread(this)) Drain();
}

long ScriptView::LineCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return store_.LineCount();
}

std::string ScriptView::Line(long index) const {
  std::lock_guard<std::mutex> lock(mu_);
  return store_.Line(index);
}

std::string ScriptView::WholeText() const {
  std::lock_guard<std::mutex> lock(mu_);
  return store_.Text();
}

bool ScriptView::IsEmpty() const {
  std::lock_guard<std::mutex> lock(mu_);
  return store_.Text().empty();
}

std::string ScriptView::Rtf() const {
  std::lock_guard<std::mutex> lock(mu_);
  return store_.Rtf(face_, heightTwips_);
}

bool ScriptView::HasPending() const {
  std::lock_guard<std::mutex> lock(mu_);
  return shown_ < store_.Text().size() || clearPending_ || fontPending_.has_value() || partial_;
}

void ScriptView::MoveInsertionToEnd() {
  if (!OnUiThread(this)) return;
  Drain();
  QTextCursor c = textCursor();
  c.movePosition(QTextCursor::End);
  setTextCursor(c);
}

void ScriptView::Drain() { DrainBatch(true); }

void ScriptView::DrainBatch(bool full) {
  std::string slice;
  std::vector<ScriptStore::Piece> runs;
  bool clear = false;
  std::optional<ScriptFont> font;
  {
    std::lock_guard<std::mutex> lock(mu_);
    clear = clearPending_;
    clearPending_ = false;
    if (full && partial_) {
      // Everything again, from the start of the exact text.
      clear = true;
      shown_ = 0;
      partial_ = false;
    }
    if (clear) partial_ = false;
    size_t from = shown_;
    if (clear && !full && store_.LineCount() > kShownTail) {
      from = store_.LineStart(store_.LineCount() - kShownTail);
      partial_ = true;
    }
    const std::string& text = store_.Text();
    if (from < text.size()) {
      slice.assign(text, from, std::string::npos);
      store_.ForEachPiece(from, [&](ScriptStore::Piece p) {
        p.start -= from;
        runs.push_back(p);
      });
    }
    shown_ = text.size();
    font.swap(fontPending_);
  }
  if (slice.empty() && !clear && !font) return;
  updating_ = true;
  // The view follows the script while the caret sits at its end, as an editor fed at the
  // caret would; a user who moved the caret away keeps the place.
  const QTextCursor before = textCursor();
  const bool follow = !before.hasSelection() && before.atEnd();
  if (clear) document()->clear();
  if (font) ApplyFontToWidget(*font);
  if (!slice.empty()) {
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.beginEditBlock();
    QTextCharFormat fmt;
    const Color background = ToColor(palette().color(QPalette::Base));
    for (const ScriptStore::Piece& r : runs) {
      const Color shown = ScreenPalette::Shown(r.color, background);
      fmt.setForeground(QColor(shown.r, shown.g, shown.b));
      c.insertText(ForWidget(std::string_view(slice).substr(r.start, r.length)), fmt);
    }
    c.endEditBlock();
  }
  if (follow) {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    ensureCursorVisible();
  }
  updating_ = false;
}

void ScriptView::ApplyFontToWidget(const ScriptFont& font) {
  const bool wasUpdating = updating_;
  updating_ = true;
  font_ = font;
  QFont f(QString::fromStdString(font.face));
  f.setStyleHint(QFont::Monospace);
  f.setFixedPitch(true);
  f.setPointSizeF(font.pointSize > 0 ? font.pointSize : 8.5);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  // Pieces carry only their colour, so the default font reaches every one of them and the
  // colours stay as they are.
  document()->setDefaultFont(f);
  setFont(f);
  updating_ = wasUpdating;
}

void ScriptView::OnContentsChange(int, int removed, int added) {
  // A partial widget is refilled whole before the user can type into it (keyPressEvent).
  if (updating_ || partial_ || (removed == 0 && added == 0)) return;
  // The user edited the text: the exact copy becomes the widget's text, followed by what is
  // still waiting to be shown.
  std::lock_guard<std::mutex> lock(mu_);
  ScriptStore unshown;
  store_.ForEachPiece(shown_, [&](const ScriptStore::Piece& p) {
    unshown.Append(std::string_view(store_.Text()).substr(p.start, p.length), p.color);
  });
  store_.Clear();
  if (!clearPending_) {
    Color last{};
    const Color background = ToColor(palette().color(QPalette::Base));
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment frag = it.fragment();
        last = ScreenPalette::Stored(ToColor(frag.charFormat().foreground().color()), background);
        store_.Append(frag.text().toStdString(), last);
      }
      if (b.next().isValid()) store_.Append("\r\n", last);
    }
  }
  shown_ = store_.Text().size();
  unshown.ForEachPiece(0, [&](const ScriptStore::Piece& p) {
    store_.Append(std::string_view(unshown.Text()).substr(p.start, p.length), p.color);
  });
}

void ScriptView::changeEvent(QEvent* e) {
  QPlainTextEdit::changeEvent(e);
  if (e->type() != QEvent::PaletteChange) return;
  // The shades follow the background: shown again, whole, from the exact text.
  {
    std::lock_guard<std::mutex> lock(mu_);
    partial_ = true;
  }
  Drain();
}

bool ScriptView::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(e);
    if (key->modifiers() == Qt::ControlModifier && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z &&
        QStringLiteral("FJKLMNOPRST").contains(QChar(key->key()))) {
      e->ignore();
      return false;
    }
  }
  return QPlainTextEdit::event(e);
}

void ScriptView::keyPressEvent(QKeyEvent* event) {
  if (partial_) Drain();
  // A command key whose command is disabled does nothing, rather than the editor's binding.
  if (event->modifiers() == Qt::ControlModifier && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z &&
      QStringLiteral("FJKLMNOPRST").contains(QChar(event->key()))) {
    event->ignore();
    return;
  }
  if (ignoreTyping_) {
    const QString t = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = event->key();
    const bool typesText =
        !t.isEmpty() && (t.at(0).isPrint() || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab);
    if (typesText && !command) {
      event->accept();
      return;
    }
  }
  QPlainTextEdit::keyPressEvent(event);
}

bool ScriptView::FindForward(const QString& text, bool matchCase, bool wholeWord, bool fromTop) {
  Drain();
  QTextDocument::FindFlags flags;
  if (matchCase) flags |= QTextDocument::FindCaseSensitively;
  if (wholeWord) flags |= QTextDocument::FindWholeWords;
  QTextCursor from = textCursor();
  if (fromTop)
    from.movePosition(QTextCursor::Start);
  else
    from.setPosition(from.selectionEnd());
  const QTextCursor found = document()->find(text, from, flags);
  if (found.isNull()) return false;
  setTextCursor(found);
  return true;
}

}  // namespace mv
