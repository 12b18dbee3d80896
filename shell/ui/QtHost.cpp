#include "shell/ui/QtHost.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "run/ui/ControlPanel.h"
#include "run/ui/SavingWindow.h"
#include "shell/ui/ScriptView.h"

namespace mv {

QtHost::QtHost(ScriptView& view, QWidget* window) : view_(view), window_(window) {}

QtHost::~QtHost() {
  delete panel_.data();
  delete saving_.data();
  if (savingCursorSet_) QApplication::restoreOverrideCursor();
  while (waitCursorDepth_-- > 0) QApplication::restoreOverrideCursor();
}

ControlPanel* QtHost::Panel() const { return panel_; }

SavingWindow* QtHost::Saving() const { return saving_; }

void QtHost::OnUi(const std::function<void()>& f) {
  if (QThread::currentThread() == thread()) {
    f();
    return;
  }
  std::lock_guard<std::mutex> one(callMu_);
  {
    std::lock_guard<std::mutex> lock(pendingMu_);
    pending_ = &f;
  }
  // Invoked by name, so that the event Qt queues carries nothing of ours.
  QMetaObject::invokeMethod(this, "RunPendingCall", Qt::BlockingQueuedConnection);
  std::lock_guard<std::mutex> lock(pendingMu_);
  pending_ = nullptr;
}

void QtHost::Post(std::function<void()> f) {
  if (QThread::currentThread() == thread()) {
    RunPosted();
    f();
    return;
  }
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(postedMu_);
    first = posted_.empty();
    posted_.push_back(std::move(f));
  }
  // One event carries every call posted until it runs; a later event of the worker's comes after it.
  if (first) QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection);
}

void QtHost::RunPosted() {
  std::vector<std::function<void()>> now;
  {
    std::lock_guard<std::mutex> lock(postedMu_);
    now.swap(posted_);
  }
  for (const auto& f : now) f();
}

void QtHost::RunPendingCall() {
  // What the worker posted before this call shows first.
  RunPosted();
  const std::function<void()>* f = nullptr;
  {
    std::lock_guard<std::mutex> lock(pendingMu_);
    f = pending_;
  }
  if (f) (*f)();
  // Unlocked after the call: the waiting worker takes the lock and sees what the call did.
  std::lock_guard<std::mutex> lock(pendingMu_);
}

Host::Answer QtHost::AskOnUi(const std::string& text, Buttons buttons) {
  if (QThread::currentThread() != thread() || buttons == Buttons::Ok) return AskWithMessageBox(window_, text, buttons);
  return AskWithMessageBox(window_, text, buttons, false, &uiQuestion_);
}

Host::Answer QtHost::AskWithMessageBox(QWidget* parent, const std::string& text, Buttons buttons, bool warning,
                                       QPointer<QMessageBox>* open) {
  QMessageBox box(parent);
  if (open) *open = &box;
  box.setWindowTitle(QStringLiteral("Mervale"));
  box.setText(QString::fromStdString(text));
  switch (buttons) {
    case Buttons::Ok:
      box.setIcon(QMessageBox::Information);
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case Buttons::YesNo:
      box.setIcon(QMessageBox::Question);
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case Buttons::YesNoCancel:
      box.setIcon(QMessageBox::Question);
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  if (warning) box.setIcon(QMessageBox::Warning);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Cancel:
      return Answer::Cancel;
    default:
      // Closing a question box with Escape or the title bar: Cancel where offered, else No.
      return buttons == Buttons::YesNoCancel ? Answer::Cancel : buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
  }
}

void QtHost::SetTitle(const std::string& title) {
  if (QThread::currentThread() == thread()) {
    if (window_) window_->setWindowTitle(QString::fromStdString(title));
    return;
  }
  OnUi([&] {
    if (window_) window_->setWindowTitle(QString::fromStdString(titleSource_ ? titleSource_() : title));
  });
}

Host::Answer QtHost::Message(const std::string& text, Buttons buttons) {
  Answer answer = Answer::Ok;
  const bool fromUi = QThread::currentThread() == thread();
  OnUi([&] {
    answer = message_ ? message_(text, buttons)
             : fromUi ? AskOnUi(text, buttons)
                      : AskWithMessageBox(window_, text, buttons);
  });
  return answer;
}

void QtHost::Warn(const std::string& text) {
  OnUi([&] {
    if (message_)
      message_(text, Buttons::Ok);
    else
      AskWithMessageBox(window_, text, Buttons::Ok, true);
  });
}

