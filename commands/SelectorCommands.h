#pragma once

// "selector-at" and "find": a screen point turned into a selector that the client
// keeps, and a kept selector turned back into a live element, waiting a bounded
// time for it to appear and become enabled.

#include "commands/Platform.h"
#include "commands/Reply.h"

#include <cstdint>

namespace morvel {

// {"found": false}, or "found": true, "path" (the element under the point, then
// its ancestors up to its window, at most 12 descriptors) and, when known,
// "windowTitle", "appName" and "appBundleId" of the front window.
Json cmdSelectorAt(Platform& platform, double x, double y);

// Resolves `selector` every 150 ms until it gives an enabled element or
// `timeoutMs` has passed (at least one attempt); at the deadline a disabled match
// of the last attempt is returned rather than nothing.
Json cmdFind(Platform& platform, const Json& selector, std::int64_t timeoutMs);

}  // namespace morvel
