#pragma once

// What the commands can know of an application that has no accessibility: its
// windows, their titles and frames, from the window system. A window has no
// children, so the tree commands find nothing in it, while the window's title
// and frame let the fingerprint and the screen-text commands work.

#include "accessibility/Accessibility.h"
#include "platform/linux/atspi/Applications.h"
#include "platform/linux/atspi/ElementNodes.h"

#include <optional>
#include <string_view>

namespace morvel::linux_ax {

std::optional<ax::AttrValue> readWindowSystemAttribute(Applications& applications, WindowSystem& workspace,
                                                       const WindowSystemNode& node, std::string_view attribute);

}  // namespace morvel::linux_ax
