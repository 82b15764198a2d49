#pragma once

// The text on screen inside a window, recognised once, as the scene's "screen".

#include "ocr/Screen.h"

#include <nlohmann/json.hpp>

#include <optional>

namespace morvel::record {

// The scene's SCREEN for `window`: its scale and recognised lines, each line's
// rectangle in screen points inside the window. Nothing when the capture or the
// recognition fails.
std::optional<nlohmann::json> recordScreenText(ocr::Screen& screen, const ax::Rect& window);

}  // namespace morvel::record
