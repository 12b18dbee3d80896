#include "base/Host.h"

#include <chrono>
#include <thread>

namespace mv {

void Host::WaitWhileProcessing(const std::function<bool()>& done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace mv
