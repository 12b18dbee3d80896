#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Host.h"
#include "base/MemoryScriptWindow.h"
#include "run/RunController.h"

namespace mv::test {

// A host that behaves as a GUI host does: it owns a "UI thread" with an event queue, every
// call the worker makes is carried over to that thread and waited for (as a blocking queued
// call would be), RunStateChanged and RunEnded are posted, and the RunController lives on the UI
// thread. What a window does with the calls is recorded there, on the UI thread only.
class ThreadedHost : public Host {
 public:
  ThreadedHost() : ui_([this] { Loop(); }) {}
  ~ThreadedHost() override {
    Post([this] { stop_ = true; });
    ui_.join();
  }

  // Runs fn on the UI thread and waits for it (the test thread is "the user").
  template <class F>
  auto OnUi(F fn) -> decltype(fn()) {
    using R = decltype(fn());
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(fn));
    std::future<R> result = task->get_future();
    Post([task] { (*task)(); });
    return result.get();
  }
  void Post(std::function<void()> fn) {
    {
      std::lock_guard lock(mu_);
      queue_.push_back(std::move(fn));
    }
    cv_.notify_all();
  }
  bool OnUiThread() const { return std::this_thread::get_id() == ui_.get_id(); }

  // --- Host
  void SetTitle(const std::string& t) override {
    // Shown as the owner composes it when the call arrives, so a late worker title cannot
    // overwrite "Paused".
    Carry([&] {
      titles.push_back(owner ? owner->Title() : t);
      if (onTitle) onTitle(titles.back());
    });
  }
  Answer Message(const std::string& text, Buttons buttons) override {
    Answer a = Answer::Ok;
    Carry([&] {
      messages.push_back(text);
      if (onMessage) onMessage(text);
      a = buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::Yes : Answer::No;
    });
    return a;
  }
  bool ShowPanel() override { return UiOnly(true); }
  void DestroyPanel() override { UiOnly(0); }
  void PanelClearList() override { UiOnly(0); }
  int PanelAddLine(const std::string& name) override {
    int n = 0;
    Carry([&] {
      panel.push_back(name);
      n = static_cast<int>(panel.size()) - 1;
    });
    return n;
  }
  int PanelFindLine(const std::string& name, int after) override {
    int found = -1;
    Carry([&] {
      for (size_t i = static_cast<size_t>(after + 1); i < panel.size() && found < 0; ++i)
        if (panel[i] == name) found = static_cast<int>(i);
    });
    return found;
  }
  void PanelSelect(int) override {
    Carry([] {});
  }
  void BarRange(Bar, int) override {
    Carry([] {});
  }
  void BarSetStep(Bar, int) override {
    Carry([] {});
  }
  void BarStep(Bar) override {
    Carry([] {});
  }
  void BarSetPos(Bar, int) override {
    Carry([] {});
  }
  void ShowSaving(long) override {
    Carry([] {});
  }
  void SavingStep() override {
    Carry([] {});
  }
  void HideSaving() override {
    Carry([] {});
  }
  void WaitCursor(bool) override {
    Carry([] {});
  }
  ScriptWindow& Script() override { return window_; }
  void RunStateChanged() override {
    Post([this] {
      ++stateChanges;
      // The enable rules re-read the state here; a command may not see a worker it cannot stop.
      if (owner) lastActive = owner->Status().workerActive;
    });
  }
  void RunEnded(RunOutcome outcome) override {
    Post([this, outcome] {
      if (owner) owner->CollectRun();
      outcomes.push_back(outcome);
      if (onEnded) onEnded(outcome);
    });
  }
  void WaitWhileProcessing(const std::function<bool()>& done) override {
    // The UI thread keeps carrying out the worker's calls while it waits.
    while (!done()) RunOne(std::chrono::milliseconds(5));
  }

  // Everything below is touched on the UI thread only.
  std::unique_ptr<RunController> owner;
  std::vector<std::string> titles, messages, panel;
  std::vector<RunOutcome> outcomes;
  int stateChanges = 0;
  bool lastActive = false;
  // Set when the worker made a call the contract reserves for the UI thread.
  bool wrongThread = false;
  std::function<void(const std::string&)> onTitle, onMessage;
  std::function<void(RunOutcome)> onEnded;
  // The script as the window holds it (read on the UI thread, outside a run).
  MemoryScriptWindow& window() { return window_; }

 private:
  // The worker's window: inserts are carried over like every other call.
  class CarriedWindow : public MemoryScriptWindow {
   public:
    explicit CarriedWindow(ThreadedHost& h) : host_(h) {}
    void Insert(std::string_view text, Color color) override {
      host_.Carry([&] { MemoryScriptWindow::Insert(text, color); });
    }
    void Empty() override {
      host_.Carry([&] { MemoryScriptWindow::Empty(); });
    }

   private:
    ThreadedHost& host_;
  };

  template <class F>
  void Carry(F fn) {
    if (OnUiThread()) {
      fn();
      return;
    }
    std::promise<void> done;
    Post([&] {
      fn();
      done.set_value();
    });
    done.get_future().wait();
  }
  template <class T>
  T UiOnly(T v) {
    // UI-thread calls of the contract: a worker making one is a fault the test must see.
    if (!OnUiThread()) wrongThread = true;
    return v;
  }

  bool RunOne(std::chrono::milliseconds wait) {
    std::function<void()> fn;
    {
      std::unique_lock lock(mu_);
      if (!cv_.wait_for(lock, wait, [this] { return !queue_.empty(); })) return false;
      fn = std::move(queue_.front());
      queue_.pop_front();
    }
    fn();
    return true;
  }
  void Loop() {
    while (!stop_) RunOne(std::chrono::milliseconds(50));
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
  bool stop_ = false;
  CarriedWindow window_{*this};
  std::thread ui_;
};

}  // namespace mv::test
