#include "accessibility/Clock.h"

#include <thread>

namespace morvel::ax {

Microseconds SystemClock::now() {
  return std::chrono::duration_cast<Microseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

void SystemClock::sleepFor(Microseconds duration) {
  if (duration > Microseconds::zero()) std::this_thread::sleep_for(duration);
}

}  // namespace morvel::ax
