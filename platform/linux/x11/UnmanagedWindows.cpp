#include "platform/linux/x11/UnmanagedWindows.h"

#include "platform/linux/x11/XcbReplies.h"

namespace morvel::linux_ax {

UnmanagedQuestions askUnmanagedWindows(xcb_connection_t* connection, const std::vector<WindowId>& rootChildren) {
  UnmanagedQuestions asked;
  asked.windows.reserve(rootChildren.size());
  asked.attributes.reserve(rootChildren.size());
  asked.geometry.reserve(rootChildren.size());
  // The geometry of every child is asked with its attributes, though only the
  // unmanaged ones' is wanted: a few bytes more spare a second wait.
  for (WindowId child : rootChildren) {
    const auto window = static_cast<xcb_window_t>(child);
    asked.windows.push_back(window);
    asked.attributes.push_back(xcb_get_window_attributes(connection, window));
    asked.geometry.push_back(xcb_get_geometry(connection, window));
  }
  return asked;
}

std::vector<UnmanagedWindow> unmanagedWindowsTopFirst(xcb_connection_t* connection, const UnmanagedQuestions& asked) {
  std::vector<UnmanagedWindow> shown;
  for (std::size_t index = asked.windows.size(); index-- > 0;) {
    auto attributes = replyOrNone(connection, asked.attributes[index], xcb_get_window_attributes_reply);
    // A root child's position is in screen pixels already.
    auto geometry = replyOrNone(connection, asked.geometry[index], xcb_get_geometry_reply);
    if (!attributes || !attributes->override_redirect || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !geometry) {
      continue;
    }
    const int border = geometry->border_width;
    shown.push_back(
        {asked.windows[index], {geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border}});
  }
  return shown;
}

}  // namespace morvel::linux_ax
