#include "base/Host.h"

#include <chrono>
#include <thread>

namespace mv {

Host::Answer Host::UnattendedAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::YesNo:
      return Answer::Yes;
    default:
      return Answer::No;
  }
}

void Host::WaitWhileProcessing(const std::function<bool()>& done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace mv
