#pragma once
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Host.h"
#include "base/MemoryScriptWindow.h"

namespace mv::test {

// A host for tests: records every call and answers questions from a queue of answers
// (when the queue is empty: Ok for Ok boxes, Yes for Yes/No, No for Yes/No/Cancel).
class ScriptedHost : public Host {
 public:
  struct Call {
    Call(std::string w, std::string t = {}, int x = 0, int y = 0)
        : what(std::move(w)), text(std::move(t)), a(x), b(y) {}
    std::string what;  // "title", "message", "panel-add", "bar-range", ...
    std::string text;
    int a = 0, b = 0;
  };

  void SetTitle(const std::string& t) override {
    Record({"title", t});
    if (onTitle) onTitle(t);
  }
  Answer Message(const std::string& text, Buttons buttons) override {
    std::lock_guard lock(mu_);
    calls_.push_back({"message", text, static_cast<int>(buttons)});
    messages.push_back(text);
    if (onMessage) onMessage(text);
    if (!answers.empty()) {
      Answer a = answers.front();
      answers.pop_front();
      return a;
    }
    return UnattendedAnswer(buttons);
  }
  bool ShowPanel() override {
    Record({"panel-show"});
    lines_.clear();
    return panelAvailable;
  }
  void DestroyPanel() override { Record({"panel-destroy"}); }
  void PanelClearList() override {
    Record({"panel-clear"});
    lines_.clear();
  }
  int PanelAddLine(const std::string& name) override {
    Record({"panel-add", name});
    lines_.push_back(name);
    return static_cast<int>(lines_.size()) - 1;
  }
  int PanelFindLine(const std::string& name, int after) override {
    for (size_t i = after + 1; i < lines_.size(); ++i)
      if (lines_[i] == name) return static_cast<int>(i);
    return -1;
  }
  void PanelSelect(int index) override { Record({"panel-select", {}, index}); }
  void BarRange(Bar bar, int n) override { Record({"bar-range", {}, bar, n}); }
  void BarSetStep(Bar bar, int step) override { Record({"bar-setstep", {}, bar, step}); }
  void BarStep(Bar bar) override { Record({"bar-step", {}, bar}); }
  void BarSetPos(Bar bar, int pos) override { Record({"bar-pos", {}, bar, pos}); }
  void RowsBegin(long long expected) override { Record({"rows-begin", std::to_string(expected)}); }
  void RowDone() override { Record({"row"}); }
  void ShowSaving(long range) override { Record({"saving-show", {}, static_cast<int>(range)}); }
  void SavingStep() override {}
  void HideSaving() override { Record({"saving-hide"}); }
  void WaitCursor(bool on) override { Record({"wait", {}, on ? 1 : 0}); }
  void ShowMaximized() override { Record({"maximized"}); }
  std::string AskSavePath(const std::vector<FileFilter>& filters, const std::string& defExt,
                          const std::string& proposed) override {
    Record({"ask-save", filters.empty() ? std::string() : filters[0].label});
    return savePath;
  }
  std::optional<DataSourceChoice> ChooseDataSource(const std::string& current) override {
    Record({"choose-source", current});
    if (!chosenSource) return std::nullopt;
    return DataSourceChoice{*chosenSource, chosenPassword};
  }
  ScriptWindow& Script() override { return window; }

  // The window, with a hook that sees every piece of text before it is inserted.
  class HookWindow : public MemoryScriptWindow {
   public:
    void Insert(std::string_view text, Color color) override {
      if (onInsert) onInsert(text);
      MemoryScriptWindow::Insert(text, color);
    }
    std::function<void(std::string_view)> onInsert;
  };

  std::vector<Call> Calls() const {
    std::lock_guard lock(mu_);
    return calls_;
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> out;
    for (const auto& c : Calls())
      if (c.what == "title") out.push_back(c.text);
    return out;
  }
  bool HasMessage(const std::string& text) const {
    std::lock_guard lock(mu_);
    for (const auto& m : messages)
      if (m == text) return true;
    return false;
  }

  HookWindow window;
  std::deque<Answer> answers;
  std::vector<std::string> messages;
  std::string savePath;
  // What the data-source chooser answers (nothing: cancelled).
  std::optional<std::string> chosenSource;
  std::string chosenPassword;  // what the chooser's password field held
  bool panelAvailable = true;
  // Called (on the calling thread) for every message; lets a test act at that moment.
  std::function<void(const std::string&)> onMessage;
  // Called (on the calling thread, the worker during a run) for every title.
  std::function<void(const std::string&)> onTitle;

 private:
  void Record(Call c) {
    std::lock_guard lock(mu_);
    calls_.push_back(std::move(c));
  }
  mutable std::mutex mu_;
  std::vector<Call> calls_;
  std::vector<std::string> lines_;
};

}  // namespace mv::test
