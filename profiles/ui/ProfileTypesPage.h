#pragma once
#include "profiles/ProfileEditing.h"
#include "profiles/ui/ProfilePage.h"

class QButtonGroup;
class QLineEdit;
class QListWidget;

namespace mv::ui {

// "Data Types": the length rule with its type list, and the translation of each type.
class ProfileTypesPage : public ProfilePage {
  Q_OBJECT
 public:
  explicit ProfileTypesPage(QWidget* parent = nullptr);
  void Fill(const Profile& p) override;
  bool Apply(Profile& p) override;
  bool Modified() const override { return model_.Modified(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowModel();
  TypesPageModel model_;
  QButtonGroup* rules_;
  QListWidget* omitList_;
  QListWidget* typeList_;
  QLineEdit* translation_;
  std::string shownText_;
  bool filling_ = false;
};

}  // namespace mv::ui
