#pragma once

// A simulated desktop on a virtual clock, for unit tests of the core.

#include "commands/Platform.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/VirtualClock.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvel::testing {

class SimDesktopFixture {
 public:
  explicit SimDesktopFixture(const nlohmann::json& scene)
      : desktop_(sim::SimDesktop::fromJson(scene, clock_)), platform_{*desktop_, *desktop_, desktop_->clock()} {
    desktop_->requestStarted();  // the timeline starts with the first request
  }

  sim::SimDesktop& desktop() { return *desktop_; }
  ax::Accessibility& ax() { return *desktop_; }
  Platform& platform() { return platform_; }
  sim::VirtualClock& clock() { return clock_; }

  // Milliseconds of virtual time since the fixture was made.
  double elapsedMs() { return static_cast<double>(clock_.now().count()) / 1000.0; }

  // Platform calls since the previous call (or since start).
  nlohmann::json stats() { return desktop_->takeStats(); }

  // The element with this scene id; counts no read.
  ax::Element element(const std::string& id) {
    auto found = desktop_->elementWithId(id);
    if (!found) throw std::invalid_argument("no element with the id " + id);
    return *found;
  }

  // The scene id of each of `elements`: the first of `ids` it is, "?" for none.
  std::vector<std::string> idsOf(const std::vector<ax::Element>& elements, const std::vector<std::string>& ids) {
    std::vector<std::string> found;
    for (const ax::Element& each : elements) {
      auto id = std::ranges::find_if(ids, [&](const std::string& candidate) { return ax().isSameElement(each, element(candidate)); });
      found.push_back(id == ids.end() ? "?" : *id);
    }
    return found;
  }

  // Ends the current request as the request loop would.
  void endRequest() { desktop_->replyWritten(); }

 private:
  sim::VirtualClock clock_;
  std::unique_ptr<sim::SimDesktop> desktop_;
  Platform platform_;
};

}  // namespace morvel::testing
