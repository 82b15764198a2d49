#pragma once

#include "platform/sim/SceneModel.h"

#include <nlohmann/json.hpp>

namespace morvel::sim {

// Builds the in-memory desktop of a scene document, checking every part of it.
// Throws SceneError naming the JSON path of the first problem found.
Scene loadScene(const nlohmann::json& document);

}  // namespace morvel::sim
