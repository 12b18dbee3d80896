#include "base/ConsoleHost.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace mv {

namespace {
const char* const kBarNames[4] = {"Database Analysis", "Structural Scripting", "Data Scripting", "Index Scripting"};

// The terminal's width, so the line never wraps (a wrapped line could not be redrawn in place).
size_t TerminalWidth(std::FILE* f) {
  struct winsize ws {};
  if (ioctl(fileno(f), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1) return ws.ws_col - 1;
  return 79;
}
}  // namespace

ConsoleHost::ConsoleHost(std::FILE* script, std::FILE* messages, bool progress)
    : ConsoleHost(script, messages, progress ? Progress::Line : Progress::None) {}

ConsoleHost::ConsoleHost(std::FILE* script, std::FILE* messages, Progress progress)
    : messages_(messages), progress_(progress) {
  window_.SetSink(script);
  window_.SetKeepText(false);
  if (progress_ != Progress::None) ticker_ = std::thread([this] { Ticker(); });
}

ConsoleHost::~ConsoleHost() {
  {
    std::lock_guard lock(mu_);
    ending_ = true;
  }
  tick_.notify_all();
  if (ticker_.joinable()) ticker_.join();
}

void ConsoleHost::Ticker() {
  const auto every = progress_ == Progress::Json ? std::chrono::milliseconds(1000) : std::chrono::milliseconds(250);
  std::unique_lock lock(mu_);
  while (!tick_.wait_for(lock, every, [this] { return ending_; })) {
    if (progress_ == Progress::Json) {
      std::fprintf(messages_, "%s\n", ProgressJson(Counts()).c_str());
      std::fflush(messages_);
    } else if (progressShown_) {
      DrawProgress();
    }
  }
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
  return UnattendedAnswer(buttons);
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
  if (activeBar_ == kDataBar && rowsBegun_) {
    // The next table's rows start from none, with no count until RowsBegin brings one.
    rowsBefore_ += tableRows_.exchange(0);
    tableExpected_ = -1;
  }
  DrawProgress();
}

void ConsoleHost::BarRange(Bar bar, int n) {
  std::lock_guard lock(mu_);
  barMax_[bar] = n;
  barPos_[bar] = 0;
  tableOpen_[bar] = false;
  activeBar_ = bar;
}

void ConsoleHost::BarStep(Bar bar) {
  std::lock_guard lock(mu_);
  if (barPos_[bar] < barMax_[bar]) ++barPos_[bar];
  tableOpen_[bar] = bar != kAnalysisBar;
  activeBar_ = bar;
}

void ConsoleHost::BarSetPos(Bar bar, int pos) {
  std::lock_guard lock(mu_);
  barPos_[bar] = pos;
  tableOpen_[bar] = false;
}

void ConsoleHost::RowsBegin(long long expected) {
  std::lock_guard lock(mu_);
  if (!rowsBegun_) {
    rowsBegun_ = true;
    rowsStart_ = std::chrono::steady_clock::now();
  }
  rowsBefore_ += tableRows_.exchange(0);
  tableExpected_ = expected;
  DrawProgress();
}

ProgressCounts ConsoleHost::Counts() const {
  ProgressCounts c;
  c.phase = kBarNames[activeBar_];
  c.table = current_;
  c.tablesDone = barPos_[activeBar_] - (tableOpen_[activeBar_] ? 1 : 0);
  c.tables = barMax_[activeBar_];
  c.rows = rowsBegun_ && activeBar_ == kDataBar;
  c.tableRows = tableRows_.load(std::memory_order_relaxed);
  c.tableExpected = tableExpected_;
  c.runRows = rowsBefore_ + c.tableRows;
  if (rowsBegun_) c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - rowsStart_).count();
  return c;
}

void ConsoleHost::DrawProgress() {
  if (progress_ != Progress::Line) return;
  std::string line = title_ + "  " + ProgressLine(Counts());
  const size_t width = TerminalWidth(messages_);
  if (line.size() > width) line.resize(width);
  std::fprintf(messages_, "\r\033[K%s", line.c_str());
  std::fflush(messages_);
  progressShown_ = true;
}

void ConsoleHost::EndProgress() {
  std::lock_guard lock(mu_);
  if (progress_ == Progress::Json && !ending_) {
    std::fprintf(messages_, "%s\n", ProgressJson(Counts()).c_str());
    std::fflush(messages_);
  }
  ending_ = true;
  tick_.notify_all();
  if (progressShown_) {
    std::fputs("\r\033[K", messages_);
    std::fflush(messages_);
    progressShown_ = false;
  }
}

}  // namespace mv
