#pragma once
#include "profiles/ProfileEditing.h"
#include "profiles/ui/ProfilePage.h"

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace mv::ui {

// "Functions": the four wrappers and the only-if-value flag of each data type.
class ProfileFunctionsPage : public ProfilePage {
  Q_OBJECT
 public:
  explicit ProfileFunctionsPage(QWidget* parent = nullptr);
  void Fill(const Profile& p) override;
  bool Apply(Profile& p) override;
  bool Modified() const override { return model_.Modified(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  FunctionFields Current() const;
  void Show(const FunctionFields& f);
  FunctionsPageModel model_;
  QListWidget* types_;
  QLineEdit* edits_[4];
  QCheckBox* onlyIfValue_;
  FunctionFields shown_;
  bool filling_ = false;
};

}  // namespace mv::ui
