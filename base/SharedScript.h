#pragma once
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <span>
#include <string_view>

#include "base/ScriptStore.h"

namespace mv {

// The script text a window shows, written by a run's worker and shown by the UI thread: one
// ScriptStore under a lock, and how much was written since the UI thread last took a batch.
// The writer may run ahead of the window by at most the bound; past it Append waits until the
// UI thread takes the next batch, so that what the window has not yet shown (and the time a
// click waits behind it) stays small whatever the size of the run.
class SharedScript {
 public:
  // A few megabytes: a fraction of a second of a fast run, and nothing a window shows slowly.
  static constexpr size_t kDefaultBound = 4u << 20;

  // What the UI thread takes: whether the text was emptied since the last batch, and its size now.
  struct Batch {
    bool cleared = false;
    long lines = 1;
    size_t bytes = 0;
    size_t longestLine = 0;
    size_t written = 0;  // bytes appended since the last batch
  };

  // Any thread. mayWait: the caller is not the thread that takes the batches (it would wait
  // for itself).
  void Append(std::string_view text, Color color, bool mayWait);
  // A text of several colours under one lock (ScriptStore::AppendRuns).
  void AppendRuns(std::string_view text, std::span<const ScriptSink::Run> runs, bool mayWait);
  void Clear();
  // 0: no bound.
  void SetBound(size_t bytes);
  // Called on the writer's thread, unlocked, when it begins to wait: the reader should take a
  // batch soon. Set before the first Append.
  void SetWake(std::function<void()> wake) { wake_ = std::move(wake); }
  // The reader goes away: no writer waits from now on.
  void Release();

  // The reader's thread: the next batch; a waiting writer goes on.
  Batch Take();
  // Bytes written since the last batch.
  size_t Ahead() const;
  // Whether something was written or emptied since the last batch.
  bool Pending() const;

  // f(const ScriptStore&) or f(ScriptStore&) under the lock. An edit through Edit is the
  // reader's own and is not counted as written.
  template <class F>
  decltype(auto) Read(F&& f) const {
    std::lock_guard<std::mutex> lock(mu_);
    return f(store_);
  }
  template <class F>
  decltype(auto) Edit(F&& f) {
    std::lock_guard<std::mutex> lock(mu_);
    return f(store_);
  }

 private:
  // With the lock held: waits while the writer is the bound ahead (the lock is let go meanwhile).
  void WaitForRoom(std::unique_lock<std::mutex>& lock, bool mayWait);

  mutable std::mutex mu_;
  std::condition_variable taken_;
  ScriptStore store_;
  std::function<void()> wake_;
  size_t bound_ = kDefaultBound;
  size_t ahead_ = 0;
  bool cleared_ = false;
  bool released_ = false;
};

}  // namespace mv
