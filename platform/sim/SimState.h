#pragma once

// The inside of the simulated desktop, shared by its source files.

#include "platform/sim/SceneModel.h"
#include "platform/sim/SimDesktop.h"

#include <map>
#include <set>

namespace morvel::sim {

// The element that stands for the whole desktop.
struct SystemWideHandle final : ax::ElementNode {};

// The element of a process id that no application of the scene has.
struct MissingApplicationHandle final : ax::ElementNode {
  explicit MissingApplicationHandle(std::int32_t processId) : pid(processId) {}
  std::int32_t pid;
};

struct CallCounts {
  std::int64_t reads = 0;
  std::int64_t hitTests = 0;
  std::int64_t captures = 0;
  std::int64_t recognitions = 0;
  std::int64_t sleeps = 0;
};

// The core's clock on the simulated desktop: the desktop's own time, its sleeps counted.
class CountingClock final : public ax::Clock {
 public:
  CountingClock(ax::Clock& base, CallCounts& counts) : base_(base), counts_(counts) {}
  ax::Microseconds now() override { return base_.now(); }
  void sleepFor(ax::Microseconds duration) override {
    ++counts_.sleeps;
    base_.sleepFor(duration);
  }

 private:
  ax::Clock& base_;
  CallCounts& counts_;
};

struct SimDesktop::State {
  State(Scene loaded, ax::Clock& clock)
      : scene(std::move(loaded)), baseClock(clock), countingClock(clock, counts) {}

  Scene scene;
  ax::Clock& baseClock;
  CallCounts counts;
  CountingClock countingClock;
  std::shared_ptr<const SystemWideHandle> systemWide = std::make_shared<const SystemWideHandle>();

  std::optional<ax::Microseconds> timelineOrigin;  // when the first request was read
  std::size_t nextStep = 0;

  // Messaging time-outs in seconds, by element identity.
  std::map<const Node*, double> nodeTimeouts;
  std::map<std::int32_t, double> missingApplicationTimeouts;
  std::optional<double> systemWideTimeout;
  // Applications that let a read time out during the current request.
  std::set<const Application*> hungApplications;

  // Applies every timeline step that is due; starts the timeline if needed.
  void applyDueSteps();

  // The time-out in force for an element, in milliseconds.
  double timeoutMsFor(const ax::Element& element) const;
  // Lets the application's response delay pass. False when the read times out
  // (then the application counts as hung until the reply is written).
  bool awaitApplication(const Application* application, double timeoutMs);

  std::optional<ax::AttrValue> readNode(const Node& node, std::string_view attribute) const;
  // What the frame reader makes of a node: "AXFrame", else "AXPosition" and "AXSize".
  std::optional<ax::Rect> frameOf(const Node& node) const;

  std::optional<ax::Element> hitTest(float x, float y);
};

// The node behind a handle of this desktop, or none.
const Node* nodeOf(const ax::Element& element);

}  // namespace morvel::sim
