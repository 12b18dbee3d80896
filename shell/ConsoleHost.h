#pragma once
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "shell/Host.h"
#include "shell/MemoryScriptWindow.h"

namespace mv {

// The host of the batch front end: the script streams to a file (standard output by default),
// messages go to standard error, questions get fixed answers (Yes to Yes/No, No to
// Yes/No/Cancel), and a one-line progress display is drawn on standard error when it is a
// terminal.
class ConsoleHost : public Host {
 public:
  ConsoleHost(std::FILE* script, std::FILE* messages, bool progress);

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
  void ShowSaving(long range) override {}
  void SavingStep() override {}
  void HideSaving() override {}
  void WaitCursor(bool on) override {}
  ScriptWindow& Script() override { return window_; }

  MemoryScriptWindow& window() { return window_; }
  // Ends the progress line so later messages start on a fresh line.
  void EndProgress();

 private:
  void DrawProgress();

  std::FILE* messages_;
  bool progress_;
  MemoryScriptWindow window_;
  std::vector<std::string> lines_;
  std::string current_;
  std::string title_;
  int barMax_[4] = {0, 0, 0, 0};
  int barPos_[4] = {0, 0, 0, 0};
  Bar activeBar_ = kAnalysisBar;
  bool progressShown_ = false;
  std::mutex mu_;
};

}  // namespace mv
