#pragma once

// Turns what a recording read into the scene's JSON: values in the scene's
// forms, elements as references to the recorded element that is the same, an
// element met outside the tree recorded on its own under "elements".

#include "record/RecordedTree.h"
#include "record/TreeRecorder.h"

#include <nlohmann/json.hpp>

namespace morvel::record {

// Fills the scene's "applications", "elements" and "systemWide"; may add the
// elements it meets outside the tree to `tree`.
void writeTree(ax::Accessibility& ax, TreeRecorder& recorder, RecordedTree& tree, std::int32_t pid,
               nlohmann::json& scene);

}  // namespace morvel::record
