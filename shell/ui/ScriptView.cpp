#include "shell/ui/ScriptView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <cstring>

#include "run/ScreenPalette.h"

namespace mv {

namespace {

// The batch interval: often enough to look live, rarely enough to cost nothing.
constexpr int kDrainMs = 150;
constexpr int kMargin = 4;  // pixels left of the text

bool OnUiThread(const QObject* o) { return QThread::currentThread() == o->thread(); }

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool IsWordByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x80 || std::isalnum(u) || c == '_';
}

// A line's bytes without its line break.
std::string_view Content(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// As the screen and the clipboard show text: one "\n" per line break, a lone "\r" a blank.
QString Shown(std::string_view text) {
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar(' '));
  return s;
}

// As the screen draws it: a tab is one blank wide, so that a column is a character.
QString Painted(std::string_view text) { return Shown(text).replace(QChar('\t'), QChar(' ')); }

// One line on the screen: its start offset, its text and its colour runs.
struct ScreenLine {
  size_t start = 0;
  std::string bytes;  // without the line break
  std::vector<ScriptStore::Piece> pieces;
};

// The x of byte `column` of a line, in pixels from the text's left edge.
int XOf(const QFontMetrics& fm, std::string_view bytes, size_t column) {
  column = std::min(column, bytes.size());
  return fm.horizontalAdvance(Painted(bytes.substr(0, column)));
}

}  // namespace

ScriptView::ScriptView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setAutoFillBackground(true);
  viewport()->setBackgroundRole(QPalette::Base);
  ApplyFont(font_);
  script_.SetWake([this] {
    // Posted by name, as every call from the worker is: Qt's queued event then carries nothing of ours.
    if (!wakePosted_.exchange(true)) QMetaObject::invokeMethod(this, "TakeNow", Qt::QueuedConnection);
  });
  drainTimer_.setInterval(kDrainMs);
  connect(&drainTimer_, &QTimer::timeout, this, &ScriptView::Drain);
  drainTimer_.start();
}

ScriptView::~ScriptView() { script_.Release(); }

void ScriptView::TakeNow() {
  wakePosted_ = false;
  Drain();
}

void ScriptView::Insert(std::string_view text, Color color) {
  if (text.empty()) return;
  const bool ui = OnUiThread(this);
  script_.Append(text, color, !ui);
  if (ui) Drain();
}

void ScriptView::InsertRuns(std::string_view text, std::span<const Run> runs) {
  if (text.empty()) return;
  const bool ui = OnUiThread(this);
  script_.AppendRuns(text, runs, !ui);
  if (ui) Drain();
}

void ScriptView::Empty() {
  script_.Clear();
  if (OnUiThread(this)) Drain();
}

void ScriptView::SetFont(const ScriptFont& font) {
  {
    std::lock_guard<std::mutex> lock(fontMu_);
    face_ = font.face;
    heightTwips_ = static_cast<int>(font.pointSize * 20 + 0.5);
    fontPending_ = font;
  }
  if (OnUiThread(this)) Drain();
}

long ScriptView::LineCount() const {
  return script_.Read([](const ScriptStore& s) { return s.LineCount(); });
}

std::string ScriptView::Line(long index) const {
  return script_.Read([&](const ScriptStore& s) { return s.Line(index); });
}

std::string ScriptView::WholeText() const {
  return script_.Read([](const ScriptStore& s) { return std::string(s.Text()); });
}

bool ScriptView::IsEmpty() const {
  return script_.Read([](const ScriptStore& s) { return s.Text().empty(); });
}

std::string ScriptView::Rtf() const {
  std::string face;
  int height = 0;
  {
    std::lock_guard<std::mutex> lock(fontMu_);
    face = face_;
    height = heightTwips_;
  }
  return script_.Read([&](const ScriptStore& s) { return s.Rtf(face, height); });
}

bool ScriptView::HasPending() const {
  std::lock_guard<std::mutex> lock(fontMu_);
  return script_.Pending() || fontPending_.has_value();
}

void ScriptView::MoveInsertionToEnd() {
  if (!OnUiThread(this)) return;
  Drain();
  SetCaret(bytes_);
}

