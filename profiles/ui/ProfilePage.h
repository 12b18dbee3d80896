#pragma once
#include <QWidget>

#include "profiles/Profile.h"

namespace mv::ui {

// One page of the profile manager: shows a profile and copies its edits back when applied.
class ProfilePage : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  // Shows the profile's fields; the page is then not modified.
  virtual void Fill(const Profile& p) = 0;
  // Copies the edits back when the page is modified (and marks the profile changed). False
  // when the page refuses this time and the manager must stay open.
  virtual bool Apply(Profile& p) = 0;
  virtual bool Modified() const = 0;
};

}  // namespace mv::ui
