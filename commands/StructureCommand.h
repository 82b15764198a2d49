#pragma once

// "structure": the main table, outline, grid or list of the front window, row by
// row, with the window's "add" control; the window's recognised text stands in
// when it exposes no such container.

#include "commands/Platform.h"
#include "commands/Reply.h"
#include "commands/WalkBounds.h"

namespace morvel {

// The walk through the front window for its main container.
inline constexpr WalkBounds containerWalk{.maxDepth = 25, .budget = 5000};

Json cmdStructure(Platform& platform);

}  // namespace morvel