void ScriptView::Drain() {
  std::optional<ScriptFont> font;
  {
    std::lock_guard<std::mutex> lock(fontMu_);
    font.swap(fontPending_);
  }
  if (font) ApplyFont(*font);
  const bool had = caret_ != anchor_;
  // The view follows the script while the caret sits at its end, as an editor fed at the caret
  // would; a user who moved the caret away keeps the place.
  const bool follow = caret_ == anchor_ && caret_ >= bytes_;
  const SharedScript::Batch b = script_.Take();
  if (!b.cleared && b.written == 0 && !font && b.bytes == bytes_) return;
  lines_ = b.lines;
  bytes_ = b.bytes;
  longest_ = b.longestLine;
  if (b.cleared || follow) {
    caret_ = anchor_ = follow ? bytes_ : std::min(caret_, bytes_);
    if (b.cleared && !follow) caret_ = anchor_ = 0;
  }
  caret_ = std::min(caret_, bytes_);
  anchor_ = std::min(anchor_, bytes_);
  UpdateScrollBars();
  if (follow) {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    horizontalScrollBar()->setValue(0);
  }
  SelectionChanged(had);
  viewport()->update();
}

void ScriptView::ApplyFont(const ScriptFont& font) {
  font_ = font;
  QFont f(QString::fromStdString(font.face));
  f.setStyleHint(QFont::Monospace);
  f.setFixedPitch(true);
  f.setPointSizeF(font.pointSize > 0 ? font.pointSize : 8.5);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  setFont(f);
  viewport()->setFont(f);
  const QFontMetrics fm(f);
  lineHeight_ = std::max(1, fm.lineSpacing());
  ascent_ = fm.ascent();
  charWidth_ = std::max(1, fm.horizontalAdvance(QChar('M')));
  UpdateScrollBars();
  viewport()->update();
}

int ScriptView::VisibleLines() const { return std::max(1, viewport()->height() / lineHeight_); }

void ScriptView::UpdateScrollBars() {
  const int page = VisibleLines();
  const long maxFirst = std::max<long>(0, lines_ - page);
  verticalScrollBar()->setRange(0, static_cast<int>(std::min<long>(maxFirst, INT32_MAX)));
  verticalScrollBar()->setPageStep(page);
  verticalScrollBar()->setSingleStep(1);
  const long width = static_cast<long>(longest_) * charWidth_ + 2 * kMargin;
  horizontalScrollBar()->setRange(0, static_cast<int>(std::clamp<long>(width - viewport()->width(), 0, INT32_MAX)));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(charWidth_);
}

void ScriptView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

long ScriptView::FirstVisibleLine() const { return verticalScrollBar()->value(); }

void ScriptView::paintEvent(QPaintEvent*) {
  const long first = FirstVisibleLine();
  const long count = VisibleLines() + 1;
  std::vector<ScreenLine> screen;
  script_.Read([&](const ScriptStore& s) {
    const long last = std::min<long>(first + count, s.LineCount());
    for (long i = first; i < last; ++i) {
      ScreenLine l;
      l.start = s.LineStart(i);
      l.bytes = std::string(Content(s.Text().substr(l.start, s.LineStart(i + 1) - l.start)));
      const size_t end = l.start + l.bytes.size();
      s.ForEachPiece(l.start, [&](ScriptStore::Piece p) {
        if (p.start >= end) return;
        p.length = std::min(p.length, end - p.start);
        p.start -= l.start;
        l.pieces.push_back(p);
      });
      screen.push_back(std::move(l));
    }
  });
  QPainter painter(viewport());
  const QFontMetrics fm(font());
  const int left = kMargin - horizontalScrollBar()->value();
  const size_t selFrom = SelectionStart(), selTo = SelectionEnd();
  const QPalette& pal = palette();
  // The script keeps the palette's own colours; each is shown in the shade that reads on this
  // background (a dark theme takes the dark variants).
  const QColor base = pal.color(QPalette::Base);
  const Color background{static_cast<uint8_t>(base.red()), static_cast<uint8_t>(base.green()),
                         static_cast<uint8_t>(base.blue())};
  for (size_t row = 0; row < screen.size(); ++row) {
    const ScreenLine& l = screen[row];
    const int top = static_cast<int>(row) * lineHeight_;
    const size_t lineEnd = l.start + l.bytes.size();
    // The selection, and a little beyond the end of a line whose break it takes.
    QRect selected;
    if (selTo > selFrom && selFrom <= lineEnd && selTo > l.start) {
      const size_t a = std::max(selFrom, l.start) - l.start;
      const size_t b = std::min(selTo, lineEnd) - l.start;
      const int x0 = left + XOf(fm, l.bytes, a);
      const int x1 = left + XOf(fm, l.bytes, b) + (selTo > lineEnd ? charWidth_ / 2 : 0);
      selected = QRect(x0, top, std::max(0, x1 - x0), lineHeight_);
      painter.fillRect(selected, pal.brush(QPalette::Highlight));
    }
    int x = left;
    for (const ScriptStore::Piece& p : l.pieces) {
      const QString text = Painted(std::string_view(l.bytes).substr(p.start, p.length));
      const Color shown = ScreenPalette::Shown(p.color, background);
      painter.setPen(QColor(shown.r, shown.g, shown.b));
      painter.drawText(x, top + ascent_, text);
      x += fm.horizontalAdvance(text);
    }
    if (!selected.isEmpty()) {
      // Selected text in the theme's own colour for it: a script colour may not read on the
      // selection's background.
      painter.save();
      painter.setClipRect(selected);
      painter.setPen(pal.color(QPalette::HighlightedText));
      painter.drawText(left, top + ascent_, Painted(l.bytes));
      painter.restore();
    }
    if (caretShown_ && caret_ >= l.start && caret_ <= lineEnd) {
      const int cx = left + XOf(fm, l.bytes, caret_ - l.start);
      painter.fillRect(QRect(cx, top, 1, lineHeight_), pal.brush(QPalette::Text));
    }
  }
}

