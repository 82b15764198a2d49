#include "platform/linux/atspi/WindowSystemElements.h"

#include "accessibility/AXNames.h"

#include <algorithm>

namespace morvel::linux_ax {
namespace {

using ax::AttrArray;
using ax::AttrValue;
using Reading = std::optional<AttrValue>;

const ClientWindow* clientWindow(Applications& applications, WindowId id) {
  const auto& clients = applications.clients();
  auto found = std::find_if(clients.begin(), clients.end(), [&](const ClientWindow& client) { return client.id == id; });
  return found == clients.end() ? nullptr : &*found;
}

// The windows of the process, the topmost first.
AttrArray windowsOf(Applications& applications, std::int32_t pid) {
  AttrArray windows;
  for (const ClientWindow& client : applications.clients()) {
    if (client.pid == pid) windows.emplace_back(makeWindowSystemElement(pid, client.id));
  }
  return windows;
}

Reading focusedWindowOf(WindowSystem& workspace, std::int32_t pid) {
  auto active = workspace.activeWindow();
  if (!active || workspace.windowPid(*active) != pid) return std::nullopt;
  return AttrValue(makeWindowSystemElement(pid, *active));
}

Reading applicationAttribute(Applications& applications, WindowSystem& workspace, std::int32_t pid,
                             std::string_view attribute) {
  if (attribute == ax::AXRole) return AttrValue(ax::AXApplication);
  if (attribute == ax::AXWindows) return AttrValue(windowsOf(applications, pid));
  if (attribute == ax::AXFocusedWindow) {
    return focusedWindowOf(workspace, pid);
  }
  if (attribute == ax::AXChildren) return AttrValue(windowsOf(applications, pid));
  return std::nullopt;
}

Reading windowAttribute(Applications& applications, WindowSystem& workspace, const WindowSystemNode& node,
                        WindowId window, std::string_view attribute) {
  if (attribute == ax::AXRole) return AttrValue(ax::AXWindow);
  if (attribute == ax::AXSubrole) return AttrValue(ax::AXStandardWindow);
  if (attribute == ax::AXTitle) {
    if (auto title = workspace.windowTitle(window)) return AttrValue(*title);
    return std::nullopt;
  }
  if (attribute == ax::AXChildren) return AttrValue(AttrArray{});
  if (attribute == ax::AXParent) return AttrValue(makeWindowSystemElement(node.pid(), std::nullopt));
  const ClientWindow* client = clientWindow(applications, window);
  if (client == nullptr) return std::nullopt;
  const PixelRect& frame = client->frame;
  if (attribute == ax::AXFrame) return AttrValue(ax::Rect{double(frame.x), double(frame.y), double(frame.width), double(frame.height)});
  if (attribute == ax::AXPosition) return AttrValue(ax::Point{double(frame.x), double(frame.y)});
  if (attribute == ax::AXSize) return AttrValue(ax::Size{double(frame.width), double(frame.height)});
  return std::nullopt;
}

}  // namespace

std::optional<ax::AttrValue> readWindowSystemAttribute(Applications& applications, WindowSystem& workspace,
                                                       const WindowSystemNode& node, std::string_view attribute) {
  if (auto window = node.window()) return windowAttribute(applications, workspace, node, *window, attribute);
  return applicationAttribute(applications, workspace, node.pid(), attribute);
}

}  // namespace morvel::linux_ax
