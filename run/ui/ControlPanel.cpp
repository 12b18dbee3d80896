#include "run/ui/ControlPanel.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "run/ui/PictureButton.h"

namespace mv {

ControlPanel::ControlPanel(Hooks hooks, QWidget* parent) : QDialog(parent), hooks_(std::move(hooks)) {
  setWindowTitle(QStringLiteral("Control Panel"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  // Shown at every start: the window the user works in keeps the focus and its shortcuts.
  setAttribute(Qt::WA_ShowWithoutActivating);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Object being processed:"), this));
  list_ = new QListWidget(this);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setMinimumHeight(110);
  layout->addWidget(list_, 1);

  auto* row = new QHBoxLayout;
  const struct {
    const char* strip;
    const char* tip;
  } pictures[] = {{":/panel/skip.png", "Skip object"},
                  {":/panel/play.png", "Resume"},
                  {":/panel/pause.png", "Pause"},
                  {":/panel/stop.png", "Stop"}};
  for (int i = 0; i < 4; ++i) {
    buttons_[i] = new PictureButton(QString::fromLatin1(pictures[i].strip), QString::fromLatin1(pictures[i].tip), this);
    row->addWidget(buttons_[i]);
  }
  connect(buttons_[kSkip], &QAbstractButton::clicked, this, [this] {
    if (hooks_.skip) hooks_.skip();
  });
  connect(buttons_[kPlay], &QAbstractButton::clicked, this, [this] {
    if (hooks_.play) hooks_.play();
  });
  connect(buttons_[kPause], &QAbstractButton::clicked, this, [this] {
    if (hooks_.pause) hooks_.pause();
  });
  connect(buttons_[kStop], &QAbstractButton::clicked, this, [this] {
    if (hooks_.stop) hooks_.stop();
  });
  row->addStretch(1);
  auto* help = new QPushButton(QStringLiteral("Help"), this);
  help->setObjectName(QStringLiteral("help"));
  auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
  closeButton->setDefault(true);
  connect(help, &QPushButton::clicked, this, [this] {
    if (hooks_.help) hooks_.help();
  });
  connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
  row->addWidget(help);
  row->addWidget(closeButton);
  layout->addLayout(row);

  const char* labels[] = {"Database Analysis", "Structural Scripting", "Data Scripting", "Index Scripting"};
  for (int i = 0; i < 4; ++i) {
    layout->addWidget(new QLabel(QString::fromLatin1(labels[i]), this));
    bars_[i] = new QProgressBar(this);
    bars_[i]->setTextVisible(false);
    bars_[i]->setRange(0, 100);
    bars_[i]->setValue(0);
    layout->addWidget(bars_[i]);
  }
  resize(340, 400);
  ApplyStates(CommandStates{});
}

void ControlPanel::ApplyStates(const CommandStates& s) {
  buttons_[kStop]->setEnabled(s.stop);
  buttons_[kPause]->setEnabled(s.pause);
  buttons_[kPlay]->setEnabled(s.resume);
  buttons_[kSkip]->setEnabled(s.skip);
}

void ControlPanel::ClearList() { list_->clear(); }

int ControlPanel::AddLine(const std::string& name) {
  list_->addItem(QString::fromStdString(name));
  return list_->count() - 1;
}

int ControlPanel::FindLine(const std::string& name, int after) const {
  const QString wanted = QString::fromStdString(name);
  for (int i = after + 1; i < list_->count(); ++i)
    if (list_->item(i)->text() == wanted) return i;
  return -1;
}

void ControlPanel::Select(int index) {
  if (index < 0 || index >= list_->count()) {
    list_->clearSelection();
    return;
  }
  list_->setCurrentRow(index);
  list_->scrollToItem(list_->item(index));
}

void ControlPanel::BarRange(int bar, int n) {
  // An empty range would turn the bar into a busy indicator.
  bars_[bar]->setRange(0, n > 0 ? n : 1);
  bars_[bar]->setValue(0);
}

void ControlPanel::BarSetStep(int bar, int step) { steps_[bar] = step; }

void ControlPanel::BarStep(int bar) {
  QProgressBar* b = bars_[bar];
  // A bar that passes its end starts again, as a stepping progress control does.
  int next = b->value() + steps_[bar];
  if (next > b->maximum()) next = b->minimum() + (next - b->maximum());
  b->setValue(next);
}

void ControlPanel::BarSetPos(int bar, int pos) { bars_[bar]->setValue(std::min(pos, bars_[bar]->maximum())); }

void ControlPanel::closeEvent(QCloseEvent* event) {
  if (hooks_.runActive && hooks_.runActive()) {
    if (hooks_.tell) hooks_.tell("Please wait until Mervale is finished to close the control panel.");
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace mv
