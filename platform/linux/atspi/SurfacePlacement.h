#pragma once

// Where accessible extents lie on the screen when toolkits measure them from
// their window's own surface (Wayland). The window system places each window's
// visible area; the toolkit's surface may be larger by a shadow it draws
// around it (GTK 3), which the window's own extents and its children's tell.
// A toolkit scaled on its own (QT_SCALE_FACTOR) measures in its own units,
// which are scaled onto the compositor's. Hit-test points go the other way,
// from the screen onto the surface.

#include "platform/linux/WindowSystem.h"
#include "platform/linux/atspi/ExtentsMapping.h"
#include "platform/linux/atspi/GlibOwnership.h"
#include "platform/linux/image/PixelRect.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace morvel::linux_ax {

class AtspiReader;

// Where the visible window starts on its surface, given the surface-relative
// extents of the top-level element and of its showing children, and the size
// of the visible area the window system reports.
std::pair<int, int> visibleOriginOnSurface(const PixelRect& window, const std::vector<PixelRect>& children,
                                           const PixelRect& visible);
// The toolkit's window, measured from its own surface, placed on its visible
// area; the window itself stands for that area. A surface may also be smaller
// than what the window system reports, inset by a border the toolkit draws
// around it (GTK 4 on X11): it is then taken to lie centred in it.
ExtentsMapping placedOnto(const PixelRect& window, const std::vector<PixelRect>& children, const PixelRect& visible);

class SurfacePlacement {
 public:
  SurfacePlacement(AtspiReader& reader, WindowSystem& windows) : reader_(reader), windows_(windows) {}

  // The global extents of an element whose surface-relative extents are
  // `extents`; a top-level window is its visible area. Absent when the
  // element's window is not on screen.
  std::optional<PixelRect> toScreen(AtspiAccessible* accessible, const PixelRect& extents);
  // A global point on the surface of the element's window.
  std::optional<std::pair<int, int>> toSurface(AtspiAccessible* accessible, int x, int y);
  // Windows may have moved: everything is asked again.
  void forget();

 private:
  struct Placement {
    AccessibleRef window;
    PixelRect visible;
    ExtentsMapping onScreen;  // from the surface onto the screen
    bool fromSurface = true;  // false: the toolkit already measures from the screen
  };
  const Placement* placementOf(AtspiAccessible* accessible);
  // `surface`: the window's extents, as already read.
  std::optional<Placement> place(AccessibleRef window, const std::optional<PixelRect>& surface,
                                 const ClientWindow& client);
  // The window with its extents.
  std::pair<AccessibleRef, std::optional<PixelRect>> showingWindowFitting(AtspiAccessible* application,
                                                                         const ClientWindow& client);
  const std::vector<ClientWindow>& clients();

  AtspiReader& reader_;
  WindowSystem& windows_;
  std::optional<std::vector<ClientWindow>> clients_;
  // Within one attempt: by process when it shows one window, else by window.
  std::map<std::int32_t, std::optional<Placement>> byProcess_;
  std::map<AtspiAccessible*, std::optional<Placement>> byWindow_;
};

}  // namespace morvel::linux_ax
