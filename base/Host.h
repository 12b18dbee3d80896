#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/ScriptWindow.h"

namespace mv {

// One entry of a file dialog's type list: {"Text Format (*.sql)", {"*.sql"}}.
struct FileFilter {
  std::string label;
  std::vector<std::string> patterns;
};

// What the data-source chooser hands back: the connect string to connect with, and what its
// password field held (so the string kept for configurations can leave it out again).
struct DataSourceChoice {
  std::string connectString;
  std::string fieldPassword;
};

// How a run ended, as RunEnded reports it.
enum class RunOutcome {
  Finished,            // every phase ran to its end and everything was read
  FinishedWithErrors,  // it ran to its end, but some tables could not be read whole
  Stopped,             // the user stopped it, or a lost connection ended it
  Failed,              // an internal fault ended it
};

// Everything a person sees goes through this interface.
//
// Threads. The UI thread is the thread that owns the RunController; the worker is the one thread of
// a run. Each call below is marked:
//   [W]  made by the worker during a run. Synchronous: it returns only when done, and may block
//        while the UI thread carries it out (a GUI host uses a blocking queued call). The
//        worker never holds a lock of the core while it makes one. What only shows (the
//        panel's lines and bars, ShowMaximized) a GUI host may carry out later instead, in
//        order, before any later call and before RunEnded, so that the worker does not wait
//        behind a paint.
//   [U]  made on the UI thread only; may block (modal dialogs).
//   [A]  made on any thread; never blocks.
// Nothing on the UI thread waits for the worker while the worker can be waiting for it: the
// worker is joined only after RunEnded, and RunController's destructor waits through
// WaitWhileProcessing, which keeps carrying out the worker's calls.
class Host {
 public:
  enum class Buttons { Ok, YesNo, YesNoCancel };
  enum class Answer { Ok, Yes, No, Cancel };
  enum Bar { kAnalysisBar = 0, kStructureBar, kDataBar, kIndexBar };

  virtual ~Host() = default;

  // The answer of a host with nobody to ask: Ok, Yes to Yes/No, No to Yes/No/Cancel.
  static Answer UnattendedAnswer(Buttons buttons);

  // [W, U] The main window's title. A host that carries a worker's call to its UI thread shows
  // RunController::Title() there instead, composed from the state at that moment, so a title that
  // arrives late cannot overwrite "Paused".
  virtual void SetTitle(const std::string& title) = 0;
  // [W, U] A message box; blocks until it is answered.
  virtual Answer Message(const std::string& text, Buttons buttons = Buttons::Ok) = 0;

  // Control Panel. [U] at a start: ShowPanel returns false when it could not be shown.
  virtual bool ShowPanel() = 0;
  virtual void DestroyPanel() = 0;
  virtual void PanelClearList() = 0;
  // [W] The object list and the four bars.
  virtual int PanelAddLine(const std::string& name) = 0;
  // Index of the line equal to name, searching after `after` (-1: from the top); -1 if none.
  virtual int PanelFindLine(const std::string& name, int after) = 0;
  virtual void PanelSelect(int index) = 0;
  virtual void BarRange(Bar bar, int n) = 0;
  virtual void BarSetStep(Bar bar, int step) = 0;
  virtual void BarStep(Bar bar) = 0;
  virtual void BarSetPos(Bar bar, int pos) = 0;

  // [W] The data phase's rows: a table's rows begin (its row count when known, else -1), and
  // one more row was written. RowDone comes for every row, so it must return at once; a host
  // that shows no rows leaves both alone.
  virtual void RowsBegin(long long expected) {}
  virtual void RowDone() {}

  // [W, U] The modeless "Saving..." window with its one bar.
  virtual void ShowSaving(long range) = 0;
  virtual void SavingStep() = 0;
  virtual void HideSaving() = 0;

  // [W, U]
  virtual void WaitCursor(bool on) = 0;

  // [W] The program should show its main window maximised (end of an automatic start).
  virtual void ShowMaximized() {}
  // [U] A Save As dialog; the path chosen, or empty when cancelled or there is no window.
  virtual std::string AskSavePath(const std::vector<FileFilter>& filters, const std::string& defExt,
                                  const std::string& proposed) {
    return {};
  }
  // [U] The data-source chooser: the connect string the user chose, or nothing when cancelled
  // or when there is no window to choose in.
  virtual std::optional<DataSourceChoice> ChooseDataSource(const std::string& current) { return std::nullopt; }

  // The script window: its ScriptSink side is written by the worker [W] (and by the UI thread
  // outside a run); its ScriptDocument side is read on the UI thread outside a run [U]. A
  // window that shows the text may hold a worker's Insert while it is a bounded amount of text
  // behind (a few megabytes), until the UI thread has taken the next batch: the UI thread keeps
  // taking batches while it waits for anything (WaitWhileProcessing, a modal dialog), and a
  // window going away lets every writer go on.
  virtual ScriptWindow& Script() = 0;

  // [A] The run state changed (started, paused, resumed, skip allowed or not, stopping, state
  // title): re-read RunController's state words and title. Posted, never waited for.
  virtual void RunStateChanged() {}
  // [W] The worker's very last act, after the footer, the titles and the finish message. The
  // UI thread must then call RunController::CollectRun (a GUI host posts it; a host without an
  // event loop lets RunController::Wait do it). Never blocks.
  virtual void RunEnded(RunOutcome outcome) {}
  // [U] Waits until done() holds, carrying out worker calls meanwhile (a GUI host runs its
  // event loop). The default polls, for hosts whose worker calls need no UI thread.
  virtual void WaitWhileProcessing(const std::function<bool()>& done);
};

}  // namespace mv
