#pragma once
#include <QDialog>
#include <QListWidget>
#include <QProgressBar>
#include <array>
#include <functional>
#include <string>

#include "run/CommandStates.h"

namespace mv {

class PictureButton;

// The modeless "Control Panel" of a scripting run: the object list, a bar per phase and the
// SKIP, PLAY, PAUSE and STOP buttons. It has no logic of its own: the buttons call the hooks
// the main window gives it (the run's commands), the worker drives the list and the bars
// through the host, and the enable rules come from CommandStatesFor.
class ControlPanel : public QDialog {
  Q_OBJECT
 public:
  enum ButtonId { kSkip = 0, kPlay, kPause, kStop };
  struct Hooks {
    std::function<void()> skip, play, pause, stop, help;
    std::function<bool()> runActive;               // closing is refused while true
    std::function<void(const std::string&)> tell;  // an OK message box
  };

  explicit ControlPanel(Hooks hooks, QWidget* parent = nullptr);

  void ApplyStates(const CommandStates& states);

  // The object list and the bars (UI thread; the host carries the worker's calls here).
  void ClearList();
  int AddLine(const std::string& name);
  int FindLine(const std::string& name, int after) const;
  void Select(int index);
  void BarRange(int bar, int n);
  void BarSetStep(int bar, int step);
  void BarStep(int bar);
  void BarSetPos(int bar, int pos);

  QListWidget* List() { return list_; }
  QProgressBar* Bar(int bar) { return bars_[bar]; }
  PictureButton* Button(ButtonId id) { return buttons_[id]; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override { close(); }

 private:
  Hooks hooks_;
  QListWidget* list_;
  std::array<QProgressBar*, 4> bars_{};
  std::array<int, 4> steps_{1, 1, 1, 1};
  std::array<PictureButton*, 4> buttons_{};
};

}  // namespace mv
