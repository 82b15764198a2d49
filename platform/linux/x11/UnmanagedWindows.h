#pragma once

// The windows an X client maps without the window manager (override-redirect:
// menus, combo lists, tooltips, drag images). Their questions are asked of every
// top-level window at once, and may go to the server with another step's, so
// that finding them costs no wait of its own.

#include "platform/linux/WindowSystem.h"

#include <xcb/xcb.h>

#include <vector>

namespace morvel::linux_ax {

struct UnmanagedWindow {
  WindowId id = 0;
  PixelRect place;  // on the screen, its border included
};

// What the server is asked about the root window's children to find them.
struct UnmanagedQuestions {
  std::vector<xcb_window_t> windows;
  std::vector<xcb_get_window_attributes_cookie_t> attributes;
  std::vector<xcb_get_geometry_cookie_t> geometry;
};

// Sends the questions about `rootChildren` (the bottom first), awaiting nothing.
UnmanagedQuestions askUnmanagedWindows(xcb_connection_t* connection, const std::vector<WindowId>& rootChildren);
// The viewable override-redirect windows among them, the topmost first. Every
// answer asked is taken.
std::vector<UnmanagedWindow> unmanagedWindowsTopFirst(xcb_connection_t* connection, const UnmanagedQuestions& asked);

}  // namespace morvel::linux_ax
