// Latency and platform reads of "find" and "selector-at" on large simulated trees,
// side by side with a bare replay of the very platform calls each command made:
// the replay is the simulated platform's own cost, so the ratio of the two is what
// the core adds on top.
//
// selector_bench [runs]

#include "accessibility/AXNames.h"
#include "app/Dispatcher.h"
#include "bench/Timing.h"
#include "commands/WalkBounds.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/VirtualClock.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace {

namespace ax = morvel::ax;

using morvel::bench::median;

using morvel::Json;
using morvel::ax::Element;
using nlohmann::json;

// ---- recording and replaying platform calls ------------------------------------

struct CreateSystemWide {};
struct CreateApplication {
  std::int32_t pid;
};
struct CopyAttribute {
  Element element;
  std::string attribute;
};
struct HitTest {
  Element systemWide;
  float x;
  float y;
};
struct SetTimeout {
  Element element;
  double seconds;
};
struct SameElement {
  Element a;
  Element b;
};
struct Frontmost {};
using PlatformCall =
    std::variant<CreateSystemWide, CreateApplication, CopyAttribute, HitTest, SetTimeout, SameElement, Frontmost>;

// Passes every call on to the desktop and keeps a log of them.
class RecordingAccessibility final : public morvel::ax::Accessibility {
 public:
  explicit RecordingAccessibility(morvel::ax::Accessibility& platform) : platform_(platform) {}
  std::vector<PlatformCall> calls;

  Element createSystemWide() override {
    calls.emplace_back(CreateSystemWide{});
    return platform_.createSystemWide();
  }
  Element createApplication(std::int32_t pid) override {
    calls.emplace_back(CreateApplication{pid});
    return platform_.createApplication(pid);
  }
  std::optional<morvel::ax::AttrValue> copyAttributeValue(const Element& element, std::string_view attribute) override {
    calls.emplace_back(CopyAttribute{element, std::string(attribute)});
    return platform_.copyAttributeValue(element, attribute);
  }
  std::optional<Element> copyElementAtPosition(const Element& systemWide, float x, float y) override {
    calls.emplace_back(HitTest{systemWide, x, y});
    return platform_.copyElementAtPosition(systemWide, x, y);
  }
  void setMessagingTimeout(const Element& element, double seconds) override {
    calls.emplace_back(SetTimeout{element, seconds});
    platform_.setMessagingTimeout(element, seconds);
  }
  bool isSameElement(const Element& a, const Element& b) override {
    calls.emplace_back(SameElement{a, b});
    return platform_.isSameElement(a, b);
  }
  std::optional<morvel::ax::RunningApplication> frontmostApplication() override {
    calls.emplace_back(Frontmost{});
    return platform_.frontmostApplication();
  }

 private:
  morvel::ax::Accessibility& platform_;
};

// Makes the logged calls again, directly on the desktop, with nothing around them.
void replay(morvel::ax::Accessibility& platform, const std::vector<PlatformCall>& calls) {
  struct Caller {
    morvel::ax::Accessibility& platform;
    void operator()(const CreateSystemWide&) const { (void)platform.createSystemWide(); }
    void operator()(const CreateApplication& call) const { (void)platform.createApplication(call.pid); }
    void operator()(const CopyAttribute& call) const { (void)platform.copyAttributeValue(call.element, call.attribute); }
    void operator()(const HitTest& call) const { (void)platform.copyElementAtPosition(call.systemWide, call.x, call.y); }
    void operator()(const SetTimeout& call) const { platform.setMessagingTimeout(call.element, call.seconds); }
    void operator()(const SameElement& call) const { (void)platform.isSameElement(call.a, call.b); }
    void operator()(const Frontmost&) const { (void)platform.frontmostApplication(); }
  };
  for (const PlatformCall& call : calls) std::visit(Caller{platform}, call);
}

// ---- scenes ---------------------------------------------------------------------

json rect(double x, double y, double w, double h) { return {{"rect", {x, y, w, h}}}; }

json desktopWith(json window) {
  return {{"frontmost", {{"pid", 501}, {"bundleId", "com.example.bench"}}},
          {"applications", {{{"pid", 501}, {"attrs", {{ax::AXTitle, "Bench"}}}, {"windows", {std::move(window)}}}}}};
}

