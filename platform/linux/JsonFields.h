#pragma once

// Fields of the JSON replies compositors give (sway's IPC, GNOME Shell through
// the helper's extension), read defensively: a field that is missing, of
// another type or out of range is absent, never an error.

#include "platform/linux/image/PixelRect.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace morvel::linux_ax {

std::optional<int> intField(const nlohmann::json& object, const char* name);
// Valid UTF-8 (broken sequences repaired).
std::optional<std::string> textField(const nlohmann::json& object, const char* name);
bool flag(const nlohmann::json& object, const char* name);
// An object with integer x, y, width and height, the sizes not negative.
std::optional<PixelRect> rectField(const nlohmann::json& object, const char* name);
const nlohmann::json* listField(const nlohmann::json& object, const char* name);

}  // namespace morvel::linux_ax
