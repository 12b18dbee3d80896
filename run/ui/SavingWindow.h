#pragma once
#include <QDialog>
#include <QProgressBar>

namespace mv {

// The modeless "Saving..." window shown while a script is written to a file.
class SavingWindow : public QDialog {
  Q_OBJECT
 public:
  explicit SavingWindow(QWidget* parent = nullptr);
  QProgressBar* Bar() { return bar_; }

 private:
  QProgressBar* bar_;
};

}  // namespace mv
