#include "base/ui/Mnemonics.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <algorithm>

namespace mv::ui {

namespace {

// The letter after a single "&" ("&&" is a literal ampersand); a null char when none.
QChar MnemonicOf(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return {};
}

}  // namespace

void AssignMnemonics(QWidget* root, std::initializer_list<const QAbstractButton*> keep) {
  QSet<QChar> taken;
  auto note = [&taken](const QString& text) {
    const QChar c = MnemonicOf(text);
    if (!c.isNull()) taken.insert(c);
  };
  const QList<QAbstractButton*> buttons = root->findChildren<QAbstractButton*>();
  for (auto* b : buttons) note(b->text());
  for (auto* l : root->findChildren<QLabel*>())
    if (l->buddy()) note(l->text());
  for (auto* g : root->findChildren<QGroupBox*>()) note(g->title());

  auto give = [&taken](QAbstractButton* b) {
    const QString text = b->text();
    if (text.isEmpty() || text.contains('&')) return;
    qsizetype at = -1;
    // Word starts first, then any letter or digit.
    for (int pass = 0; pass < 2 && at < 0; ++pass)
      for (qsizetype i = 0; i < text.size(); ++i) {
        const bool wordStart = i == 0 || !text[i - 1].isLetterOrNumber();
        if (!text[i].isLetterOrNumber() || (pass == 0 && !wordStart)) continue;
        if (text[i].unicode() > 127 || taken.contains(text[i].toLower())) continue;
        at = i;
        break;
      }
    if (at < 0) return;
    taken.insert(text[at].toLower());
    b->setText(text.left(at) + '&' + text.mid(at));
  };
  auto kept = [&keep](const QAbstractButton* b) { return std::find(keep.begin(), keep.end(), b) != keep.end(); };
  for (auto* b : buttons)
    if (qobject_cast<QPushButton*>(b) && !kept(b)) give(b);
  for (auto* b : buttons)
    if (qobject_cast<QCheckBox*>(b) && !kept(b)) give(b);
}

}  // namespace mv::ui
