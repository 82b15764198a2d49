#pragma once

// How well one live element matches the target descriptor of a selector: strict
// about identity (role, identifier), forgiving about names (title, description,
// role description, value), so that a control whose label changed still matches,
// only less well.

#include "accessibility/Accessibility.h"
#include "commands/Reply.h"

namespace morvel {

// The score of a ruled-out element.
inline constexpr int ruledOut = -1;

// `ruledOut` when the role or a named identifier differs or cannot be read,
// otherwise 1 plus the points of every named text that the element carries too
// (1 to 336). Reads only the attributes the target names, each at most once.
int scoreAgainstTarget(ax::Accessibility& ax, const ax::Element& element, const Json& target);

}  // namespace morvel
