#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ScriptStore.h"

namespace mv {

// The script text a window shows, written by a run's worker and shown by the UI thread. The
// writer's text waits in a buffer the writer reuses, apart from the store: a copy is all a
// text costs the worker, and the reader's thread files it in the store (its lines and colours)
// when it takes a batch, on the other core. The writer may run ahead of the window by at most
// the bound; past it Append waits until the UI thread takes the next batch, so that what the
// window has not yet shown (and the time a click waits behind it) stays small whatever the size
// of the run.
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
  // A text of several colours in one step, its runs adding up to its size.
  void AppendRuns(std::string_view text, std::span<const ScriptSink::Run> runs, bool mayWait);
  void Clear();
  // 0: no bound.
  void SetBound(size_t bytes);
  // Called on the writer's thread, unlocked, when it begins to wait: the reader should take a
  // batch soon. Set before the first Append.
  void SetWake(std::function<void()> wake) { wake_ = std::move(wake); }
  // The reader goes away: no writer waits from now on.
  void Release();

  // The reader's thread: files what was written in the store and returns the next batch; a
  // waiting writer goes on.
  Batch Take();
  // Bytes written since the last batch.
  size_t Ahead() const;
  // Whether something was written or emptied since the last batch.
  bool Pending() const;

  // f(const ScriptStore&) or f(ScriptStore&) with everything written so far in the store. An edit
  // through Edit is the reader's own and is not counted as written.
  template <class F>
  decltype(auto) Read(F&& f) const {
    std::lock_guard<std::mutex> lock(storeMu_);
    FileWritten();
    return f(std::as_const(store_));
  }
  template <class F>
  decltype(auto) Edit(F&& f) {
    std::lock_guard<std::mutex> lock(storeMu_);
    FileWritten();
    return f(store_);
  }

 private:
  // What the writer wrote since the reader last filed it; cleared: the text was emptied first.
  struct Written {
    std::string text;
    ColorRuns runs;
    bool cleared = false;
  };

  // With writtenMu_ held: waits while the writer is the bound ahead (the lock is let go meanwhile).
  void WaitForRoom(std::unique_lock<std::mutex>& lock, bool mayWait);
  // With writtenMu_ held: room for a whole batch once the text is past a first size, since a
  // buffer that grows by doubling copies itself on the way.
  void Reserve(size_t more);
  // With storeMu_ held: moves what was written into the store.
  void FileWritten() const;

  // Lock order: storeMu_ before writtenMu_. The writer takes only writtenMu_, so filing a batch
  // in the store never holds it up.
  mutable std::mutex writtenMu_;
  mutable std::condition_variable taken_;
  mutable Written written_;
  std::function<void()> wake_;
  size_t bound_ = kDefaultBound;
  bool released_ = false;

  mutable std::mutex storeMu_;
  mutable ScriptStore store_;
  mutable Written filing_;    // the batch being filed, its buffers kept for the next swap
  mutable size_t filed_ = 0;  // bytes filed since the last batch
  mutable bool clearedSinceTake_ = false;
};

}  // namespace mv
