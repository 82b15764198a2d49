#include "platform/linux/atspi/HitTest.h"

#include "platform/linux/atspi/ElementNodes.h"

#include <climits>
#include <cmath>

namespace morvel::linux_ax {
namespace {

// No toolkit nests this deep; the bound stops a tree that answers with a cycle.
constexpr int deepestHit = 64;

// Without an X server there is no stacking order: the first showing window, in
// the applications' order, whose extents contain the point.
AccessibleRef windowWithoutStacking(Applications& applications, AtspiReader& reader, double x, double y) {
  for (const AccessibleRef& application : applications.all()) {
    for (AccessibleRef& window : applications.windowsOf(application.get())) {
      auto states = reader.states(window.get());
      if (!states || !hasState(*states, ATSPI_STATE_SHOWING)) continue;
      auto extents = reader.screenExtents(window.get());
      if (extents && x >= extents->x && y >= extents->y && x < static_cast<double>(extents->x) + extents->width &&
          y < static_cast<double>(extents->y) + extents->height) {
        return window;
      }
    }
  }
  return {};
}

AccessibleRef descend(AtspiReader& reader, AccessibleRef from, int x, int y) {
  AccessibleRef current = std::move(from);
  for (int depth = 0; depth < deepestHit; ++depth) {
    AccessibleRef deeper = reader.accessibleAtPoint(current.get(), x, y);
    if (!deeper || sameAccessible(deeper.get(), current.get())) break;
    current = std::move(deeper);
  }
  return current;
}

}  // namespace

AccessibleRef hitTest(Applications& applications, WindowSystem& workspace, AtspiReader& reader, double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) >= INT_MAX || std::fabs(y) >= INT_MAX) return {};
  const int pixelX = static_cast<int>(std::floor(x));
  const int pixelY = static_cast<int>(std::floor(y));

  const std::vector<ClientWindow> clients = workspace.clientsTopFirst();
  if (clients.empty()) {
    AccessibleRef window = windowWithoutStacking(applications, reader, x, y);
    return window ? descend(reader, std::move(window), pixelX, pixelY) : AccessibleRef();
  }
  for (const ClientWindow& client : clients) {
    if (!client.frame.contains(x, y)) continue;
    // The topmost window holds the point, even on its decorations: nothing below
    // it can be hit there.
    AccessibleRef window = applications.windowForClient(client, x, y);
    if (!window) return {};
    if (!client.client.contains(x, y)) return window;
    return descend(reader, std::move(window), pixelX, pixelY);
  }
  return {};
}

}  // namespace morvel::linux_ax