// A window of `groups` groups of `perGroup` leaves each, alternately static texts and
// buttons; the button at `targetChild` of group `targetGroup` is titled "Target".
struct WideScene {
  int groups = 500;
  int perGroup = 99;
  int targetGroup = 87;
  int targetChild = 97;

  int elementCount() const { return 1 + groups * (1 + perGroup); }
  // 1-based position of the target in pre-order, the window being the first.
  int targetPosition() const { return 1 + targetGroup * (1 + perGroup) + 1 + targetChild + 1; }
  // Buttons met in pre-order within the first `examined` elements.
  int buttonsAmongFirst(int examined) const {
    int buttons = 0;
    int position = 1;
    for (int g = 0; g < groups && position < examined; ++g) {
      ++position;  // the group
      for (int c = 0; c < perGroup && position < examined; ++c) {
        ++position;
        if (c % 2 == 1) ++buttons;
      }
    }
    return buttons;
  }
  double targetX() const { return 500; }
  double targetY() const { return targetGroup * 10.0; }

  json build() const {
    json children = json::array();
    for (int g = 0; g < groups; ++g) {
      json leaves = json::array();
      for (int c = 0; c < perGroup; ++c) {
        if (c % 2 == 0) {
          leaves.push_back({{"attrs", {{ax::AXRole, ax::AXStaticText}, {ax::AXValue, "text " + std::to_string(c)}}}});
          continue;
        }
        const bool isTarget = g == targetGroup && c == targetChild;
        json attrs = {{ax::AXRole, ax::AXButton},
                      {ax::AXRoleDescription, "button"},
                      {ax::AXEnabled, true},
                      {ax::AXTitle, isTarget ? std::string("Target") : "Button " + std::to_string(g) + "-" + std::to_string(c)}};
        if (isTarget) attrs[ax::AXFrame] = rect(targetX(), targetY(), 50, 10);
        leaves.push_back({{"attrs", attrs}});
      }
      children.push_back({{"attrs", {{ax::AXRole, ax::AXGroup}, {ax::AXFrame, rect(0, g * 10.0, 1000, 10)}}},
                          {"children", leaves}});
    }
    return desktopWith({{"attrs", {{ax::AXRole, ax::AXWindow}, {ax::AXTitle, "Big"}, {ax::AXFrame, rect(0, 0, 1000, groups * 10.0)}}},
                        {"children", children}});
  }
};

// A button `depth` levels below the window, each level a group with
// `siblingsPerLevel` unframed static texts before the next level.
struct DeepScene {
  int depth = 12;
  int siblingsPerLevel = 4;

  json build() const {
    json node = {{"attrs", {{ax::AXRole, ax::AXButton}, {ax::AXTitle, "Deep"}, {ax::AXValue, "1"}, {ax::AXFrame, rect(0, 0, 10, 10)}}}};
    for (int level = depth - 1; level >= 1; --level) {
      json children = json::array();
      for (int s = 0; s < siblingsPerLevel; ++s) children.push_back({{"attrs", {{ax::AXRole, ax::AXStaticText}}}});
      children.push_back(node);
      node = {{"attrs", {{ax::AXRole, ax::AXGroup}, {ax::AXTitle, std::to_string(level)}, {ax::AXFrame, rect(0, 0, 100, 100)}}},
              {"children", children}};
    }
    return desktopWith({{"attrs", {{ax::AXRole, ax::AXWindow}, {ax::AXTitle, "Deep"}, {ax::AXFrame, rect(0, 0, 100, 100)}}},
                        {"children", {node}}});
  }
};

// ---- measuring ------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

