#include "shell/ui/ScriptView.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

namespace mv {

namespace {

// The drain interval: often enough to look live, rarely enough to cost nothing.
constexpr int kDrainMs = 150;

bool OnUiThread(const QObject* o) { return QThread::currentThread() == o->thread(); }

// The widget keeps one paragraph per line; the exact copy keeps the script's own "\r\n".
QString ForWidget(const std::string& text) {
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar(' '));
  return s;
}

}  // namespace

ScriptView::ScriptView(QWidget* parent) : QTextEdit(parent) {
  setAcceptRichText(false);
  setLineWrapMode(QTextEdit::NoWrap);
  // The run's insertions cannot be undone, and an undo stack would hold the whole script.
  document()->setUndoRedoEnabled(false);
  ApplyFontToWidget(font_);
  connect(document(), &QTextDocument::contentsChange, this, &ScriptView::OnContentsChange);
  drainTimer_.setInterval(kDrainMs);
  connect(&drainTimer_, &QTimer::timeout, this, &ScriptView::Drain);
  drainTimer_.start();
}

ScriptView::~ScriptView() = default;

void ScriptView::Insert(std::string_view text, Color color) {
  if (text.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    exact_.Insert(text, color);
    if (!pending_.empty() && pending_.back().color == color)
      pending_.back().text.append(text);
    else
      pending_.push_back({std::string(text), color});
  }
  if (OnUiThread(this)) Drain();
}

void ScriptView::Empty() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    exact_.Empty();
    pending_.clear();
    clearPending_ = true;
  }
  if (OnUiThread(this)) Drain();
}

void ScriptView::SetFont(const ScriptFont& font) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    exact_.SetFont(font);
    fontPending_ = font;
  }
  if (OnUiThread(this)) Drain();
}

long ScriptView::LineCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return exact_.LineCount();
}

std::string ScriptView::Line(long index) const {
  std::lock_guard<std::mutex> lock(mu_);
  return exact_.Line(index);
}

std::string ScriptView::WholeText() const {
  std::lock_guard<std::mutex> lock(mu_);
  return exact_.WholeText();
}

bool ScriptView::IsEmpty() const {
  std::lock_guard<std::mutex> lock(mu_);
  return exact_.IsEmpty();
}

std::string ScriptView::Rtf() const {
  std::lock_guard<std::mutex> lock(mu_);
  return exact_.Rtf();
}

bool ScriptView::HasPending() const {
  std::lock_guard<std::mutex> lock(mu_);
  return !pending_.empty() || clearPending_ || fontPending_.has_value();
}

void ScriptView::MoveInsertionToEnd() {
  if (!OnUiThread(this)) return;
  Drain();
  QTextCursor c = textCursor();
  c.movePosition(QTextCursor::End);
  setTextCursor(c);
}

void ScriptView::Drain() {
  std::vector<Piece> pieces;
  bool clear = false;
  std::optional<ScriptFont> font;
  {
    std::lock_guard<std::mutex> lock(mu_);
    pieces.swap(pending_);
    clear = clearPending_;
    clearPending_ = false;
    font.swap(fontPending_);
  }
  if (pieces.empty() && !clear && !font) return;
  updating_ = true;
  // The view follows the script while the caret sits at its end, as an editor fed at the
  // caret would; a user who moved the caret away keeps the place.
  const QTextCursor before = textCursor();
  const bool follow = !before.hasSelection() && before.atEnd();
  if (clear) document()->clear();
  if (font) ApplyFontToWidget(*font);
  if (!pieces.empty()) {
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.beginEditBlock();
    QTextCharFormat fmt;
    for (const Piece& p : pieces) {
      fmt.setForeground(QColor(p.color.r, p.color.g, p.color.b));
      c.insertText(ForWidget(p.text), fmt);
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
  updating_ = wasUpdating;
}

void ScriptView::OnContentsChange(int, int removed, int added) {
  if (updating_ || (removed == 0 && added == 0)) return;
  // The user edited the text: rebuild the exact copy from the widget, then the text that is
  // still waiting to be shown.
  std::lock_guard<std::mutex> lock(mu_);
  exact_.Empty();
  if (!clearPending_) {
    Color last{};
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment frag = it.fragment();
        const QColor c = frag.charFormat().foreground().color();
        last = Color{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
        exact_.Insert(frag.text().toStdString(), last);
      }
      if (b.next().isValid()) exact_.Insert("\r\n", last);
    }
  }
  for (const Piece& p : pending_) exact_.Insert(p.text, p.color);
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
  return QTextEdit::event(e);
}

void ScriptView::keyPressEvent(QKeyEvent* event) {
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
    const bool typesText = !t.isEmpty() && (t.at(0).isPrint() || key == Qt::Key_Return || key == Qt::Key_Enter ||
                                            key == Qt::Key_Tab);
    if (typesText && !command) {
      event->accept();
      return;
    }
  }
  QTextEdit::keyPressEvent(event);
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
