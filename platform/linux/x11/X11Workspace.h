#pragma once

// What the X server and the window manager know about the desktop: the active
// window, the stacking order, each window's process, application id, title and
// geometry. One connection, opened on first use and again after the server went
// away; no X error ever ends or disturbs the process.

#include "platform/linux/x11/X11Connection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_ax {

using XWindowId = unsigned long;

struct XRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool contains(double px, double py) const {
    return px >= x && py >= y && px < static_cast<double>(x) + width && py < static_cast<double>(y) + height;
  }
};

struct ClientWindow {
  XWindowId id = 0;
  std::optional<std::int32_t> pid;
  XRect client;  // the application's own area, root coordinates
  XRect frame;   // with the window manager's decorations
};

class X11Workspace {
 public:
  std::optional<XWindowId> activeWindow();
  std::optional<std::int32_t> windowPid(XWindowId window);
  // `_GTK_APPLICATION_ID`, else the class part of WM_CLASS.
  std::optional<std::string> applicationId(XWindowId window);
  std::optional<std::string> windowTitle(XWindowId window);
  // Viewable client windows, the topmost first.
  std::vector<ClientWindow> clientsTopFirst();

 private:
  Display* display();
  std::vector<XWindowId> stackingBottomFirst(Display* display);
  std::optional<ClientWindow> describe(Display* display, XWindowId window);

  X11Connection connection_;
};

}  // namespace morvel::linux_ax
