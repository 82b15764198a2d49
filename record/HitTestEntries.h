#pragma once

// Where the toolkit's hit test answers differently from what the scene's frames
// give, explicit hit-test entries make the replay answer as the desktop did.

#include "record/RecordedTree.h"

#include <nlohmann/json.hpp>

namespace morvel::record {

// Compares the desktop's hit test with the replay of `scene` over a grid of
// points in `area` and returns the entries that make the replay agree: an
// element's frame where the replay gives that element and the desktop another
// all over it, else runs of neighbouring grid cells the desktop answered alike.
// Points where the desktop answers with an element the scene lacks keep the
// replay's answer.
nlohmann::json hitTestEntries(ax::Accessibility& desktop, const RecordedTree& tree, const nlohmann::json& scene,
                              const ax::Rect& area);

}  // namespace morvel::record
