#pragma once
#include <vector>

#include "profiles/ProfileEditing.h"
#include "profiles/ui/ProfilePage.h"

class QLineEdit;
class QCheckBox;

namespace mv::ui {

class CaseRadioGroup;

// The General, Structure, Data and Index pages: plain fields, laid out from their table.
class ProfileFieldPage : public ProfilePage {
  Q_OBJECT
 public:
  ProfileFieldPage(int page, QWidget* parent = nullptr);
  void Fill(const Profile& p) override;
  bool Apply(Profile& p) override;
  bool Modified() const override { return modified_; }

 private:
  struct Control {
    const ProfileField* field;
    QLineEdit* edit = nullptr;
    QCheckBox* check = nullptr;
    CaseRadioGroup* radios = nullptr;
    std::string shown;  // the text as filled, kept byte for byte when not edited
  };
  std::vector<Control> controls_;
  bool modified_ = false;
  bool filling_ = false;
};

}  // namespace mv::ui