size_t ScriptView::OffsetAt(const QPoint& p) const {
  const long line = std::clamp<long>(FirstVisibleLine() + p.y() / lineHeight_, 0, std::max<long>(0, lines_ - 1));
  const QFontMetrics fm(font());
  const int x = p.x() - kMargin + horizontalScrollBar()->value();
  return script_.Read([&](const ScriptStore& s) {
    const size_t start = s.LineStart(line);
    const std::string_view bytes = Content(s.Text().substr(start, s.LineStart(line + 1) - start));
    size_t column = 0;
    int at = 0;
    while (column < bytes.size()) {
      size_t next = column + 1;
      while (next < bytes.size() && IsContinuation(bytes[next])) ++next;
      const int w = fm.horizontalAdvance(Painted(bytes.substr(column, next - column)));
      if (x < at + w / 2) break;
      at += w;
      column = next;
    }
    return start + column;
  });
}

void ScriptView::EnsureCaretVisible() {
  const long line = script_.Read([&](const ScriptStore& s) {
    // The line holding the caret: the last whose start is at or before it.
    long lo = 0, hi = s.LineCount() - 1;
    while (lo < hi) {
      const long mid = (lo + hi + 1) / 2;
      if (s.LineStart(mid) <= caret_)
        lo = mid;
      else
        hi = mid - 1;
    }
    return lo;
  });
  QScrollBar* v = verticalScrollBar();
  if (line < v->value())
    v->setValue(static_cast<int>(line));
  else if (line >= v->value() + VisibleLines())
    v->setValue(static_cast<int>(line - VisibleLines() + 1));
  const int x = script_.Read([&](const ScriptStore& s) {
    const size_t start = s.LineStart(line);
    return XOf(QFontMetrics(font()), s.Text().substr(start, caret_ - start), caret_ - start);
  });
  QScrollBar* h = horizontalScrollBar();
  if (x < h->value())
    h->setValue(std::max(0, x - viewport()->width() / 3));
  else if (x > h->value() + viewport()->width() - 2 * kMargin)
    h->setValue(x - viewport()->width() * 2 / 3);
}

void ScriptView::SetCaret(size_t offset, bool keepAnchor) {
  const bool had = caret_ != anchor_;
  caret_ = std::min(offset, script_.Read([](const ScriptStore& s) { return s.Text().size(); }));
  if (!keepAnchor) anchor_ = caret_;
  EnsureCaretVisible();
  SelectionChanged(had);
  viewport()->update();
}

void ScriptView::SelectionChanged(bool had) {
  const bool has = caret_ != anchor_;
  if (has != had) emit copyAvailable(has);
}

