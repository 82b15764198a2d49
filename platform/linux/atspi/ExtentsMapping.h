#pragma once

// How a toolkit's extents lie on the screen. Toolkits on a scaled desktop
// (GDK_SCALE, QT_SCALE_FACTOR, Xft.dpi) report extents in their own logical
// units while the window system places windows in pixels; some measure from
// their window rather than the screen. Both are told apart from the window
// system's own rectangle of the window, so nothing has to be configured.

#include "platform/linux/image/PixelRect.h"

#include <optional>

namespace morvel::linux_ax {

struct PixelPoint {
  int x = 0;
  int y = 0;
};

// A toolkit point and where it lies on the screen, with the screen pixels per
// toolkit unit around it. A window's own extents stand for the window system's
// rectangle exactly, whatever the rounding of the scale.
struct ExtentsMapping {
  double scale = 1;
  PixelPoint toolkitOrigin;
  PixelPoint screenOrigin;
  std::optional<PixelRect> toolkitWindow;
  PixelRect screenWindow;

  PixelRect toScreen(const PixelRect& extents) const;
  PixelPoint toToolkit(int x, int y) const;
  bool operator==(const ExtentsMapping&) const = default;
};

// Extents measured from the screen point `origin` rather than from the screen's.
ExtentsMapping shiftedTo(PixelPoint origin);

// The screen pixels per toolkit unit when `window`, the toolkit's extents of a
// window, is the window system's `onScreen` consistently scaled in width and
// height; absent when the two are the same size (within what decorations and
// rounding account for) or no one scale fits both.
std::optional<double> consistentScale(const PixelRect& window, const PixelRect& onScreen);

// The toolkit's `window` scaled onto `onScreen`.
ExtentsMapping scaledOnto(const PixelRect& window, const PixelRect& onScreen, double scale);

// How a popover whose toolkit extents are `popover` maps onto its own window
// `popup` (GTK 4 reports it where it is anchored, but places its window
// elsewhere); `anchored` is where the reported extents lie on the screen through
// the main window, when known. The window may be a few pixels taller or wider
// than the popover: the arrow pointing at what opened it, drawn in the window
// but left out of the extents, on the side facing the opener. Absent when the
// window is not the popover's.
std::optional<ExtentsMapping> popoverOnto(const PixelRect& popover, const PixelRect& popup,
                                          std::optional<PixelRect> anchored);

}  // namespace morvel::linux_ax
