#include "fuzz/FuzzPlatform.h"

namespace morvel::fuzz {

void FastForwardClock::sleepFor(Microseconds duration) {
  constexpr Microseconds endOfTime = Microseconds::max();
  if (duration <= Microseconds::zero()) return;
  now_ = duration > endOfTime - now_ ? endOfTime : now_ + duration;
  if (now_ - requestStart_ > patience) now_ = endOfTime;
}

FuzzDesktop::FuzzDesktop(const nlohmann::json& scene)
    : desktop_(sim::SimDesktop::fromJson(scene, clock_)),
      timed_(*desktop_, clock_),
      platform_{timed_, *desktop_, desktop_->clock()} {}

}  // namespace morvel::fuzz
