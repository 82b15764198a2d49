#pragma once

// The windows an X client maps without the window manager (override-redirect:
// menus, combo lists, tooltips, drag images), read in one exchange however many
// top-level windows the server holds.

#include "platform/linux/WindowSystem.h"

#include <vector>

typedef struct _XDisplay Display;

namespace morvel::linux_ax {

struct UnmanagedWindow {
  WindowId id = 0;
  PixelRect place;  // on the screen, its border included
};

// Viewable override-redirect children of the root window, the topmost first.
std::vector<UnmanagedWindow> unmanagedWindowsTopFirst(Display* display);

}  // namespace morvel::linux_ax
