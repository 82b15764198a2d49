#pragma once

#include "ocr/Screen.h"

#include <optional>
#include <string>

namespace morvel {

// The picture as PNG file bytes (8-bit grey), or nothing when libpng refuses it.
std::optional<std::string> encodePng(const ocr::GreyPixels& picture);

// Standard base64 with padding, as JSON carries binary data.
std::string base64(std::string_view bytes);

}  // namespace morvel
