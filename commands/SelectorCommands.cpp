#include "commands/SelectorCommands.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "commands/ReplyRecords.h"
#include "commands/SelectorResolution.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <vector>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;
using ax::Microseconds;

constexpr std::size_t longestPath = 12;
constexpr Microseconds pauseBetweenAttempts{150000};

bool endsPath(Accessibility& ax, const Element& element) {
  auto role = ax::axString(ax, element, ax::AXRole);
  return role == ax::AXWindow || role == ax::AXApplication;
}

// The element first, then its ancestors, up to the first window or application.
std::vector<Element> lineFrom(Accessibility& ax, const Element& hit) {
  std::vector<Element> line{hit};
  while (line.size() < longestPath && !endsPath(ax, line.back())) {
    auto parent = ax::axElementAttr(ax, line.back(), ax::AXParent);
    if (!parent) break;
    line.push_back(std::move(*parent));
  }
  return line;
}

Json pathFrom(Accessibility& ax, const Element& hit) {
  const std::vector<Element> line = lineFrom(ax, hit);
  // Each step's texts are asked of all steps at once, not step by step. Its
  // siblings are not read ahead: a toolkit answers most of their roles and
  // states from its cache, and asking them all of a long table costs more.
  ax.readAhead(line, {ax::AXRole, ax::AXTitle, ax::AXDescription});

  Json path = Json::array();
  for (std::size_t step = 0; step < line.size(); ++step) {
    path.push_back(elementDescriptor(ax, line[step], /*includeValue=*/step == 0));
  }
  return path;
}

void addFrontWindow(Json& reply, Accessibility& ax) {
  ax::FrontWindow front = ax::frontmostWindow(ax);
  // The title is read again now, apart from the one the lookup reports as "appName".
  if (front.window) {
    if (auto title = ax::axString(ax, *front.window, ax::AXTitle)) reply["windowTitle"] = *title;
  }
  if (front.title) reply["appName"] = *front.title;
  if (front.bundleId) reply["appBundleId"] = *front.bundleId;
}

// `now` plus `timeoutMs` (negative counts as 0), saturating at the clock's end.
Microseconds deadlineAfter(Microseconds now, std::int64_t timeoutMs) {
  constexpr std::int64_t microsecondsPerMillisecond = 1000;
  constexpr std::int64_t latest = std::numeric_limits<Microseconds::rep>::max();
  const std::int64_t waitMs = std::max<std::int64_t>(timeoutMs, 0);
  const std::int64_t waitUs =
      waitMs > latest / microsecondsPerMillisecond ? latest : waitMs * microsecondsPerMillisecond;
  if (now.count() > 0 && waitUs > latest - now.count()) return Microseconds(latest);
  return now + Microseconds(waitUs);
}

}  // namespace

Json cmdSelectorAt(Platform& platform, double x, double y) {
  Accessibility& ax = platform.ax;
  const Element systemWide = ax.createSystemWide();
  ax.setMessagingTimeout(systemWide, messagingTimeoutSeconds);
  auto hit = ax.copyElementAtPosition(systemWide, hitTestCoordinate(x), hitTestCoordinate(y));
  if (!hit) return notFoundReply();

  Json reply = {{"found", true}, {"path", pathFrom(ax, *hit)}};
  addFrontWindow(reply, ax);
  return reply;
}

Json cmdFind(Platform& platform, const Json& selector, std::int64_t timeoutMs) {
  const Microseconds deadline = deadlineAfter(platform.clock.now(), timeoutMs);
  for (;;) {
    const Resolution resolution = resolveSelectorOnce(platform.ax, selector);
    const auto* match = std::get_if<SelectorMatch>(&resolution);
    if (match && match->enabled) return matchReply(*match);
    if (platform.clock.now() >= deadline) {
      // At the deadline a disabled match beats nothing, but only a current one.
      return resolutionReply(resolution);
    }
    platform.clock.sleepFor(pauseBetweenAttempts);
    platform.ax.desktopMayHaveChanged();
  }
}

}  // namespace morvel
