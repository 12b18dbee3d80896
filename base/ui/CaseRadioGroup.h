#pragma once
#include <QGroupBox>

class QButtonGroup;

namespace mv::ui {

// A titled group of three radio buttons for a case rule: 0 upper, 1 lower, 2 untouched.
class CaseRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  CaseRadioGroup(const QString& title, const QString& upper, const QString& lower, const QString& untouched,
                 QWidget* parent = nullptr);
  // A rule outside 0..2 leaves the buttons as they are, or unchecks all three when asked to.
  void SetRule(int rule, bool clearWhenOutside = false);
  // The checked button, or -1 when none is.
  int Rule() const;

 signals:
  void clicked(int rule);

 private:
  QButtonGroup* group_;
};

}  // namespace mv::ui
