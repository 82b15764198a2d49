#pragma once

// The shape of a tree listed in pre-order with each element's number of
// children: who is whose child. Backends that can list a whole subtree in one
// question, but not its shape, rebuild the shape from it.

#include <cstddef>
#include <optional>
#include <vector>

namespace morvel::ax {

// For each element of a pre-order list (the root first) whose child counts are
// `childCounts`, the positions of its children in the list, in order. Nothing
// unless the counts account for the list exactly: a list that is not one whole
// tree in pre-order (too long, too short, a negative count) has no shape.
std::optional<std::vector<std::vector<std::size_t>>> childrenFromCounts(const std::vector<int>& childCounts);

}  // namespace morvel::ax
