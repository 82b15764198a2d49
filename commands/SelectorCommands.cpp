#include "commands/SelectorCommands.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "commands/ReplyRecords.h"
#include "commands/SelectorResolution.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;
using ax::Microseconds;

constexpr int longestPath = 12;
constexpr Microseconds pauseBetweenAttempts{150000};

bool endsPath(Accessibility& ax, const Element& element) {
  auto role = ax::axString(ax, element, ax::AXRole);
  return role == ax::AXWindow || role == ax::AXApplication;
}

// The element first, then its ancestors, up to the first window or application.
Json pathFrom(Accessibility& ax, const Element& hit) {
  Json path = Json::array();
  Element current = hit;
  for (int step = 0; step < longestPath; ++step) {
    const bool isHitElement = step == 0;
    path.push_back(elementDescriptor(ax, current, /*includeValue=*/isHitElement));
    if (endsPath(ax, current)) break;
    auto parent = ax::axElementAttr(ax, current, ax::AXParent);
    if (!parent) break;
    current = *parent;
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