QString ScriptView::SelectedText() const {
  const size_t from = SelectionStart(), to = SelectionEnd();
  return script_.Read([&](const ScriptStore& s) {
    const size_t a = std::min(from, s.Text().size());
    return Shown(s.Text().substr(a, std::min(to, s.Text().size()) - a));
  });
}

QString ScriptView::toPlainText() const {
  return script_.Read([](const ScriptStore& s) { return Shown(s.Text()); });
}

Color ScriptView::ColorAt(size_t offset) const {
  return script_.Read([&](const ScriptStore& s) { return s.ColorBefore(offset + 1); });
}

void ScriptView::copy() {
  if (caret_ != anchor_) QApplication::clipboard()->setText(SelectedText());
}

void ScriptView::selectAll() {
  const bool had = caret_ != anchor_;
  anchor_ = 0;
  caret_ = script_.Read([](const ScriptStore& s) { return s.Text().size(); });
  SelectionChanged(had);
  viewport()->update();
}

std::unique_ptr<QTextDocument> ScriptView::PrintDocument() const {
  auto doc = std::make_unique<QTextDocument>();
  doc->setUndoRedoEnabled(false);
  doc->setDefaultFont(font());
  QTextCursor c(doc.get());
  QTextCharFormat fmt;
  script_.Read([&](const ScriptStore& s) {
    s.ForEachPiece(0, [&](const ScriptStore::Piece& p) {
      fmt.setForeground(QColor(p.color.r, p.color.g, p.color.b));
      c.insertText(Shown(s.Text().substr(p.start, p.length)), fmt);
    });
  });
  return doc;
}

void ScriptView::EditText(size_t from, size_t to, std::string_view text) {
  script_.Edit([&](ScriptStore& s) { s.Replace(from, to, text, s.ColorBefore(from == 0 ? 1 : from)); });
  const size_t end = from + text.size();
  const SharedScript::Batch b = script_.Take();
  lines_ = b.lines;
  bytes_ = b.bytes;
  longest_ = b.longestLine;
  UpdateScrollBars();
  SetCaret(end);
}

bool ScriptView::MoveByKey(int key, bool control, size_t& to) const {
  return script_.Read([&](const ScriptStore& s) {
    const std::string_view t = s.Text();
    const size_t at = std::min(caret_, t.size());
    long line = 0;
    for (long lo = 0, hi = s.LineCount() - 1; lo <= hi;) {
      const long mid = (lo + hi) / 2;
      if (s.LineStart(mid) <= at)
        line = mid, lo = mid + 1;
      else
        hi = mid - 1;
    }
    auto contentEnd = [&](long l) {
      const size_t start = s.LineStart(l);
      return start + Content(std::string_view(t).substr(start, s.LineStart(l + 1) - start)).size();
    };
    // Columns in characters, so that Up and Down keep the place over multi-byte text.
    auto chars = [&](size_t from, size_t until) {
      size_t n = 0;
      for (size_t i = from; i < until; ++i) n += IsContinuation(t[i]) ? 0 : 1;
      return n;
    };
    auto atColumn = [&](long l, size_t column) {
      size_t i = s.LineStart(l);
      const size_t end = contentEnd(l);
      for (; i < end && column > 0; --column)
        for (++i; i < end && IsContinuation(t[i]);) ++i;
      return i;
    };
    const size_t column = chars(s.LineStart(line), at);
    const long page = VisibleLines();
    switch (key) {
      case Qt::Key_Left:
        if (at == 0) return false;
        to = at - 1;
        while (to > 0 && (IsContinuation(t[to]) || (t[to] == '\n' && t[to - 1] == '\r'))) --to;
        if (to > 0 && t[to] == '\n' && t[to - 1] == '\r') --to;
        return true;
      case Qt::Key_Right:
        if (at >= t.size()) return false;
        if (at == contentEnd(line)) {
          to = s.LineStart(line + 1);
          return true;
        }
        to = at + 1;
        while (to < t.size() && IsContinuation(t[to])) ++to;
        return true;
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown: {
        const long step = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : key == Qt::Key_PageUp ? -page : page;
        const long target = std::clamp<long>(line + step, 0, s.LineCount() - 1);
        to = atColumn(target, column);
        return true;
      }
      case Qt::Key_Home:
        to = control ? 0 : s.LineStart(line);
        return true;
      case Qt::Key_End:
        to = control ? t.size() : contentEnd(line);
        return true;
      default:
        return false;
    }
  });
}