bool QtHost::ShowPanel() {
  bool shown = false;
  OnUi([&] {
    delete panel_.data();
    panel_ = panelFactory_ ? panelFactory_() : nullptr;
    if (!panel_) return;
    panel_->show();
    shown = panel_->isVisible();
  });
  std::lock_guard<std::mutex> lock(panelMu_);
  panelUp_ = shown;
  panelLines_.clear();
  return shown;
}

void QtHost::DestroyPanel() {
  {
    std::lock_guard<std::mutex> lock(panelMu_);
    panelUp_ = false;
    panelLines_.clear();
  }
  OnUi([&] { delete panel_.data(); });
}

void QtHost::PanelClearList() {
  {
    std::lock_guard<std::mutex> lock(panelMu_);
    panelLines_.clear();
  }
  Post([this] {
    if (panel_) panel_->ClearList();
  });
}

int QtHost::PanelAddLine(const std::string& name) {
  int index = -1;
  {
    // The index is the panel's to be: the line shows later, in order, and the worker goes on.
    std::lock_guard<std::mutex> lock(panelMu_);
    if (!panelUp_) return -1;
    index = static_cast<int>(panelLines_.size());
    panelLines_.push_back(name);
  }
  Post([this, name] {
    if (panel_) panel_->AddLine(name);
  });
  return index;
}

int QtHost::PanelFindLine(const std::string& name, int after) {
  std::lock_guard<std::mutex> lock(panelMu_);
  for (size_t i = static_cast<size_t>(std::max(after + 1, 0)); i < panelLines_.size(); ++i)
    if (panelLines_[i] == name) return static_cast<int>(i);
  return -1;
}

void QtHost::PanelSelect(int index) {
  Post([this, index] {
    if (panel_) panel_->Select(index);
  });
}

void QtHost::BarRange(Bar bar, int n) {
  Post([this, bar, n] {
    if (panel_) panel_->BarRange(bar, n);
  });
}

void QtHost::BarSetStep(Bar bar, int step) {
  Post([this, bar, step] {
    if (panel_) panel_->BarSetStep(bar, step);
  });
}

void QtHost::BarStep(Bar bar) {
  Post([this, bar] {
    if (panel_) panel_->BarStep(bar);
  });
}

void QtHost::BarSetPos(Bar bar, int pos) {
  Post([this, bar, pos] {
    if (panel_) panel_->BarSetPos(bar, pos);
  });
}

namespace {
// A save that ends sooner is not shown: an auto-save every few hundred lines would flicker.
constexpr int kSavingShownAfterMs = 400;
// How often a save on the UI thread lets its window be drawn.
constexpr int kSavingRepaintMs = 100;
}  // namespace

SavingWindow& QtHost::SavingBox() {
  if (!saving_) saving_ = new SavingWindow(window_);
  return *saving_;
}

void QtHost::ShowSaving(long range) {
  savingRange_ = range;
  savingPos_ = 0;
  if (QThread::currentThread() == thread()) {
    SavingBox().Bar()->setRange(0, static_cast<int>(std::min<long>(range, INT32_MAX)));
    SavingBox().Bar()->setValue(0);
    SavingBox().show();
    // The save runs on this thread: the window is drawn now and as the bar moves, not after it.
    ShowSavingProgress();
    return;
  }
  savingActive_ = true;
  PostSavingUpdate();
}

void QtHost::SavingStep() {
  ++savingPos_;
  if (QThread::currentThread() == thread() && saving_ && uiSavingClock_.hasExpired(kSavingRepaintMs))
    ShowSavingProgress();
}

void QtHost::ShowSavingProgress() {
  if (!saving_) return;
  saving_->Bar()->setValue(static_cast<int>(std::min<long>(savingPos_, saving_->Bar()->maximum())));
  // Only what draws the window: the person's input waits until the save is done.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  uiSavingClock_.start();
}

void QtHost::HideSaving() {
  if (QThread::currentThread() == thread()) {
    if (saving_) saving_->hide();
    return;
  }
  savingActive_ = false;
  PostSavingUpdate();
}

void QtHost::WaitCursor(bool on) {
  if (QThread::currentThread() != thread()) {
    workerWaitCursor_ += on ? 1 : (workerWaitCursor_ > 0 ? -1 : 0);
    PostSavingUpdate();
    return;
  }
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++waitCursorDepth_;
  } else if (waitCursorDepth_ > 0) {
    QApplication::restoreOverrideCursor();
    --waitCursorDepth_;
  }
}

