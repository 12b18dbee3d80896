#include "profiles/ui/ProfileFunctionsPage.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "base/ui/UiText.h"

namespace mv::ui {

ProfileFunctionsPage::ProfileFunctionsPage(QWidget* parent)
    : ProfilePage(parent),
      types_(new QListWidget(this)),
      onlyIfValue_(new QCheckBox("Only if value is not null or empty", this)) {
  auto* outer = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  auto* pick = new QLabel("Select a data type to view its applicable functions.", this);
  pick->setWordWrap(true);
  pick->setBuddy(types_);
  left->addWidget(pick);
  left->addWidget(types_, 1);
  outer->addLayout(left, 1);

  auto* right = new QVBoxLayout;
  int e = 0;
  for (const char* title : {"Before Data Retrieval", "Included in Script"}) {
    auto* box = new QGroupBox(title, this);
    auto* form = new QFormLayout(box);
    for (const char* label : {"Function Prefix:", "Function Suffix:"}) {
      edits_[e] = TextField(box);
      edits_[e]->installEventFilter(this);
      form->addRow(label, edits_[e]);
      ++e;
    }
    right->addWidget(box);
  }
  right->addWidget(onlyIfValue_);
  right->addWidget(new QLabel("(See Data tab for more info)", this));
  right->addStretch(1);
  outer->addLayout(right, 2);

  for (const std::string& n : model_.Names()) types_->addItem(Q(n));
  connect(onlyIfValue_, &QCheckBox::clicked, this, [this] { model_.MarkModified(); });
  connect(types_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!filling_) Show(model_.Select(row, Current()));
  });
}

bool ProfileFunctionsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) model_.MarkModified();
  return ProfilePage::eventFilter(watched, event);
}

FunctionFields ProfileFunctionsPage::Current() const {
  return {Kept(edits_[0]->text(), shown_.retrievePrefix), Kept(edits_[1]->text(), shown_.retrieveSuffix),
          Kept(edits_[2]->text(), shown_.scriptPrefix), Kept(edits_[3]->text(), shown_.scriptSuffix),
          onlyIfValue_->isChecked() ? 1 : 0};
}

void ProfileFunctionsPage::Show(const FunctionFields& f) {
  shown_ = f;
  edits_[0]->setText(Q(f.retrievePrefix));
  edits_[1]->setText(Q(f.retrieveSuffix));
  edits_[2]->setText(Q(f.scriptPrefix));
  edits_[3]->setText(Q(f.scriptSuffix));
  onlyIfValue_->setChecked(f.onlyIfValue != 0);
}

void ProfileFunctionsPage::Fill(const Profile& p) {
  filling_ = true;
  Show(model_.Show(p));
  types_->setCurrentRow(model_.ShownRow());
  filling_ = false;
}

bool ProfileFunctionsPage::Apply(Profile& p) {
  model_.Apply(p, Current());
  return true;
}

}  // namespace mv::ui
