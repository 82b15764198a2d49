#include "accessibility/Walkers.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"

#include <algorithm>
#include <cstddef>

namespace morvel::ax {
namespace {

// The deepest level `firstValueInSubtree` searches.
constexpr int valueSearchMaxDepth = 4;

std::optional<std::string> nonEmptyText(Accessibility& ax, const Element& element, std::string_view attribute) {
  auto text = axString(ax, element, attribute);
  if (text && !text->empty()) return text;
  return std::nullopt;
}

}  // namespace

bool visitByRole(Accessibility& ax, const Element& element, const RoleSet& roles, int depth, int maxDepth,
                 int& budget, const std::function<WalkOn(const Element&)>& visit) {
  if (budget < 1 || depth > maxDepth) return true;
  if (depth == 0) ax.walkAhead(element, budget);
  --budget;
  if (auto role = axString(ax, element, AXRole); role && roles.contains(*role)) {
    if (visit(element) == WalkOn::Stop) return false;
  }
  if (depth >= maxDepth || budget < 1) return true;  // no child could be examined: skip reading them
  std::vector<Element> children = axChildren(ax, element, AXChildren);
  // Each child is examined next, as far as the budget goes: its role, then its children.
  std::vector<Element> examined(children.begin(),
                                children.begin() + std::min<std::ptrdiff_t>(std::ssize(children), budget));
  ax.readAhead(examined, {AXRole, AXChildren});
  for (const Element& child : children) {
    if (!visitByRole(ax, child, roles, depth + 1, maxDepth, budget, visit)) return false;
  }
  return true;
}

void collectByRole(Accessibility& ax, const Element& element, const RoleSet& roles, int depth, int maxDepth,
                   int& budget, std::vector<Element>& into) {
  visitByRole(ax, element, roles, depth, maxDepth, budget, [&into](const Element& match) {
    into.push_back(match);
    return WalkOn::Continue;
  });
}

std::vector<Element> collectFirstByRole(Accessibility& ax, const Element& element, const RoleSet& roles, int maxDepth,
                                        int budget, std::size_t limit) {
  std::vector<Element> matches;
  if (limit == 0) return matches;
  visitByRole(ax, element, roles, 0, maxDepth, budget, [&](const Element& match) {
    matches.push_back(match);
    return matches.size() < limit ? WalkOn::Continue : WalkOn::Stop;
  });
  return matches;
}

std::optional<std::string> firstValueInSubtree(Accessibility& ax, const Element& element, int depth, int& budget) {
  if (budget < 1 || depth > valueSearchMaxDepth) return std::nullopt;
  --budget;
  if (auto value = nonEmptyText(ax, element, AXValue)) return value;
  if (auto title = nonEmptyText(ax, element, AXTitle)) return title;
  if (depth >= valueSearchMaxDepth || budget < 1) return std::nullopt;
  const std::vector<Element> children = axChildren(ax, element, AXChildren);
  ax.readAhead(children, {AXValue, AXTitle});
  for (const Element& child : children) {
    if (auto found = firstValueInSubtree(ax, child, depth + 1, budget)) return found;
  }
  return std::nullopt;
}

}  // namespace morvel::ax
