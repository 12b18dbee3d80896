#include "profiles/ui/ProfileFieldPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "base/TextRules.h"
#include "base/ui/CaseRadioGroup.h"
#include "base/ui/UiText.h"

namespace mv::ui {

ProfileFieldPage::ProfileFieldPage(int page, QWidget* parent) : ProfilePage(parent) {
  auto* outer = new QVBoxLayout(this);
  auto* caseRow = new QHBoxLayout;
  QGroupBox* box = nullptr;
  QVBoxLayout* boxLayout = nullptr;
  const char* boxTitle = nullptr;
  const auto& fields = ProfilePageFields(page);
  controls_.reserve(fields.size());
  for (const ProfileField& f : fields) {
    // Fields of one group share a box; the box ends where the group does.
    QVBoxLayout* target = outer;
    if (f.group) {
      if (!box || boxTitle != f.group) {
        box = new QGroupBox(QString::fromUtf8(f.group), this);
        boxLayout = new QVBoxLayout(box);
        boxTitle = f.group;
        outer->addWidget(box);
      }
      target = boxLayout;
    } else {
      box = nullptr;
      boxTitle = nullptr;
    }
    Control c{&f, nullptr, nullptr, nullptr, {}};
    auto markModified = [this] {
      if (!filling_) modified_ = true;
    };
    switch (f.kind) {
      case ProfileField::Kind::Text: {
        c.edit = TextField(this);
        if (*f.label) {
          auto* label = new QLabel(QString::fromUtf8(f.label), this);
          label->setBuddy(c.edit);
          label->setWordWrap(true);
          if (f.group) {
            // Short labels inside a box sit beside their field.
            auto* row = new QHBoxLayout;
            row->addWidget(label);
            row->addWidget(c.edit, 1);
            target->addLayout(row);
          } else {
            target->addWidget(label);
            target->addWidget(c.edit);
          }
        } else {
          target->addWidget(c.edit);
        }
        connect(c.edit, &QLineEdit::textChanged, this, markModified);
        break;
      }
      case ProfileField::Kind::Number: {
        c.edit = TextField(this);
        c.edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), c.edit));
        c.edit->setMaximumWidth(90);
        auto* row = new QHBoxLayout;
        auto* before = new QLabel(QString::fromUtf8(f.label), this);
        before->setBuddy(c.edit);
        row->addWidget(before);
        row->addWidget(c.edit);
        row->addWidget(new QLabel(QString::fromUtf8(f.after), this));
        row->addStretch(1);
        target->addLayout(row);
        connect(c.edit, &QLineEdit::textChanged, this, markModified);
        break;
      }
      case ProfileField::Kind::Flag:
      case ProfileField::Kind::InvertedFlag:
        c.check = new QCheckBox(QString::fromUtf8(f.label), this);
        target->addWidget(c.check);
        connect(c.check, &QCheckBox::clicked, this, markModified);
        break;
      case ProfileField::Kind::Case:
        c.radios = new CaseRadioGroup(QString::fromUtf8(f.label), QString::fromUtf8(f.choices[0]),
                                      QString::fromUtf8(f.choices[1]), QString::fromUtf8(f.choices[2]), this);
        caseRow->addWidget(c.radios);
        connect(c.radios, &CaseRadioGroup::clicked, this, markModified);
        break;
    }
    controls_.push_back(c);
  }
  if (caseRow->count())
    outer->addLayout(caseRow);
  else
    delete caseRow;
  outer->addStretch(1);
}

void ProfileFieldPage::Fill(const Profile& p) {
  filling_ = true;
  for (Control& c : controls_) {
    const ProfileField& f = *c.field;
    switch (f.kind) {
      case ProfileField::Kind::Text:
        c.shown = p.*f.text;
        c.edit->setText(Q(c.shown));
        break;
      case ProfileField::Kind::Number:
        c.shown = std::to_string(p.*f.number);
        c.edit->setText(Q(c.shown));
        break;
      case ProfileField::Kind::Flag:
        c.check->setChecked(p.*f.number != 0);
        break;
      case ProfileField::Kind::InvertedFlag:
        c.check->setChecked(p.*f.number == 0);
        break;
      case ProfileField::Kind::Case:
        c.radios->SetRule(p.*f.number);
        break;
    }
  }
  filling_ = false;
  modified_ = false;
}

bool ProfileFieldPage::Apply(Profile& p) {
  if (!modified_) return true;
  for (Control& c : controls_) {
    const ProfileField& f = *c.field;
    switch (f.kind) {
      case ProfileField::Kind::Text:
        p.*f.text = Kept(c.edit->text(), c.shown);
        break;
      case ProfileField::Kind::Number:
        p.*f.number = ParseLeadingInt(S(c.edit->text()));
        break;
      case ProfileField::Kind::Flag:
        p.*f.number = c.check->isChecked() ? 1 : 0;
        break;
      case ProfileField::Kind::InvertedFlag:
        p.*f.number = c.check->isChecked() ? 0 : 1;
        break;
      case ProfileField::Kind::Case:
        if (c.radios->Rule() >= 0) p.*f.number = c.radios->Rule();
        break;
    }
  }
  modified_ = false;
  p.b_Changed = 1;
  return true;
}

}  // namespace mv::ui
