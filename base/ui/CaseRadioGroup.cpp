#include "base/ui/CaseRadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace mv::ui {

CaseRadioGroup::CaseRadioGroup(const QString& title, const QString& upper, const QString& lower,
                               const QString& untouched, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  int id = 0;
  for (const QString& text : {upper, lower, untouched}) {
    auto* b = new QRadioButton(text, this);
    group_->addButton(b, id++);
    layout->addWidget(b);
  }
  connect(group_, &QButtonGroup::idClicked, this, &CaseRadioGroup::clicked);
}

void CaseRadioGroup::SetRule(int rule, bool clearWhenOutside) {
  if (rule >= 0 && rule <= 2) {
    group_->button(rule)->setChecked(true);
  } else if (clearWhenOutside) {
    // An exclusive group cannot uncheck its last button.
    group_->setExclusive(false);
    for (auto* b : group_->buttons()) b->setChecked(false);
    group_->setExclusive(true);
  }
}

int CaseRadioGroup::Rule() const { return group_->checkedId(); }

}  // namespace mv::ui
