#pragma once

#include "accessibility/Clock.h"

namespace morvel::sim {

// A clock that only moves when something sleeps on it or a test advances it.
class VirtualClock final : public ax::Clock {
 public:
  ax::Microseconds now() override { return now_; }
  void sleepFor(ax::Microseconds duration) override {
    if (duration > ax::Microseconds::zero()) now_ += duration;
  }
  void advance(ax::Microseconds duration) { sleepFor(duration); }

 private:
  ax::Microseconds now_{0};
};

}  // namespace morvel::sim
