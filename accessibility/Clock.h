#pragma once

// Time as the core sees it; tests replace it with a virtual clock.

#include <chrono>

namespace morvel::ax {

using Microseconds = std::chrono::microseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  // A monotonic instant; only differences carry meaning.
  virtual Microseconds now() = 0;
  virtual void sleepFor(Microseconds duration) = 0;
};

// The process's monotonic clock and real sleeps.
class SystemClock final : public Clock {
 public:
  Microseconds now() override;
  void sleepFor(Microseconds duration) override;
};

}  // namespace morvel::ax
