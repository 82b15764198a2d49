#pragma once

// What a recording read from the desktop, before it becomes a scene: the
// elements in the order they were met, each with the attributes that read.

#include "accessibility/Accessibility.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvel::record {

struct RecordedAttribute {
  std::string_view name;
  ax::AttrValue value;
};

struct RecordedNode {
  ax::Element element;
  std::string id;  // from the path in the tree, so the same desktop gives the same ids
  std::vector<RecordedAttribute> attributes = {};
  // Absent when the walk did not go below this element.
  std::optional<std::vector<std::size_t>> children = std::nullopt;
  std::optional<std::size_t> parent = std::nullopt;
  // Whether "AXParent" read as anything (it is among the attributes when it did).
  bool parentRead = false;

  const ax::AttrValue* attribute(std::string_view name) const;
  std::optional<ax::Rect> frame() const;
  std::optional<std::string> role() const;
};

struct RecordedTree {
  std::vector<RecordedNode> nodes;  // the application first, then its elements in pre-order
  std::vector<RecordedAttribute> systemWide;
  std::optional<std::size_t> frontWindow;
};

}  // namespace morvel::record
