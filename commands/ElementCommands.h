#pragma once

// "element-at" and "focused": one element described in a flat record.

#include "commands/Platform.h"
#include "commands/Reply.h"

#include <set>
#include <string>

namespace morvel {

Json cmdElementAt(Platform& platform, double x, double y);
Json cmdFocused(Platform& platform);

// The roles at which the upward search for a named element gives up.
const std::set<std::string, std::less<>>& containerStopRoles();

// The nearest element from `element` upward (at most `maxLevels` ancestors) whose
// description, or else title, is not blank; `element` itself when there is none
// or a container is reached first.
ax::Element enclosingNamed(ax::Accessibility& ax, const ax::Element& element, int maxLevels);

}  // namespace morvel
