#pragma once

// A human-readable label for a form field: from the field's own attributes, from
// the element it names as its title, or from the static text nearest to its left
// or above it.

#include "accessibility/Accessibility.h"
#include "commands/WalkBounds.h"

#include <optional>
#include <string>
#include <vector>

namespace morvel {

// The static-text walk: from the window, as deep as the field walk, and a budget
// that keeps it to a few thousand reads on very large windows.
inline constexpr WalkBounds labelCandidateWalk{.maxDepth = windowWalk.maxDepth, .budget = 6000};

// One static text of the window that may label a field: its trimmed text (1 to 80
// user-perceived characters) and its frame.
struct LabelCandidate {
  std::string text;
  ax::Rect rect;
};

// A chosen label and where it came from: "title", "description", "placeholder",
// "titleElement" or "nearby".
struct FieldLabel {
  std::string label;
  std::string source;
};

// The window's static texts that may serve as labels, in pre-order. Built once per
// request and only read afterwards.
std::vector<LabelCandidate> labelCandidates(ax::Accessibility& ax, const ax::Element& window);

// The field's label, trying its own attributes first and the geometry last. A field
// without a rectangle is never labelled from the geometry.
std::optional<FieldLabel> fieldLabel(ax::Accessibility& ax, const ax::Element& field,
                                     const std::vector<LabelCandidate>& candidates,
                                     const std::optional<ax::Rect>& rect);

// How far `candidate` lies left of or above `field`, the smaller distance when both
// relations hold; absent when it stands in neither relation. Negative (down to -4)
// when the candidate reaches over the field's edge.
std::optional<double> labelDistance(const ax::Rect& field, const ax::Rect& candidate);

// The text of the candidate at the smallest distance; the earlier one on ties.
std::optional<std::string> nearestLabel(const ax::Rect& field, const std::vector<LabelCandidate>& candidates);

}  // namespace morvel
