#include "accessibility/Walkers.h"

#include "accessibility/Readers.h"

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

void collectByRole(Accessibility& ax, const Element& element, const RoleSet& roles, int depth, int maxDepth,
                   int& budget, std::vector<Element>& into) {
  if (budget < 1 || depth > maxDepth) return;
  --budget;
  if (auto role = axString(ax, element, "AXRole"); role && roles.contains(*role)) into.push_back(element);
  if (depth >= maxDepth || budget < 1) return;  // no child could be examined: skip reading them
  for (const Element& child : axChildren(ax, element, "AXChildren")) {
    collectByRole(ax, child, roles, depth + 1, maxDepth, budget, into);
  }
}

std::optional<std::string> firstValueInSubtree(Accessibility& ax, const Element& element, int depth, int& budget) {
  if (budget < 1 || depth > valueSearchMaxDepth) return std::nullopt;
  --budget;
  if (auto value = nonEmptyText(ax, element, "AXValue")) return value;
  if (auto title = nonEmptyText(ax, element, "AXTitle")) return title;
  if (depth >= valueSearchMaxDepth || budget < 1) return std::nullopt;
  for (const Element& child : axChildren(ax, element, "AXChildren")) {
    if (auto found = firstValueInSubtree(ax, child, depth + 1, budget)) return found;
  }
  return std::nullopt;
}

}  // namespace morvel::ax
