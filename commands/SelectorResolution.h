#pragma once

// Turning a selector back into one live element, once, without waiting: the
// window it names, every element of the target's role in that window, the best
// scored of them.

#include "accessibility/Accessibility.h"
#include "commands/Reply.h"

#include <optional>

namespace morvel {

// The window to search: the front window unless the selector's "windowTitle"
// names another window of the frontmost application, exactly or else by
// containment either way. Nothing when there is no front window and no match.
std::optional<ax::Element> windowForSelector(ax::Accessibility& ax, const Json& selector);

// {"found": false}, or "found": true with "score", "frame", "enabled" and, when
// readable, "role" and "value" of the best match for the first entry of "path".
Json resolveSelectorOnce(ax::Accessibility& ax, const Json& selector);

}  // namespace morvel
