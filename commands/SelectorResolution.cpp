#include "commands/SelectorResolution.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "commands/SelectorScoring.h"
#include "text/UnicodeText.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;

// Bounds how long one read may wait on an application that does not answer.
constexpr double resolutionMessagingTimeoutSeconds = 2.0;
constexpr int candidateMaxDepth = 35;
constexpr int candidateBudget = 9000;

Json notFound() { return {{"found", false}}; }

std::optional<std::string> wantedWindowTitle(const Json& selector) {
  if (!selector.is_object()) return std::nullopt;
  auto title = selector.find("windowTitle");
  if (title == selector.end() || !title->is_string() || title->get_ref<const std::string&>().empty()) {
    return std::nullopt;
  }
  return title->get<std::string>();
}

bool titlesOverlap(const std::string& title, const std::string& wanted) {
  return !title.empty() && (containsText(title, wanted) || containsText(wanted, title));
}

// A window of the frontmost application titled `wanted`: the first exact match in
// list order, else the first whose title contains or is contained in it.
std::optional<Element> applicationWindowTitled(Accessibility& ax, const std::string& wanted) {
  auto frontmost = ax.frontmostApplication();
  if (!frontmost) return std::nullopt;
  const Element application = ax.createApplication(frontmost->pid);
  ax.setMessagingTimeout(application, resolutionMessagingTimeoutSeconds);
  const auto windows = ax::axChildren(ax, application, ax::AXWindows);

  // The exact pass reads every title before the containment pass may begin.
  std::vector<std::optional<std::string>> titles;
  titles.reserve(windows.size());
  for (const Element& window : windows) {
    titles.push_back(ax::axString(ax, window, ax::AXTitle));
    if (titles.back() == wanted) return window;
  }
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (titles[i] && titlesOverlap(*titles[i], wanted)) return windows[i];
  }
  return std::nullopt;
}

// The first entry of an array of objects under "path"; none for any other shape.
const Json* pathTarget(const Json& selector) {
  if (!selector.is_object()) return nullptr;
  auto path = selector.find("path");
  if (path == selector.end() || !path->is_array() || path->empty()) return nullptr;
  for (const Json& entry : *path) {
    if (!entry.is_object()) return nullptr;
  }
  return &path->front();
}

// The target's "index"; 0 unless it is an integer. Larger than any position, a huge
// unsigned index only has to stay larger.
std::int64_t wantedPosition(const Json& target) {
  auto index = target.find("index");
  if (index == target.end()) return 0;
  if (index->is_number_unsigned()) {
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(std::min(index->get<std::uint64_t>(), largest));
  }
  if (index->is_number_integer()) return index->get<std::int64_t>();
  return 0;
}

// |a - b| without overflow for any pair of 64-bit integers.
std::uint64_t distanceBetween(std::int64_t a, std::int64_t b) {
  return a > b ? static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b)
               : static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a);
}

struct Choice {
  std::optional<Element> element;
  int score = 0;
};

// The highest score wins; between equal scores, the candidate nearest the wanted
// position, and between equally near ones the first in document order.
Choice bestCandidate(Accessibility& ax, const std::vector<Element>& candidates, const Json& target) {
  const std::int64_t wanted = wantedPosition(target);
  const ScoringTarget scoring = scoringTargetOf(target);
  Choice best;
  std::uint64_t bestDistance = std::numeric_limits<std::uint64_t>::max();
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    // Candidates were collected by the target's role, so their role is not read twice.
    const int score = scoreWithMatchingRole(ax, candidates[i], scoring);
    if (score <= 0) continue;
    const std::uint64_t distance = distanceBetween(static_cast<std::int64_t>(i), wanted);
    if (score > best.score || (score == best.score && distance < bestDistance)) {
      best = {candidates[i], score};
      bestDistance = distance;
    }
  }
  return best;
}

Json describeMatch(Accessibility& ax, const Element& element, int score, const ax::Rect& frame) {
  Json reply = {{"found", true}, {"score", score}, {"frame", ax::frameDictionary(frame)}};
  // An element that does not say whether it is enabled is taken to be usable.
  reply["enabled"] = ax::axBool(ax, element, ax::AXEnabled).value_or(true);
  if (auto role = ax::axString(ax, element, ax::AXRole)) reply["role"] = *role;
  if (auto value = ax::axString(ax, element, ax::AXValue)) reply["value"] = *value;
  return reply;
}

}  // namespace

std::optional<Element> windowForSelector(Accessibility& ax, const Json& selector) {
  ax::FrontWindow front = ax::frontmostWindow(ax);
  auto wanted = wantedWindowTitle(selector);
  if (!wanted) return front.window;
  // The front-window lookup has just read the front window's title.
  if (front.window && front.title == *wanted) return front.window;
  if (auto titled = applicationWindowTitled(ax, *wanted)) return titled;
  return front.window;
}

Json resolveSelectorOnce(Accessibility& ax, const Json& selector) {
  auto target = pathTarget(selector);
  if (!target || target->empty()) return notFound();
  auto role = target->find("role");
  if (role == target->end() || !role->is_string()) return notFound();

  auto window = windowForSelector(ax, selector);
  if (!window) return notFound();
  ax.setMessagingTimeout(*window, resolutionMessagingTimeoutSeconds);

  std::vector<Element> candidates;
  int budget = candidateBudget;
  collectByRole(ax, *window, ax::RoleSet{role->get<std::string>()}, 0, candidateMaxDepth, budget, candidates);

  Choice best = bestCandidate(ax, candidates, *target);
  if (!best.element) return notFound();
  auto frame = ax::axFrame(ax, *best.element);
  if (!frame) return notFound();
  return describeMatch(ax, *best.element, best.score, *frame);
}

}  // namespace morvel
