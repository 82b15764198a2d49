#include "platform/linux/x11/UnmanagedWindows.h"

#include "platform/linux/x11/XcbReplies.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace morvel::linux_ax {
namespace {

std::vector<xcb_window_t> rootChildrenBottomFirst(xcb_connection_t* connection, xcb_window_t root) {
  auto tree = replyOrNone(connection, xcb_query_tree(connection, root), xcb_query_tree_reply);
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  return {children, children + xcb_query_tree_children_length(tree.get())};
}

// Every request is sent before the first reply is awaited: one wait for all
// the windows, where Xlib would wait on each.
std::vector<xcb_window_t> viewableUnmanaged(xcb_connection_t* connection, const std::vector<xcb_window_t>& windows) {
  std::vector<xcb_get_window_attributes_cookie_t> asked;
  asked.reserve(windows.size());
  for (xcb_window_t window : windows) asked.push_back(xcb_get_window_attributes(connection, window));
  std::vector<xcb_window_t> found;
  for (std::size_t index = 0; index < windows.size(); ++index) {
    auto attributes = replyOrNone(connection, asked[index], xcb_get_window_attributes_reply);
    if (attributes && attributes->override_redirect && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
      found.push_back(windows[index]);
    }
  }
  return found;
}

}  // namespace

std::vector<UnmanagedWindow> unmanagedWindowsTopFirst(Display* display) {
  xcb_connection_t* connection = XGetXCBConnection(display);
  if (connection == nullptr || xcb_connection_has_error(connection) != 0) return {};
  const auto root = static_cast<xcb_window_t>(DefaultRootWindow(display));
  const std::vector<xcb_window_t> windows = viewableUnmanaged(connection, rootChildrenBottomFirst(connection, root));
  std::vector<xcb_get_geometry_cookie_t> asked;
  asked.reserve(windows.size());
  for (xcb_window_t window : windows) asked.push_back(xcb_get_geometry(connection, window));
  std::vector<UnmanagedWindow> shown;
  for (std::size_t index = windows.size(); index-- > 0;) {
    // A root child's position is in screen pixels already.
    auto geometry = replyOrNone(connection, asked[index], xcb_get_geometry_reply);
    if (!geometry) continue;
    const int border = geometry->border_width;
    shown.push_back({windows[index], {geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border}});
  }
  return shown;
}

}  // namespace morvel::linux_ax
