// "fingerprint" on windows of growing size: the platform reads one request makes
// and its median latency, side by side. The tree dump is bounded by depth and
// breadth, so the reads must stay the same however large the window grows.

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "app/Dispatcher.h"
#include "commands/FingerprintCommand.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/VirtualClock.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

namespace ax = morvel::ax;

using morvel::Json;

// Elements of a full tree of the dump's breadth, from the top down to `depth`.
constexpr long dumpElementsDownTo(int depth) {
  long count = 0;
  long level = 1;
  for (int d = 0; d <= depth; ++d, level *= morvel::windowDumpMaxBreadth) count += level;
  return count;
}

// The most elements a dump may cover (1 + 12 + 144 + 1728). Each costs a read of
// "AXRole" and "AXTitle"; those above its deepest level also a read of "AXChildren".
constexpr long dumpElementBound = dumpElementsDownTo(morvel::windowDumpMaxDepth);
constexpr long dumpReadBound = 2 * dumpElementBound + dumpElementsDownTo(morvel::windowDumpMaxDepth - 1);
constexpr int timedRuns = 101;

struct WindowShape {
  int childrenPerElement;
  int depth;  // depth of the deepest elements; the window is at depth 0
};

long elementCount(const WindowShape& shape) {
  long count = 0;
  long level = 1;
  for (int depth = 0; depth <= shape.depth; ++depth, level *= shape.childrenPerElement) count += level;
  return count;
}

Json subtree(const WindowShape& shape, int depth, long& serial) {
  const bool leaf = depth == shape.depth;
  Json node = {{"attrs",
                {{ax::AXRole, depth == 0 ? ax::AXWindow : leaf ? ax::AXStaticText : ax::AXGroup},
                 {ax::AXTitle, "element " + std::to_string(serial++)}}}};
  if (leaf) return node;
  Json children = Json::array();
  for (int index = 0; index < shape.childrenPerElement; ++index) children.push_back(subtree(shape, depth + 1, serial));
  node["children"] = std::move(children);
  return node;
}

std::unique_ptr<morvel::sim::SimDesktop> desktopWithWindow(const WindowShape& shape, morvel::ax::Clock& clock) {
  long serial = 0;
  Json application = {{"pid", 501}, {"windows", Json::array()}};
  application["windows"].push_back(subtree(shape, 0, serial));
  Json scene = {{"frontmost", {{"pid", 501}, {"bundleId", "com.example.large"}}}, {"applications", Json::array()}};
  scene["applications"].push_back(std::move(application));
  return morvel::sim::SimDesktop::fromJson(scene, clock);
}

struct Measurement {
  long elements;
  long dumpedElements;
  long dumpReads;  // the request's reads less those of the front-window lookup
  double medianMicroseconds;
};

long linesOf(const std::string& text) { return 1 + std::count(text.begin(), text.end(), '\n'); }

Measurement measure(const WindowShape& shape) {
  morvel::sim::VirtualClock clock;
  auto desktop = desktopWithWindow(shape, clock);
  morvel::Platform platform{*desktop, *desktop, desktop->clock()};
  const Json request = {{"cmd", "fingerprint"}};

  desktop->takeStats();
  const auto front = morvel::ax::frontmostWindow(*desktop);
  const long lookupReads = desktop->takeStats()["reads"].get<long>();
  const long dumpedElements =
      linesOf(morvel::dumpAXTree(*desktop, front.window.value(), 0, morvel::windowDumpMaxDepth, morvel::windowDumpMaxBreadth));

  desktop->takeStats();
  desktop->requestStarted();
  morvel::handle(request, platform);
  desktop->replyWritten();
  const long reads = desktop->takeStats()["reads"].get<long>();

  std::vector<double> micros;
  micros.reserve(timedRuns);
  for (int run = 0; run < timedRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    desktop->requestStarted();
    morvel::handle(request, platform);
    desktop->replyWritten();
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(micros.begin(), micros.begin() + timedRuns / 2, micros.end());
  return {elementCount(shape), dumpedElements, reads - lookupReads, micros[timedRuns / 2]};
}

}  // namespace

int main() {
  std::printf("dump bound: %ld elements, %ld reads\n", dumpElementBound, dumpReadBound);
  std::printf("%-22s %10s %8s %11s %13s %7s\n", "window", "elements", "dumped", "dump reads", "median (us)",
              "ratio");
  bool withinBound = true;
  // The depth-6 window holds 3.26 million elements: about 4 GB and half a minute
  // to build. Its latency also shows the cache misses of so large a scene in
  // memory; its reads must not move.
  const std::vector<WindowShape> shapes = {{12, 3}, {12, 4}, {12, 5}, {12, 6}, {20, 4}};
  double baseline = 0;
  for (const WindowShape& shape : shapes) {
    const Measurement result = measure(shape);
    if (baseline == 0) baseline = result.medianMicroseconds;
    const std::string name =
        std::to_string(shape.childrenPerElement) + " children, depth " + std::to_string(shape.depth);
    std::printf("%-22s %10ld %8ld %11ld %13.1f %7.2f\n", name.c_str(), result.elements, result.dumpedElements,
                result.dumpReads, result.medianMicroseconds, result.medianMicroseconds / baseline);
    std::fflush(stdout);
    withinBound = withinBound && result.dumpedElements <= dumpElementBound && result.dumpReads <= dumpReadBound;
  }
  std::printf("reads within the bound for every window: %s\n", withinBound ? "yes" : "NO");
  return withinBound ? 0 : 1;
}
