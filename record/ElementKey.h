#pragma once

// Recorded elements by what is cheap to compare (role and frame), so that finding
// the recorded element a live one is takes a few identity tests, not one per
// element.

#include "record/RecordedTree.h"

#include <map>
#include <tuple>

namespace morvel::record {

using ElementKey = std::tuple<std::string, double, double, double, double>;
using ElementIndex = std::map<ElementKey, std::vector<std::size_t>>;

ElementKey keyOf(const RecordedNode& node);
// Reads the element's role and frame.
ElementKey keyOf(ax::Accessibility& ax, const ax::Element& element);
void addToIndex(ElementIndex& index, const RecordedTree& tree, std::size_t node);

}  // namespace morvel::record
