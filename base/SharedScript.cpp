#include "base/SharedScript.h"

namespace mv {

void SharedScript::WaitForRoom(std::unique_lock<std::mutex>& lock, bool mayWait) {
  if (mayWait && bound_ > 0 && ahead_ >= bound_ && !released_) {
    lock.unlock();
    if (wake_) wake_();
    lock.lock();
    taken_.wait(lock, [&] { return released_ || bound_ == 0 || ahead_ < bound_; });
  }
}

void SharedScript::Append(std::string_view text, Color color, bool mayWait) {
  if (text.empty()) return;
  std::unique_lock<std::mutex> lock(mu_);
  WaitForRoom(lock, mayWait);
  store_.Append(text, color);
  ahead_ += text.size();
}

void SharedScript::AppendRuns(std::string_view text, std::span<const ScriptSink::Run> runs, bool mayWait) {
  if (text.empty()) return;
  std::unique_lock<std::mutex> lock(mu_);
  WaitForRoom(lock, mayWait);
  store_.AppendRuns(text, runs);
  ahead_ += text.size();
}

void SharedScript::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  store_.Clear();
  cleared_ = true;
}

void SharedScript::SetBound(size_t bytes) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    bound_ = bytes;
  }
  taken_.notify_all();
}

void SharedScript::Release() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    released_ = true;
  }
  taken_.notify_all();
}

SharedScript::Batch SharedScript::Take() {
  Batch b;
  {
    std::lock_guard<std::mutex> lock(mu_);
    b.cleared = cleared_;
    b.lines = store_.LineCount();
    b.bytes = store_.Text().size();
    b.longestLine = store_.LongestLine();
    b.written = ahead_;
    cleared_ = false;
    ahead_ = 0;
  }
  taken_.notify_all();
  return b;
}

size_t SharedScript::Ahead() const {
  std::lock_guard<std::mutex> lock(mu_);
  return ahead_;
}

bool SharedScript::Pending() const {
  std::lock_guard<std::mutex> lock(mu_);
  return ahead_ > 0 || cleared_;
}

}  // namespace mv
