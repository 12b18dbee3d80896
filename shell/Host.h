#pragma once
#include <string>

#include "shell/ScriptWindow.h"

namespace mv {

// Everything a person sees goes through this interface. Calls made from the worker are
// synchronous: each completes before the worker goes on.
class Host {
 public:
  enum class Buttons { Ok, YesNo, YesNoCancel };
  enum class Answer { Ok, Yes, No, Cancel };
  enum Bar { kAnalysisBar = 0, kStructureBar, kDataBar, kIndexBar };

  virtual ~Host() = default;

  virtual void SetTitle(const std::string& title) = 0;
  virtual Answer Message(const std::string& text, Buttons buttons = Buttons::Ok) = 0;

  // Control Panel. ShowPanel returns false when it could not be shown.
  virtual bool ShowPanel() = 0;
  virtual void DestroyPanel() = 0;
  virtual void PanelClearList() = 0;
  virtual int PanelAddLine(const std::string& name) = 0;
  // Index of the line equal to name, searching after `after` (-1: from the top); -1 if none.
  virtual int PanelFindLine(const std::string& name, int after) = 0;
  virtual void PanelSelect(int index) = 0;
  virtual void BarRange(Bar bar, int n) = 0;
  virtual void BarSetStep(Bar bar, int step) = 0;
  virtual void BarStep(Bar bar) = 0;
  virtual void BarSetPos(Bar bar, int pos) = 0;

  // The modeless "Saving..." window with its one bar.
  virtual void ShowSaving(long range) = 0;
  virtual void SavingStep() = 0;
  virtual void HideSaving() = 0;

  virtual void WaitCursor(bool on) = 0;

  // The program should show its main window maximised (end of an automatic start).
  virtual void ShowMaximized() {}
  // Whether Save As dialogs can be shown; the path chosen, or empty when cancelled.
  virtual std::string AskSavePath(const std::string& filter, const std::string& defExt, const std::string& proposed) {
    return {};
  }

  virtual ScriptWindow& Script() = 0;
};

}  // namespace mv
