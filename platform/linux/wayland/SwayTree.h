#pragma once

// The windows in sway's layout tree (the reply to get_tree), as the window
// system boundary names them: the compositor's container id, the client's
// process, application id (Xwayland: the X class), title, and where it is on
// the global layout in pixels.

#include "platform/linux/ListedWindows.h"
#include "platform/linux/wayland/ScreencopyCapture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvel::linux_ax {

using SwayWindow = ListedWindow;

// The windows shown on the outputs, the topmost first: on each workspace that
// is showing, its fullscreen window above floating windows (the later above
// the earlier), above tiled ones. Hidden windows (scratchpad, other
// workspaces, tabs behind the front one) are left out. A reply that is not a
// tree gives no windows.
std::vector<SwayWindow> swayWindowsTopFirst(std::string_view getTreeReply);

// The active outputs and where they are on the layout (the reply to get_outputs).
std::vector<OutputPlacement> swayOutputs(std::string_view getOutputsReply);

}  // namespace morvel::linux_ax
