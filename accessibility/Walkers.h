#pragma once

// The two bounded walks below an element. Both examine elements in pre-order and
// spend one unit of the caller's budget per element examined; they stop once the
// budget is below 1 or the depth passes its limit.

#include "accessibility/Accessibility.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace morvel::ax {

using RoleSet = std::set<std::string, std::less<>>;

// Appends to `into`, in document order, every element whose role is in `roles`.
// An element at exactly `maxDepth` is examined; its children are not.
void collectByRole(Accessibility& ax, const Element& element, const RoleSet& roles, int depth, int maxDepth,
                   int& budget, std::vector<Element>& into);

// The first non-empty "AXValue", else "AXTitle", in pre-order, at most four levels
// below the start depth of 0.
std::optional<std::string> firstValueInSubtree(Accessibility& ax, const Element& element, int depth, int& budget);

}  // namespace morvel::ax
