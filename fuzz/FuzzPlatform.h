#pragma once

// A simulated desktop on virtual time for the fuzzers and for the test that
// replays their corpora. Sleeps and response delays pass at once; how long each
// request took on the virtual clock is noted; and a request that has waited
// beyond all patience is sent to the end of time, so that a "find" told to wait
// for centuries gives up at its next look at the clock instead of polling on.

#include "accessibility/ForwardingAccessibility.h"
#include "commands/Platform.h"
#include "platform/sim/SimDesktop.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <vector>

namespace morvel::fuzz {

using ax::Microseconds;

// On the desktops the fuzzers use, no request waits this long unless it is a
// "find" told to: a hung application's time-out and a slow one's reads for the
// largest command fit well inside it, a request that waits on every read does
// not. A request that has waited this long is sent to the end of time.
constexpr Microseconds patience = std::chrono::seconds(60);

class FastForwardClock final : public ax::Clock {
 public:
  Microseconds now() override { return now_; }
  // Saturates at the end of time rather than wrapping around.
  void sleepFor(Microseconds duration) override;

  void startRequest() { requestStart_ = now_; }
  Microseconds requestElapsed() const { return now_ - requestStart_; }

 private:
  Microseconds now_{0};
  Microseconds requestStart_{0};
};

// Hands every call to the desktop behind it, and notes the virtual duration of
// each request between the loop's two lifecycle calls.
class TimedAccessibility final : public ax::ForwardingAccessibility {
 public:
  TimedAccessibility(ax::Accessibility& desktop, FastForwardClock& clock)
      : ForwardingAccessibility(desktop), clock_(clock) {}

  const std::vector<Microseconds>& requestTimes() const { return requestTimes_; }

  void requestStarted() override {
    clock_.startRequest();
    ForwardingAccessibility::requestStarted();
  }
  void replyWritten() override {
    requestTimes_.push_back(clock_.requestElapsed());
    ForwardingAccessibility::replyWritten();
  }

 private:
  FastForwardClock& clock_;
  std::vector<Microseconds> requestTimes_;
};

// A fresh desktop of one scene with the virtual clock and the timing in front of it.
class FuzzDesktop {
 public:
  // Throws sim::SceneError when the scene does not load.
  explicit FuzzDesktop(const nlohmann::json& scene);

  Platform& platform() { return platform_; }
  const std::vector<Microseconds>& requestTimes() const { return timed_.requestTimes(); }

 private:
  FastForwardClock clock_;
  std::unique_ptr<sim::SimDesktop> desktop_;
  TimedAccessibility timed_;
  Platform platform_;
};

}  // namespace morvel::fuzz
