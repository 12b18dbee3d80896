#include "profiles/ui/ProfileSubstitutionsPage.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/ui/UiText.h"

namespace mv::ui {

ProfileSubstitutionsPage::ProfileSubstitutionsPage(Host& host, QWidget* parent)
    : ProfilePage(parent), host_(host), find_(TextField(this)), with_(TextField(this)), list_(new QListWidget(this)) {
  auto* outer = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* form = new QFormLayout;
  form->addRow("Replace", find_);
  form->addRow("with", with_);
  row->addLayout(form, 1);
  auto* add = new QPushButton("Add", this);
  row->addWidget(add, 0, Qt::AlignBottom);
  outer->addLayout(row);
  outer->addWidget(list_, 1);
  auto* removeRow = new QHBoxLayout;
  auto* remove = new QPushButton("Remove", this);
  removeRow->addStretch(1);
  removeRow->addWidget(remove);
  outer->addLayout(removeRow);
  auto* note = new QLabel(
      "The above substitutions will be done to strings during the data scripting. Use this option to customize the "
      "output.",
      this);
  note->setWordWrap(true);
  outer->addWidget(note);

  connect(add, &QPushButton::clicked, this, &ProfileSubstitutionsPage::AddPair);
  connect(remove, &QPushButton::clicked, this, [this] {
    model_.Remove(list_->currentRow());
    ShowList();
  });
}

void ProfileSubstitutionsPage::AddPair() {
  if (!model_.Add(S(find_->text()), S(with_->text()), host_)) return;
  ShowList();
  find_->clear();
  with_->clear();
  find_->setFocus();
}

void ProfileSubstitutionsPage::ShowList() {
  list_->clear();
  // Control characters would show as nothing: a tab is drawn as an arrow, a line break as a
  // return mark, anything else as a middle dot. The list only shows; the pairs keep the bytes.
  for (const std::string& e : model_.Entries()) {
    QString shown = Q(e);
    for (QChar& c : shown) {
      if (c == '\t')
        c = QChar(0x2192);
      else if (c == '\n' || c == '\r')
        c = QChar(0x21B5);
      else if (c.unicode() < 0x20)
        c = QChar(0x00B7);
    }
    list_->addItem(shown);
  }
}

void ProfileSubstitutionsPage::Fill(const Profile& p) {
  model_.Show(p);
  ShowList();
}

bool ProfileSubstitutionsPage::Apply(Profile& p) {
  bool added = false;
  const bool applied = model_.Apply(p, S(find_->text()), S(with_->text()), host_, added);
  if (added) {
    ShowList();
    find_->clear();
    with_->clear();
    find_->setFocus();
  }
  return applied;
}

}  // namespace mv::ui
