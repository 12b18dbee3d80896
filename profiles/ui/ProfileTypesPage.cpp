#include "profiles/ui/ProfileTypesPage.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/ui/UiText.h"

namespace mv::ui {

ProfileTypesPage::ProfileTypesPage(QWidget* parent)
    : ProfilePage(parent),
      rules_(new QButtonGroup(this)),
      omitList_(new QListWidget(this)),
      typeList_(new QListWidget(this)),
      translation_(TextField(this)) {
  auto* outer = new QHBoxLayout(this);

  auto* lengths = new QGroupBox("Field Lengths", this);
  auto* lengthsLayout = new QVBoxLayout(lengths);
  int id = 0;
  for (const char* text :
       {"Always include length", "Omit length for numeric fields", "Omit length for the following types:"}) {
    auto* b = new QRadioButton(text, lengths);
    rules_->addButton(b, id++);
    lengthsLayout->addWidget(b);
  }
  omitList_->setSelectionMode(QAbstractItemView::MultiSelection);
  lengthsLayout->addWidget(omitList_, 1);
  outer->addWidget(lengths, 1);

  auto* translations = new QGroupBox("Data Type Translations", this);
  auto* tl = new QVBoxLayout(translations);
  auto* pick = new QLabel("Select a data type to view what it translates to:", translations);
  pick->setWordWrap(true);
  pick->setBuddy(typeList_);
  tl->addWidget(pick);
  tl->addWidget(typeList_, 1);
  auto* to = new QLabel("Translates to:", translations);
  to->setBuddy(translation_);
  tl->addWidget(to);
  tl->addWidget(translation_);
  outer->addWidget(translations, 1);

  for (const std::string& n : model_.Names()) {
    omitList_->addItem(Q(n));
    typeList_->addItem(Q(n));
  }
  translation_->installEventFilter(this);

  connect(rules_, &QButtonGroup::idClicked, this, [this](int rule) {
    model_.ChooseLengthRule(rule);
    omitList_->setEnabled(model_.OmitListEnabled());
  });
  connect(omitList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    for (int i = 0; i < omitList_->count(); ++i)
      if (omitList_->item(i)->isSelected() != model_.Omitted()[i])
        model_.SetOmitted(i, omitList_->item(i)->isSelected());
  });
  connect(typeList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (filling_) return;
    const std::string before = Kept(translation_->text(), shownText_);
    shownText_ = model_.SelectTranslation(row, before);
    translation_->setText(Q(shownText_));
  });
}

bool ProfileTypesPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == translation_ && event->type() == QEvent::FocusIn) model_.FieldFocused();
  return ProfilePage::eventFilter(watched, event);
}

void ProfileTypesPage::Fill(const Profile& p) {
  filling_ = true;
  shownText_ = model_.Show(p);
  ShowModel();
  typeList_->setCurrentRow(model_.ShownRow());
  translation_->setText(Q(shownText_));
  filling_ = false;
}

void ProfileTypesPage::ShowModel() {
  if (model_.CheckedRule() >= 0) rules_->button(model_.CheckedRule())->setChecked(true);
  omitList_->setEnabled(model_.OmitListEnabled());
  for (int i = 0; i < omitList_->count(); ++i) omitList_->item(i)->setSelected(model_.Omitted()[i]);
}

bool ProfileTypesPage::Apply(Profile& p) {
  model_.Apply(p, Kept(translation_->text(), shownText_));
  return true;
}

}  // namespace mv::ui
