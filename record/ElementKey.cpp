#include "record/ElementKey.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"

#include <cmath>

namespace morvel::record {
namespace {

ElementKey keyOf(std::optional<std::string> role, std::optional<ax::Rect> frame) {
  // Elements without a frame share one; NaN never equals, so no number stands in.
  const ax::Rect rect = frame.value_or(ax::Rect{-INFINITY, -INFINITY, -INFINITY, -INFINITY});
  return {role.value_or(""), rect.x, rect.y, rect.width, rect.height};
}

}  // namespace

ElementKey keyOf(const RecordedNode& node) { return keyOf(node.role(), node.frame()); }

ElementKey keyOf(ax::Accessibility& ax, const ax::Element& element) {
  return keyOf(ax::axString(ax, element, ax::AXRole), ax::axFrame(ax, element));
}

void addToIndex(ElementIndex& index, const RecordedTree& tree, std::size_t node) {
  index[keyOf(tree.nodes[node])].push_back(node);
}

}  // namespace morvel::record
