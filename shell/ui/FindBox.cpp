#include "shell/ui/FindBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "shell/ui/ScriptView.h"

namespace mv {

FindBox::FindBox(ScriptView& view, MessageFn message, QWidget* parent)
    : QDialog(parent), view_(view), message_(std::move(message)) {
  setWindowTitle(tr("Find"));
  setModal(false);
  text_ = new QLineEdit(this);
  auto* label = new QLabel(tr("Fi&nd what:"), this);
  label->setBuddy(text_);
  wholeWord_ = new QCheckBox(tr("Match &whole word only"), this);
  matchCase_ = new QCheckBox(tr("Match &case"), this);
  findNext_ = new QPushButton(tr("&Find Next"), this);
  findNext_->setDefault(true);
  auto* cancel = new QPushButton(tr("Cancel"), this);

  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(text_, 1);
  auto* left = new QVBoxLayout;
  left->addLayout(row);
  left->addWidget(wholeWord_);
  left->addWidget(matchCase_);
  left->addStretch();
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(findNext_);
  buttons->addWidget(cancel);
  buttons->addStretch();
  auto* top = new QHBoxLayout(this);
  top->addLayout(left, 1);
  top->addLayout(buttons);

  findNext_->setEnabled(false);
  connect(text_, &QLineEdit::textChanged, this, [this](const QString& t) { findNext_->setEnabled(!t.isEmpty()); });
  connect(findNext_, &QPushButton::clicked, this, [this] { FindNext(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

void FindBox::Open() {
  findFromTop_ = true;
  text_->clear();
  show();
  raise();
  activateWindow();
  text_->setFocus();
}

bool FindBox::FindNext() {
  const QString what = text_->text();
  if (what.isEmpty() || !isVisible()) return false;
  const bool matchCase = matchCase_->isChecked(), wholeWord = wholeWord_->isChecked();
  if (!findFromTop_) {
    if (view_.FindForward(what, matchCase, wholeWord, false)) return true;
    if (message_("Mervale has reached the end of the script. Do you wish to continue from the top?",
                 Host::Buttons::YesNo) != Host::Answer::Yes)
      return false;
    findFromTop_ = true;
  }
  if (view_.FindForward(what, matchCase, wholeWord, true)) {
    findFromTop_ = false;
    return true;
  }
  message_("Could not find specified text", Host::Buttons::Ok);
  return false;
}

}  // namespace mv
