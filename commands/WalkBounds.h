#pragma once

// How far a command walks below an element: the depth it may reach and how many
// elements it may examine. Replies stay bounded in time on any window.

namespace morvel {

struct WalkBounds {
  int maxDepth = 0;
  int budget = 0;
};

// The walk through a whole window for the elements of some roles ("find"'s
// candidates, "fields"' fields).
inline constexpr WalkBounds windowWalk{.maxDepth = 35, .budget = 9000};

}  // namespace morvel
