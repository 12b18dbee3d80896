#include "base/SharedScript.h"

#include <algorithm>

namespace mv {

void SharedScript::WaitForRoom(std::unique_lock<std::mutex>& lock, bool mayWait) {
  if (mayWait && bound_ > 0 && written_.text.size() >= bound_ && !released_) {
    lock.unlock();
    if (wake_) wake_();
    lock.lock();
    taken_.wait(lock, [&] { return released_ || bound_ == 0 || written_.text.size() < bound_; });
  }
}

void SharedScript::Reserve(size_t more) {
  std::string& text = written_.text;
  if (text.size() + more <= text.capacity()) return;
  constexpr size_t kFirst = 256u << 10;
  const size_t whole = bound_ > 0 ? bound_ + bound_ / 4 : 0;
  text.reserve(std::max({text.size() + more, text.capacity() < kFirst ? kFirst : whole, 2 * text.capacity()}));
}

void SharedScript::Append(std::string_view text, Color color, bool mayWait) {
  if (text.empty()) return;
  std::unique_lock<std::mutex> lock(writtenMu_);
  WaitForRoom(lock, mayWait);
  Reserve(text.size());
  written_.text.append(text);
  written_.runs.Add(text.size(), color);
}

void SharedScript::AppendRuns(std::string_view text, std::span<const ScriptSink::Run> runs, bool mayWait) {
  if (text.empty()) return;
  std::unique_lock<std::mutex> lock(writtenMu_);
  WaitForRoom(lock, mayWait);
  Reserve(text.size());
  written_.text.append(text);
  size_t left = text.size();
  for (const ScriptSink::Run& r : runs) {
    const size_t n = std::min(r.length, left);
    written_.runs.Add(n, r.color);
    left -= n;
  }
  // Runs that fall short of the text leave the rest in the last colour rather than uncoloured.
  written_.runs.Add(left, runs.empty() ? Color{} : runs.back().color);
}

void SharedScript::Clear() {
  std::lock_guard<std::mutex> lock(writtenMu_);
  written_.text.clear();
  written_.runs.Clear();
  written_.cleared = true;
}

void SharedScript::SetBound(size_t bytes) {
  {
    std::lock_guard<std::mutex> lock(writtenMu_);
    bound_ = bytes;
  }
  taken_.notify_all();
}

void SharedScript::Release() {
  {
    std::lock_guard<std::mutex> lock(writtenMu_);
    released_ = true;
  }
  taken_.notify_all();
}

void SharedScript::FileWritten() const {
  {
    std::lock_guard<std::mutex> lock(writtenMu_);
    if (written_.text.empty() && !written_.cleared) return;
    std::swap(written_, filing_);
    written_.cleared = false;
  }
  // The writer goes on into the emptied buffer while this one is filed.
  taken_.notify_all();
  if (filing_.cleared) {
    store_.Clear();
    clearedSinceTake_ = true;
  }
  store_.AppendColored(filing_.text, filing_.runs);
  filed_ += filing_.text.size();
  filing_.text.clear();
  filing_.runs.Clear();
  filing_.cleared = false;
}

SharedScript::Batch SharedScript::Take() {
  std::lock_guard<std::mutex> lock(storeMu_);
  FileWritten();
  Batch b;
  b.cleared = clearedSinceTake_;
  b.lines = store_.LineCount();
  b.bytes = store_.Text().size();
  b.longestLine = store_.LongestLine();
  b.written = filed_;
  clearedSinceTake_ = false;
  filed_ = 0;
  return b;
}

size_t SharedScript::Ahead() const {
  std::lock_guard<std::mutex> store(storeMu_);
  std::lock_guard<std::mutex> lock(writtenMu_);
  return filed_ + written_.text.size();
}

bool SharedScript::Pending() const {
  std::lock_guard<std::mutex> store(storeMu_);
  std::lock_guard<std::mutex> lock(writtenMu_);
  return filed_ > 0 || clearedSinceTake_ || !written_.text.empty() || written_.cleared;
}

}  // namespace mv
