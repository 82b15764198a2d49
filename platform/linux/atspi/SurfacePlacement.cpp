#include "platform/linux/atspi/SurfacePlacement.h"

#include "platform/linux/atspi/AtspiReader.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/RoleMapping.h"
#include "platform/linux/atspi/TreeShape.h"

#include <algorithm>

namespace morvel::linux_ax {
namespace {

// Bounds on what one lookup reads, whatever the application holds.
constexpr int mostTopLevelWindows = 256;
constexpr int mostWindowChildren = 64;

bool sameSize(const PixelRect& a, const PixelRect& b) { return a.width == b.width && a.height == b.height; }

// A surface that could hold the visible window: as large, or larger by a
// shadow, or the same window in a toolkit's own scale.
bool couldHold(const PixelRect& surface, const PixelRect& visible) {
  return (surface.width >= visible.width && surface.height >= visible.height) ||
         consistentScale(surface, visible).has_value();
}

// A toolkit window that could be the client's: its surface could hold the
// visible window, or it is the surface the window system places, in the
// toolkit's own scale (a scaled monitor: the shadow scaled too).
bool couldBe(const PixelRect& surface, const ClientWindow& client) {
  return couldHold(surface, client.client) || (client.surface && consistentScale(surface, *client.surface));
}

}  // namespace

std::pair<int, int> visibleOriginOnSurface(const PixelRect& window, const std::vector<PixelRect>& children,
                                           const PixelRect& visible) {
  if (sameSize(window, visible)) return {window.x, window.y};
  // Shadows are cast downward: as wide left as right, but less deep above than
  // below. The visible window begins with its topmost child (the title bar)
  // when that leaves room for the whole window on the surface.
  const int left = window.x + (window.width - visible.width) / 2;
  const int evenTop = window.y + (window.height - visible.height) / 2;
  if (children.empty()) return {left, evenTop};
  const int top = std::min_element(children.begin(), children.end(), [](const PixelRect& a, const PixelRect& b) {
                    return a.y < b.y;
                  })->y;
  const bool roomBelow = top >= window.y && top + visible.height <= window.y + window.height;
  return {left, roomBelow ? top : evenTop};
}

ExtentsMapping placedOnto(const PixelRect& window, const std::vector<PixelRect>& children, const PixelRect& visible) {
  const auto [surfaceX, surfaceY] = visibleOriginOnSurface(window, children, visible);
  return ExtentsMapping{1, {0, 0}, {visible.x - surfaceX, visible.y - surfaceY}, window, visible};
}

void SurfacePlacement::forget() {
  clients_.reset();
  byProcess_.clear();
  byWindow_.clear();
}

const std::vector<ClientWindow>& SurfacePlacement::clients() {
  if (!clients_) clients_ = windows_.clientsTopFirst();
  return *clients_;
}

std::optional<PixelRect> SurfacePlacement::toScreen(AtspiAccessible* accessible, const PixelRect& extents) {
  const Placement* placement = placementOf(accessible);
  if (placement == nullptr) return std::nullopt;
  if (!placement->fromSurface) return extents;
  if (sameAccessible(accessible, placement->window.get())) return placement->visible;
  return placement->onScreen.toScreen(extents);
}

std::optional<std::pair<int, int>> SurfacePlacement::toSurface(AtspiAccessible* accessible, int x, int y) {
  const Placement* placement = placementOf(accessible);
  if (placement == nullptr) return std::nullopt;
  if (!placement->fromSurface) return std::pair{x, y};
  const PixelPoint onSurface = placement->onScreen.toToolkit(x, y);
  return std::pair{onSurface.x, onSurface.y};
}

const SurfacePlacement::Placement* SurfacePlacement::placementOf(AtspiAccessible* accessible) {
  auto pid = reader_.processId(accessible);
  if (!pid) return nullptr;
  std::vector<const ClientWindow*> shown;
  for (const ClientWindow& client : clients()) {
    if (client.pid == pid) shown.push_back(&client);
  }
  if (shown.empty()) return nullptr;
  AtspiApplication* application = accessible->parent.app;
  if (application == nullptr || application->root == nullptr) return nullptr;

  // The usual case, one window per process, needs no walk up to the window.
  if (shown.size() == 1) {
    auto known = byProcess_.find(*pid);
    if (known == byProcess_.end()) {
      const ClientWindow& client = *shown.front();
      std::optional<Placement> placement;
      if (!client.extentsFromSurface) {
        placement = place({}, std::nullopt, client);
      } else if (auto [window, surface] = showingWindowFitting(application->root, client); window) {
        placement = place(std::move(window), surface, client);
      }
      known = byProcess_.emplace(*pid, std::move(placement)).first;
    }
    return known->second ? &*known->second : nullptr;
  }
  AccessibleRef window = topLevelWindowOf(reader_, accessible);
  if (!window) return nullptr;
  auto known = byWindow_.find(window.get());
  if (known == byWindow_.end()) {
    std::optional<Placement> placement;
    auto surface = reader_.toolkitExtents(window.get());
    auto title = reader_.name(window.get());
    // Among the process's windows, the one with the window's title that its surface could hold.
    for (const ClientWindow* client : shown) {
      if (surface && couldBe(*surface, *client) && windows_.windowTitle(client->id) == title) {
        placement = place(window, surface, *client);
        break;
      }
    }
    known = byWindow_.emplace(window.get(), std::move(placement)).first;
  }
  return known->second ? &*known->second : nullptr;
}

std::optional<SurfacePlacement::Placement> SurfacePlacement::place(AccessibleRef window,
                                                                   const std::optional<PixelRect>& surface,
                                                                   const ClientWindow& client) {
  if (!client.extentsFromSurface) return Placement{std::move(window), client.client, {}, false};
  if (!surface) return std::nullopt;
  if (client.surface) {
    // The window system places the whole surface: the toolkit's window extents are it.
    if (auto scale = consistentScale(*surface, *client.surface)) {
      return Placement{std::move(window), client.client, scaledOnto(*surface, *client.surface, *scale)};
    }
    return Placement{std::move(window), client.client,
                     shiftedTo({client.surface->x - surface->x, client.surface->y - surface->y})};
  }
  // A toolkit that scales on its own draws no shadow of its own size around it.
  if (auto scale = consistentScale(*surface, client.client)) {
    return Placement{std::move(window), client.client, scaledOnto(*surface, client.client, *scale)};
  }
  std::vector<PixelRect> children;
  // Without a shadow the surface is the visible window: no child need be asked.
  const bool shadowed = !sameSize(*surface, client.client);
  if (auto elements = shadowed ? reader_.children(window.get(), mostWindowChildren) : std::nullopt) {
    for (const AccessibleRef& child : *elements) {
      auto states = reader_.states(child.get());
      if (!states || !hasState(*states, ATSPI_STATE_SHOWING)) continue;
      if (auto extents = reader_.toolkitExtents(child.get())) children.push_back(*extents);
    }
  }
  return Placement{std::move(window), client.client, placedOnto(*surface, children, client.client)};
}

std::pair<AccessibleRef, std::optional<PixelRect>> SurfacePlacement::showingWindowFitting(AtspiAccessible* application,
                                                                                          const ClientWindow& client) {
  auto children = reader_.children(application, mostTopLevelWindows);
  if (!children) return {};
  AccessibleRef best;
  std::optional<PixelRect> bestSurface;
  int bestArea = 0;
  // The smallest showing window that could hold the visible area: menus and
  // other pop-ups are smaller, nothing else of the process is on screen.
  for (AccessibleRef& child : *children) {
    // Every top-level child of an application is one of its windows.
    auto states = reader_.states(child.get());
    if (!states || !hasState(*states, ATSPI_STATE_SHOWING)) continue;
    auto surface = reader_.toolkitExtents(child.get());
    if (!surface || !couldBe(*surface, client)) continue;
    const int area = surface->width * surface->height;
    if (!best || area < bestArea) {
      best = std::move(child);
      bestSurface = surface;
      bestArea = area;
    }
  }
  return {std::move(best), bestSurface};
}

}  // namespace morvel::linux_ax
