#pragma once

#include "commands/Reply.h"

#include <string_view>

namespace morvel {

// The name of the tool that returns a picture instead of a command's reply.
inline constexpr std::string_view screenshotTool = "screenshot";

// The "tools" array of a tools/list result: one tool per command, and the screenshot.
const Json& mcpTools();

bool isMcpTool(std::string_view name);

}  // namespace morvel
