#pragma once
#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "base/Host.h"

namespace mv {

class ScriptView;
class ControlPanel;
class SavingWindow;

// The desktop's Host. Every worker call is carried to the UI thread as a blocking queued call
// and returns when the UI thread has done it; called on the UI thread, it is done at once.
// The exceptions keep a long run from paying a round trip per piece of work: script text goes
// through ScriptView's pending list, and the worker's "Saving..." window, its bar and the wait
// cursor (an auto-save every few hundred lines) are state that the UI thread shows when it
// next looks, the window only once a save lasts long enough to be seen. RunStateChanged and
// RunEnded are posted.
class QtHost : public QObject, public Host {
  Q_OBJECT
 public:
  using MessageFn = std::function<Answer(const std::string& text, Buttons buttons)>;
  using SavePathFn = std::function<std::string(const std::vector<FileFilter>&, const std::string& defExt,
                                               const std::string& proposed)>;
  using PanelFactory = std::function<ControlPanel*()>;
  using DataSourceFn = std::function<std::optional<DataSourceChoice>(const std::string& current)>;

  QtHost(ScriptView& view, QWidget* window);
  ~QtHost() override;

  // Tests answer message boxes and file dialogs without a person.
  void SetMessageFunction(MessageFn fn) { message_ = std::move(fn); }
  void SetSavePathFunction(SavePathFn fn) { savePath_ = std::move(fn); }
  // The main window makes the Control Panel (it knows the run's commands).
  void SetPanelFactory(PanelFactory fn) { panelFactory_ = std::move(fn); }
  // The title composed at the moment the UI thread shows a worker's title (RunController::Title),
  // so that a title arriving late cannot overwrite "Paused".
  void SetTitleSource(std::function<std::string()> fn) { titleSource_ = std::move(fn); }
  // The data source chooser, plugged in by the dialogs.
  void SetDataSourceFunction(DataSourceFn fn) { chooseDataSource_ = std::move(fn); }

  ControlPanel* Panel() const;
  SavingWindow* Saving() const;
  // The default message box (a QMessageBox with the buttons asked for). A warning takes the
  // warning icon; other boxes take the icon their buttons suggest. open, when given, points
  // at the box while it is open.
  static Answer AskWithMessageBox(QWidget* parent, const std::string& text, Buttons buttons, bool warning = false,
                                  QPointer<QMessageBox>* open = nullptr);
  // An OK box with the warning icon (a failed print or export), answered as Message is.
  void Warn(const std::string& text);
  // The default box, asked on the UI thread: a question still open when a run ends is closed
  // unanswered (Cancel where offered, else No), since the run it asked about is over.
  Answer AskOnUi(const std::string& text, Buttons buttons);

  // Host
  void SetTitle(const std::string& title) override;
  Answer Message(const std::string& text, Buttons buttons = Buttons::Ok) override;
  bool ShowPanel() override;
  void DestroyPanel() override;
  void PanelClearList() override;
  int PanelAddLine(const std::string& name) override;
  int PanelFindLine(const std::string& name, int after) override;
  void PanelSelect(int index) override;
  void BarRange(Bar bar, int n) override;
  void BarSetStep(Bar bar, int step) override;
  void BarStep(Bar bar) override;
  void BarSetPos(Bar bar, int pos) override;
  void ShowSaving(long range) override;
  void SavingStep() override;
  void HideSaving() override;
  void WaitCursor(bool on) override;
  void ShowMaximized() override;
  std::string AskSavePath(const std::vector<FileFilter>& filters, const std::string& defExt,
                          const std::string& proposed) override;
  std::optional<DataSourceChoice> ChooseDataSource(const std::string& current) override;
  ScriptWindow& Script() override;
  void RunStateChanged() override;
  void RunEnded(RunOutcome outcome) override;
  void WaitWhileProcessing(const std::function<bool()>& done) override;

 signals:
  // Posted: re-read the run state (enable rules, title).
  void runStateChanged();
  // Posted after the worker's last act; the script view is drained first.
  void runEnded(int outcome);

 private:
  // Runs f on the UI thread and returns when it is done.
  void OnUi(const std::function<void()>& f);
  // What only shows (the panel's selection and bars, a maximized window): on the UI thread at once; from
  // the worker queued in order, and the worker goes on without waiting behind a paint.
  void Post(std::function<void()> f);
  // UI thread: runs the posted calls, oldest first.
  Q_INVOKABLE void RunPosted();
  // UI thread: runs the call OnUi left in pending_.
  Q_INVOKABLE void RunPendingCall();
  // UI thread: shows the worker's saving state (window, bar, wait cursor).
  Q_INVOKABLE void ApplySaving();
  // UI thread: the posted ends of RunStateChanged and RunEnded.
  Q_INVOKABLE void DeliverStateChanged();
  Q_INVOKABLE void DeliverRunEnded();
  void PostSavingUpdate();
  // UI thread, during a save on it: the bar set and the window drawn.
  void ShowSavingProgress();
  SavingWindow& SavingBox();

  // The call a worker hands to the UI thread, one at a time. It travels through our own locks
  // rather than inside Qt's event: a race detector sees our locks, not Qt's uninstrumented ones.
  std::mutex callMu_;
  std::mutex pendingMu_;
  const std::function<void()>* pending_ = nullptr;
  std::mutex postedMu_;
  std::vector<std::function<void()>> posted_;
  // The panel's lines as the worker added them, so that adding and finding one waits for nothing.
  std::mutex panelMu_;
  std::vector<std::string> panelLines_;
  bool panelUp_ = false;
  ScriptView& view_;
  QPointer<QWidget> window_;
  QPointer<ControlPanel> panel_;
  QPointer<SavingWindow> saving_;
  QPointer<QMessageBox> uiQuestion_;  // a question asked on the UI thread, while it is open
  MessageFn message_;
  SavePathFn savePath_;
  PanelFactory panelFactory_;
  DataSourceFn chooseDataSource_;
  std::function<std::string()> titleSource_;
  int waitCursorDepth_ = 0;
  // The worker's saving state.
  std::atomic<bool> savingActive_{false};
  std::atomic<long> savingRange_{0};
  std::atomic<long> savingPos_{0};
  std::atomic<int> workerWaitCursor_{0};
  std::atomic<bool> savingUpdatePosted_{false};
  QElapsedTimer savingClock_;    // since the worker's save began
  QElapsedTimer uiSavingClock_;  // since a save on the UI thread last drew its window
  QTimer savingTimer_;
  bool savingCursorSet_ = false;
  std::atomic<bool> statePosted_{false};
  std::atomic<int> endedOutcome_{0};
};

}  // namespace mv
