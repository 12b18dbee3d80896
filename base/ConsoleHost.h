#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Host.h"
#include "base/MemoryScriptWindow.h"
#include "base/RunProgress.h"

namespace mv {

// The host of the batch front end: the script streams to a file (standard output by default),
// messages go to standard error, questions get fixed answers (Yes to Yes/No, No to
// Yes/No/Cancel), and progress goes to standard error: a line redrawn in place when it is a
// terminal, or one JSON object a second for programs that wrap this one.
class ConsoleHost : public Host {
 public:
  enum class Progress { None, Line, Json };
  ConsoleHost(std::FILE* script, std::FILE* messages, bool progress);
  ConsoleHost(std::FILE* script, std::FILE* messages, Progress progress);
  ~ConsoleHost() override;

  void SetTitle(const std::string& title) override;
  Answer Message(const std::string& text, Buttons buttons) override;
  bool ShowPanel() override { return true; }
  void DestroyPanel() override {}
  void PanelClearList() override { lines_.clear(); }
  int PanelAddLine(const std::string& name) override;
  int PanelFindLine(const std::string& name, int after) override;
  void PanelSelect(int index) override;
  void BarRange(Bar bar, int n) override;
  void BarSetStep(Bar bar, int step) override {}
  void BarStep(Bar bar) override;
  void BarSetPos(Bar bar, int pos) override;
  void RowsBegin(long long expected) override;
  void RowDone() override { tableRows_.fetch_add(1, std::memory_order_relaxed); }
  void ShowSaving(long range) override {}
  void SavingStep() override {}
  void HideSaving() override {}
  void WaitCursor(bool on) override {}
  ScriptWindow& Script() override { return window_; }

  MemoryScriptWindow& window() { return window_; }
  // Ends the progress display (a last JSON object; the line is cleared) so later messages
  // start on a fresh line.
  void EndProgress();

 private:
  // Under mu_.
  void DrawProgress();
  ProgressCounts Counts() const;
  void Ticker();

  std::FILE* messages_;
  Progress progress_;
  MemoryScriptWindow window_;
  std::vector<std::string> lines_;
  std::string current_;
  std::string title_;
  int barMax_[4] = {0, 0, 0, 0};
  int barPos_[4] = {0, 0, 0, 0};
  // A table phase steps its bar as a table begins: that table is not done until the next step
  // or the phase's end.
  bool tableOpen_[4] = {false, false, false, false};
  Bar activeBar_ = kAnalysisBar;
  bool progressShown_ = false;
  // Rows: counted by the worker without a lock, read by the ticker.
  std::atomic<long long> tableRows_{0};
  long long tableExpected_ = -1;
  long long rowsBefore_ = 0;  // rows of the tables finished before the current one
  bool rowsBegun_ = false;
  std::chrono::steady_clock::time_point rowsStart_;
  std::mutex mu_;
  // Redraws the line (or writes the JSON object) while nothing else happens, e.g. during a
  // long table.
  std::thread ticker_;
  std::condition_variable tick_;
  bool ending_ = false;
};

}  // namespace mv
