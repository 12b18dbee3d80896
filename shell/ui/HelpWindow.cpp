#include "shell/ui/HelpWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "base/ui/ScreenFit.h"

namespace mv {

HelpWindow::HelpWindow(std::string helpFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(std::move(helpFolder)) {
  setWindowTitle(QStringLiteral("Mervale Help"));
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({QString::fromStdString(folder_)});
  auto* back = new QPushButton(QStringLiteral("Back"), this);
  auto* home = new QPushButton(QStringLiteral("Contents"), this);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(home, &QPushButton::clicked, this, [this] { ShowTopic("index"); });
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  back->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back);
  buttons->addWidget(home);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(browser_, 1);
  ui::ResizeWithinScreen(this, {640, 520});
}

bool HelpWindow::ShowTopic(const std::string& topic) {
  QString page = QString::fromStdString(folder_ + "/" + topic + ".html");
  if (!QFileInfo::exists(page)) page = QString::fromStdString(folder_ + "/index.html");
  if (!QFileInfo::exists(page)) return false;
  browser_->setSource(QUrl::fromLocalFile(page));
  show();
  raise();
  activateWindow();
  return true;
}

}  // namespace mv
