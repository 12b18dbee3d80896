#pragma once
#include "profiles/ProfileEditing.h"
#include "profiles/ui/ProfilePage.h"

class QLineEdit;
class QListWidget;

namespace mv {
class Host;
}

namespace mv::ui {

// "Substitutions": find and replace pairs, listed in their display form.
class ProfileSubstitutionsPage : public ProfilePage {
  Q_OBJECT
 public:
  ProfileSubstitutionsPage(Host& host, QWidget* parent = nullptr);
  void Fill(const Profile& p) override;
  bool Apply(Profile& p) override;
  bool Modified() const override { return model_.Modified(); }

 private:
  void AddPair();
  void ShowList();
  Host& host_;
  SubstitutionsPageModel model_;
  QLineEdit* find_;
  QLineEdit* with_;
  QListWidget* list_;
};

}  // namespace mv::ui
