#include "commands/SelectorResolution.h"

#include "accessibility/AXNames.h"
#include "accessibility/Descriptor.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "commands/ReplyRecords.h"
#include "commands/SelectorScoring.h"
#include "commands/WalkBounds.h"
#include "text/UnicodeText.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;

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
  ax.setMessagingTimeout(application, messagingTimeoutSeconds);
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

// The array of objects under "path"; none for any other shape.
const Json* selectorPath(const Json& selector) {
  if (!selector.is_object()) return nullptr;
  auto path = selector.find("path");
  if (path == selector.end() || !path->is_array() || path->empty()) return nullptr;
  for (const Json& entry : *path) {
    if (!entry.is_object()) return nullptr;
  }
  return &*path;
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

// The most tied candidates placed by their path (each costs a few reads per
// ancestor compared).
constexpr std::size_t mostTiesPlaced = 256;

bool standsAt(Accessibility& ax, const Element& element, const Json& entry) {
  const auto role = entry.find("role");
  return role != entry.end() && role->is_string() && ax::axString(ax, element, ax::AXRole) == role->get<std::string>() &&
         ax::siblingIndex(ax, element) == wantedPosition(entry);
}

// How far the element stands where the path says: its own sibling index, then
// its ancestors' roles and sibling indices one after the other, as far as they
// agree. Rows that share their cells' texts, and untitled controls, differ only
// there.
std::size_t placeAlongPath(Accessibility& ax, const Element& element, const Json& path) {
  if (ax::siblingIndex(ax, element) != wantedPosition(path.front())) return 0;
  std::size_t matched = 1;
  std::optional<Element> current = element;
  for (; matched < path.size(); ++matched) {
    current = ax::axElementAttr(ax, *current, ax::AXParent);
    if (!current || !standsAt(ax, *current, path[matched])) break;
  }
  return matched;
}

// The highest score wins; between equal scores, the candidate that stands
// furthest where a path of more than one entry says, then the one nearest the
// wanted position, and between equally near ones the first in document order.
Choice bestCandidate(Accessibility& ax, const std::vector<Element>& candidates, const Json& path) {
  const Json& target = path.front();
  const ScoringTarget scoring = scoringTargetOf(target);
  // Candidates were collected by the target's role, so their role is not read twice.
  readScoringAhead(ax, candidates, scoring);
  std::vector<int> scores;
  scores.reserve(candidates.size());
  for (const Element& candidate : candidates) scores.push_back(scoreWithMatchingRole(ax, candidate, scoring));
  const int bestScore = scores.empty() ? 0 : *std::max_element(scores.begin(), scores.end());
  if (bestScore <= 0) return {};

  std::vector<std::size_t> tied;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (scores[i] == bestScore) tied.push_back(i);
  }
  if (tied.size() > 1 && tied.size() <= mostTiesPlaced && path.size() > 1) {
    std::vector<std::size_t> inPlace(candidates.size(), 0);
    std::size_t mostInPlace = 0;
    for (std::size_t i : tied) mostInPlace = std::max(mostInPlace, inPlace[i] = placeAlongPath(ax, candidates[i], path));
    std::erase_if(tied, [&](std::size_t i) { return inPlace[i] < mostInPlace; });
  }

  const std::int64_t wanted = wantedPosition(target);
  std::size_t chosen = tied.front();
  for (std::size_t i : tied) {
    if (distanceBetween(static_cast<std::int64_t>(i), wanted) < distanceBetween(static_cast<std::int64_t>(chosen), wanted)) {
      chosen = i;
    }
  }
  return {candidates[chosen], bestScore};
}

SelectorMatch describeMatch(Accessibility& ax, const Element& element, int score, const ax::Rect& frame) {
  return {.element = element,
          .score = score,
          .frame = frame,
          .enabled = ax::axBool(ax, element, ax::AXEnabled).value_or(true),
          .role = ax::axString(ax, element, ax::AXRole),
          .value = ax::axString(ax, element, ax::AXValue)};
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

Resolution resolveSelectorOnce(Accessibility& ax, const Json& selector) {
  const Json* path = selectorPath(selector);
  if (!path || path->front().empty()) return NoMatch::MalformedSelector;
  const Json* target = &path->front();
  auto role = target->find("role");
  if (role == target->end() || !role->is_string()) return NoMatch::MalformedSelector;

  auto window = windowForSelector(ax, selector);
  if (!window) return NoMatch::NoWindow;
  ax.setMessagingTimeout(*window, messagingTimeoutSeconds);

  std::vector<Element> candidates;
  int budget = windowWalk.budget;
  collectByRole(ax, *window, ax::RoleSet{role->get<std::string>()}, 0, windowWalk.maxDepth, budget, candidates);

  Choice best = bestCandidate(ax, candidates, *path);
  if (!best.element) return NoMatch::NoCandidate;
  auto frame = ax::axFrame(ax, *best.element);
  if (!frame) return NoMatch::NoFrame;
  return describeMatch(ax, *best.element, best.score, *frame);
}

Json matchReply(const SelectorMatch& match) {
  Json reply = {{"found", true}, {"score", match.score}, {"frame", frameDictionary(match.frame)}};
  reply["enabled"] = match.enabled;
  if (match.role) reply["role"] = *match.role;
  if (match.value) reply["value"] = *match.value;
  return reply;
}

Json resolutionReply(const Resolution& resolution) {
  const auto* match = std::get_if<SelectorMatch>(&resolution);
  return match ? matchReply(*match) : notFoundReply();
}

}  // namespace morvel
