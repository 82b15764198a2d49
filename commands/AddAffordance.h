#pragma once

// The control of a window that adds an entry: the first button whose texts read
// like "add" (the words add, new, create or insert, a lone plus sign, or the
// letters plus).

#include "accessibility/Accessibility.h"
#include "commands/Reply.h"
#include "commands/WalkBounds.h"

#include <optional>

namespace morvel {

inline constexpr WalkBounds addControlWalk{.maxDepth = 20, .budget = 4000};

// {"title", "frame"} of the first matching button under `root` in pre-order,
// "frame" only when readable; nothing when no button matches.
std::optional<Json> findAddAffordance(ax::Accessibility& ax, const ax::Element& root);

}  // namespace morvel