namespace {
// The program's Ctrl+letter commands, which the view leaves to the window.
bool IsCommandKey(const QKeyEvent* key) {
  return key->modifiers() == Qt::ControlModifier && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z &&
         QStringLiteral("FJKLMNOPRST").contains(QChar(key->key()));
}
}  // namespace

bool ScriptView::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride && IsCommandKey(static_cast<QKeyEvent*>(e))) {
    e->ignore();
    return false;
  }
  return QAbstractScrollArea::event(e);
}

void ScriptView::keyPressEvent(QKeyEvent* event) {
  Drain();
  if (IsCommandKey(event)) {
    event->ignore();
    return;
  }
  const bool control = event->modifiers() & Qt::ControlModifier;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if (event->matches(QKeySequence::Copy)) {
    copy();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
    return;
  }
  size_t to = 0;
  if (MoveByKey(event->key(), control, to)) {
    SetCaret(to, shift);
    return;
  }
  const size_t from = SelectionStart(), until = SelectionEnd();
  const int key = event->key();
  if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
    if (from != until) {
      EditText(from, until, {});
    } else {
      size_t other = 0;
      if (MoveByKey(key == Qt::Key_Backspace ? Qt::Key_Left : Qt::Key_Right, false, other))
        EditText(std::min(other, caret_), std::max(other, caret_), {});
    }
    return;
  }
  const QString t = event->text();
  const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const bool typesText = !command && ((!t.isEmpty() && t.at(0).isPrint()) || key == Qt::Key_Return ||
                                      key == Qt::Key_Enter || key == Qt::Key_Tab);
  if (!typesText) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  if (ignoreTyping_) {
    event->accept();
    return;
  }
  const std::string typed = key == Qt::Key_Return || key == Qt::Key_Enter ? std::string("\r\n")
                            : key == Qt::Key_Tab                          ? std::string("\t")
                                                                          : t.toStdString();
  EditText(from, until, typed);
}

void ScriptView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  Drain();
  SetCaret(OffsetAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void ScriptView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) SetCaret(OffsetAt(event->position().toPoint()), true);
}

void ScriptView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const size_t at = OffsetAt(event->position().toPoint());
  size_t a = at, b = at;
  script_.Read([&](const ScriptStore& s) {
    const std::string_view t = s.Text();
    while (a > 0 && IsWordByte(t[a - 1])) --a;
    while (b < t.size() && IsWordByte(t[b])) ++b;
  });
  SetCaret(a);
  SetCaret(b, true);
}

void ScriptView::focusInEvent(QFocusEvent* event) {
  caretShown_ = true;
  viewport()->update();
  QAbstractScrollArea::focusInEvent(event);
}

void ScriptView::focusOutEvent(QFocusEvent* event) {
  caretShown_ = false;
  viewport()->update();
  QAbstractScrollArea::focusOutEvent(event);
}

bool ScriptView::FindForward(const QString& text, bool matchCase, bool wholeWord, bool fromTop) {
  Drain();
  const std::string needle = text.toStdString();
  if (needle.empty()) return false;
  const size_t from = fromTop ? 0 : SelectionEnd();
  auto same = [matchCase](char a, char b) {
    if (matchCase) return a == b;
    const unsigned char x = static_cast<unsigned char>(a), y = static_cast<unsigned char>(b);
    return x == y || (x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y));
  };
  const size_t found = script_.Read([&](const ScriptStore& s) -> size_t {
    const std::string_view t = s.Text();
    for (auto it = t.begin() + static_cast<std::ptrdiff_t>(std::min(from, t.size()));;) {
      it = std::search(it, t.end(), needle.begin(), needle.end(), same);
      if (it == t.end()) return std::string::npos;
      const size_t at = static_cast<size_t>(it - t.begin());
      const size_t end = at + needle.size();
      if (!wholeWord || ((at == 0 || !IsWordByte(t[at - 1])) && (end >= t.size() || !IsWordByte(t[end])))) return at;
      ++it;
    }
  });
  if (found == std::string::npos) return false;
  SetCaret(found);
  SetCaret(found + needle.size(), true);
  return true;
}

}  // namespace mv
