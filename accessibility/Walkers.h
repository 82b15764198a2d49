#pragma once

// The two bounded walks below an element. Both examine elements in pre-order and
// spend one unit of the caller's budget per element examined; they stop once the
// budget is below 1 or the depth passes its limit.

#include "accessibility/Accessibility.h"

#include <functional>
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

// What a visitor of `visitByRole` wants next.
enum class WalkOn { Continue, Stop };

// The walk of `collectByRole`, handing each match to `visit` as it is met, so that
// a caller who needs only the first matches stops the walk there and reads no
// further. Returns false when the visitor stopped it.
bool visitByRole(Accessibility& ax, const Element& element, const RoleSet& roles, int depth, int maxDepth,
                 int& budget, const std::function<WalkOn(const Element&)>& visit);

// The first `limit` elements that `collectByRole` would collect from depth 0; the
// walk ends once it has them.
std::vector<Element> collectFirstByRole(Accessibility& ax, const Element& element, const RoleSet& roles, int maxDepth,
                                        int budget, std::size_t limit);

// The first non-empty "AXValue", else "AXTitle", in pre-order, at most four levels
// below the start depth of 0.
std::optional<std::string> firstValueInSubtree(Accessibility& ax, const Element& element, int depth, int& budget);

}  // namespace morvel::ax