void QtHost::PostSavingUpdate() {
  // Posted by name, as every call from the worker is: Qt's queued event then carries nothing of ours.
  if (!savingUpdatePosted_.exchange(true)) QMetaObject::invokeMethod(this, "ApplySaving", Qt::QueuedConnection);
}

void QtHost::ApplySaving() {
  savingUpdatePosted_ = false;
  const bool active = savingActive_;
  const bool visible = active && savingClock_.isValid() && savingClock_.elapsed() >= kSavingShownAfterMs;
  if (active && !savingClock_.isValid()) {
    savingClock_.start();
    // Looks again while the save lasts: shows the window once it is due, and the bar.
    if (!savingTimer_.isActive()) {
      savingTimer_.setInterval(100);
      connect(&savingTimer_, &QTimer::timeout, this, &QtHost::ApplySaving, Qt::UniqueConnection);
      savingTimer_.start();
    }
  }
  if (visible) {
    QProgressBar* bar = SavingBox().Bar();
    bar->setRange(0, static_cast<int>(std::min<long>(savingRange_, INT32_MAX)));
    bar->setValue(static_cast<int>(std::min<long>(savingPos_, bar->maximum())));
    if (!saving_->isVisible()) saving_->show();
  } else if (!active) {
    savingClock_.invalidate();
    savingTimer_.stop();
    if (saving_ && saving_->isVisible()) saving_->hide();
  }
  const bool cursor = visible && workerWaitCursor_ > 0;
  if (cursor != savingCursorSet_) {
    if (cursor)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
    savingCursorSet_ = cursor;
  }
}

void QtHost::ShowMaximized() {
  Post([this] {
    if (window_) window_->showMaximized();
  });
}

std::string QtHost::AskSavePath(const std::vector<FileFilter>& filters, const std::string& defExt,
                                const std::string& proposed) {
  if (savePath_) return savePath_(filters, defExt, proposed);
  QFileDialog dialog(window_, QStringLiteral("Save As"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QStringList names;
  std::vector<QString> suffixes;
  for (const FileFilter& f : filters) {
    names << QString::fromStdString(f.label);
    QString first = f.patterns.empty() ? QString() : QString::fromStdString(f.patterns.front());
    suffixes.push_back(first.startsWith("*.") ? first.mid(2) : QString());
  }
  dialog.setNameFilters(names);
  dialog.setDefaultSuffix(QString::fromStdString(defExt));
  // A name typed without an extension takes the one of the type chosen in the list.
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& chosen) {
    const auto i = names.indexOf(chosen);
    if (i >= 0 && !suffixes[i].isEmpty()) dialog.setDefaultSuffix(suffixes[i]);
  });
  if (!proposed.empty()) dialog.selectFile(QString::fromStdString(proposed));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toLocal8Bit().toStdString();
}

std::optional<DataSourceChoice> QtHost::ChooseDataSource(const std::string& current) {
  if (chooseDataSource_) return chooseDataSource_(current);
  return std::nullopt;
}

ScriptWindow& QtHost::Script() { return view_; }

void QtHost::RunStateChanged() {
  // Posted and coalesced: a burst of changes costs one refresh.
  if (!statePosted_.exchange(true)) QMetaObject::invokeMethod(this, "DeliverStateChanged", Qt::QueuedConnection);
}

void QtHost::DeliverStateChanged() {
  // The state shows with the panel as the worker left it.
  RunPosted();
  statePosted_ = false;
  emit runStateChanged();
}

void QtHost::RunEnded(RunOutcome outcome) {
  endedOutcome_ = static_cast<int>(outcome);
  QMetaObject::invokeMethod(this, "DeliverRunEnded", Qt::QueuedConnection);
}

void QtHost::DeliverRunEnded() {
  RunPosted();
  view_.Drain();
  if (uiQuestion_) uiQuestion_->reject();
  emit runEnded(endedOutcome_.load());
}

void QtHost::WaitWhileProcessing(const std::function<bool()>& done) {
  if (done()) return;
  // Keeps carrying out the worker's calls; the person's input waits (message boxes the worker
  // shows run their own loop and take input as usual).
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(5);
  connect(&poll, &QTimer::timeout, &loop, [&] {
    // A loop started from inside the posted-event dispatch (a queued close, for one) does not
    // see calls posted before that dispatch began: the worker would wait for one for ever.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    if (done()) loop.quit();
  });
  poll.start();
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace mv