template <class Work>
double microsecondsOf(Work&& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Measurement {
  double commandUs;
  double replayUs;
  double ratio;  // median of the run-by-run ratios, steadier than a ratio of medians on a busy machine
  std::int64_t reads;
  std::int64_t hitTests;
};

// Runs the request `runs` times and its replay as many times, interleaved so that
// both see the same machine, and counts the platform calls of one run.
Measurement measure(morvel::sim::SimDesktop& desktop, morvel::Platform& platform, const Json& request, int runs) {
  RecordingAccessibility recorder(desktop);
  morvel::Platform recording{recorder, platform.screen, platform.clock};
  desktop.takeStats();
  const Json reply = morvel::handle(request, recording);
  const json stats = desktop.takeStats();
  if (!reply.value("found", false)) {
    std::fprintf(stderr, "selector_bench: %s found nothing: %s\n", request["cmd"].get<std::string>().c_str(),
                 reply.dump().c_str());
    std::exit(1);
  }

  std::vector<double> commandTimes;
  std::vector<double> replayTimes;
  std::vector<double> ratios;
  for (int run = 0; run < runs; ++run) {
    commandTimes.push_back(microsecondsOf([&] { (void)morvel::handle(request, platform); }));
    replayTimes.push_back(microsecondsOf([&] { replay(desktop, recorder.calls); }));
    ratios.push_back(commandTimes.back() / replayTimes.back());
  }
  return {median(commandTimes), median(replayTimes), median(ratios), stats["reads"].get<std::int64_t>(),
          stats["hitTests"].get<std::int64_t>()};
}

bool report(const char* name, const Measurement& m, std::int64_t prescribedReads) {
  const double overhead = (m.ratio - 1) * 100;
  std::printf("%-12s median %9.1f us   bare replay %9.1f us   core adds %+6.1f%%   reads %6lld (prescribed at most %lld)"
              "   hit tests %lld\n",
              name, m.commandUs, m.replayUs, overhead, static_cast<long long>(m.reads),
              static_cast<long long>(prescribedReads), static_cast<long long>(m.hitTests));
  return m.reads <= prescribedReads;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 51;
  bool withinReads = true;

  {
    const WideScene scene;
    morvel::sim::VirtualClock clock;
    auto desktop = morvel::sim::SimDesktop::fromJson(scene.build(), clock);
    morvel::Platform platform{*desktop, *desktop, desktop->clock()};
    desktop->requestStarted();

    // The selector a client would keep for the target button.
    Json selector = morvel::handle({{"cmd", "selector-at"}, {"x", scene.targetX() + 1}, {"y", scene.targetY() + 1}}, platform);
    const Json target = selector["path"][0];
    Measurement m = measure(*desktop, platform, {{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}}, runs);

    // What the algorithm may read: the front window (focused window, list of
    // windows, title, title again), two reads per examined element, per candidate
    // its role and each text the target names, then the match's frame (up to three
    // reads), enabled state, role and value.
    constexpr int budget = morvel::windowWalk.budget;
    const int examined = std::min(budget, scene.elementCount());
    int namedTexts = 0;
    for (const char* key : {"identifier", "title", "description", "roleDescription", "value"}) {
      if (target.contains(key) && !target[key].get<std::string>().empty()) ++namedTexts;
    }
    const std::int64_t prescribed = 4 + 2 * examined + scene.buttonsAmongFirst(examined) * (1 + namedTexts) + 6;
    std::printf("find: %d elements, target at pre-order position %d of a %d-element budget\n", scene.elementCount(),
                scene.targetPosition(), budget);
    withinReads &= report("find", m, prescribed);
  }

  {
    const DeepScene scene;
    morvel::sim::VirtualClock clock;
    auto desktop = morvel::sim::SimDesktop::fromJson(scene.build(), clock);
    morvel::Platform platform{*desktop, *desktop, desktop->clock()};
    desktop->requestStarted();
    Measurement m = measure(*desktop, platform, {{"cmd", "selector-at"}, {"x", 5}, {"y", 5}}, runs * 20);

    // Per path entry: six texts (seven for the first), the sibling index (parent,
    // own role, the parent's children, a role per child), the entry's role and its
    // parent; then the front window (focused window, list, title) and its title.
    constexpr int longestPath = 12;
    const int perEntry = 6 + 3 + (scene.siblingsPerLevel + 1) + 2;
    const std::int64_t prescribed = 1 + longestPath * perEntry + 4;
    std::printf("selector-at: element %d levels below its window\n", scene.depth);
    withinReads &= report("selector-at", m, prescribed);
  }

  if (!withinReads) {
    std::printf("FAIL: a command read more than its algorithm allows\n");
    return 1;
  }
  return 0;
}
