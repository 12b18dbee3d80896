#pragma once
#include <atomic>
#include <ctime>

namespace mv {

// The words shared by the worker and the user interface, each read and written whole.
struct RunState {
  std::atomic<int> running{0};
  std::atomic<int> paused{0};
  std::atomic<int> skipRequested{0};
  std::atomic<int> skipAllowed{0};
  std::atomic<std::time_t> startTime{0};
};

// Thrown by StopRun after the stop note is written; only the worker's top frame catches it,
// so nothing is written after a stop.
struct RunStopped {};

}  // namespace mv
