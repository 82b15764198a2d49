#pragma once

// What GNOME Shell tells through the helper's extension (ListWindows): the
// windows shown on the active workspace, the topmost first, with their
// process, application, title, focus and rectangles in global logical pixels,
// and the size of the screen.

#include "platform/linux/ListedWindows.h"

#include <optional>
#include <string_view>
#include <vector>

namespace morvel::linux_ax {

struct ShellWindowList {
  int screenWidth = 0;
  int screenHeight = 0;
  int monitorCount = 1;
  // The application id is the GTK application id when the client gives one,
  // else its class or app_id; a Wayland client's surface is always told.
  std::vector<ListedWindow> topFirst;
};

// The reply's version this helper reads; the extension says which it writes.
inline constexpr int shellReplyVersion = 1;

// Windows that hold an application's content (normal windows, dialogs,
// utilities, splash screens): menus, tooltips and the shell's own surfaces are
// left out. Absent when the reply is not a list of the version above.
std::optional<ShellWindowList> parseShellWindows(std::string_view listWindowsReply);

}  // namespace morvel::linux_ax
