#include "shell/ConsoleHost.h"

namespace mv {

namespace {
const char* const kBarNames[4] = {"Database Analysis", "Structural Scripting", "Data Scripting", "Index Scripting"};
}

ConsoleHost::ConsoleHost(std::FILE* script, std::FILE* messages, bool progress)
    : messages_(messages), progress_(progress) {
  window_.SetSink(script);
  window_.SetKeepText(false);
}

void ConsoleHost::SetTitle(const std::string& title) {
  std::lock_guard lock(mu_);
  title_ = title;
  DrawProgress();
}

Host::Answer ConsoleHost::Message(const std::string& text, Buttons buttons) {
  std::lock_guard lock(mu_);
  if (progressShown_) {
    std::fputs("\r\033[K", messages_);
    progressShown_ = false;
  }
  std::fprintf(messages_, "mervale-batch: %s\n", text.c_str());
  std::fflush(messages_);
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::YesNo:
      return Answer::Yes;
    default:
      return Answer::No;
  }
}

int ConsoleHost::PanelAddLine(const std::string& name) {
  lines_.push_back(name);
  return static_cast<int>(lines_.size()) - 1;
}

int ConsoleHost::PanelFindLine(const std::string& name, int after) {
  for (size_t i = static_cast<size_t>(after + 1); i < lines_.size(); ++i)
    if (lines_[i] == name) return static_cast<int>(i);
  return -1;
}

void ConsoleHost::PanelSelect(int index) {
  std::lock_guard lock(mu_);
  current_ = index >= 0 && index < static_cast<int>(lines_.size()) ? lines_[index] : std::string();
  DrawProgress();
}

void ConsoleHost::BarRange(Bar bar, int n) {
  std::lock_guard lock(mu_);
  barMax_[bar] = n;
  barPos_[bar] = 0;
  activeBar_ = bar;
}

void ConsoleHost::BarStep(Bar bar) {
  std::lock_guard lock(mu_);
  if (barPos_[bar] < barMax_[bar]) ++barPos_[bar];
  activeBar_ = bar;
}

void ConsoleHost::BarSetPos(Bar bar, int pos) {
  std::lock_guard lock(mu_);
  barPos_[bar] = pos;
}

void ConsoleHost::DrawProgress() {
  if (!progress_) return;
  std::string name = current_.size() > 40 ? current_.substr(0, 37) + "..." : current_;
  std::fprintf(messages_, "\r\033[K%s  %s %d/%d  %s", title_.c_str(), kBarNames[activeBar_], barPos_[activeBar_],
               barMax_[activeBar_], name.c_str());
  std::fflush(messages_);
  progressShown_ = true;
}

void ConsoleHost::EndProgress() {
  std::lock_guard lock(mu_);
  if (progressShown_) {
    std::fputs("\r\033[K", messages_);
    std::fflush(messages_);
    progressShown_ = false;
  }
}

}  // namespace mv
