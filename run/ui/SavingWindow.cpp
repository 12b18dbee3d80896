#include "run/ui/SavingWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace mv {

SavingWindow::SavingWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Saving..."));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Saving script to file"), this));
  bar_ = new QProgressBar(this);
  bar_->setTextVisible(false);
  bar_->setMinimumWidth(260);
  layout->addWidget(bar_);
}

}  // namespace mv
