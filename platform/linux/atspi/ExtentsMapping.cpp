#include "platform/linux/atspi/ExtentsMapping.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace morvel::linux_ax {
namespace {

// Sizes this close are one size: a frame border, a scale's rounding.
constexpr int sizeSlackPixels = 4;
// Below this a window's size tells too little to measure a scale by.
constexpr int smallestMeasuredSide = 64;
// Toolkits scale by simple fractions (1.25, 1.5, 2); a measured ratio that one
// fits as well is taken as that fraction, so that frames come out exact.
constexpr double scaleStep = 0.125;
// Below this, a difference in size is a window that is not quite the one the
// window system means (a resize under way, a shadow the toolkit draws), not a
// scale. Scaled desktops make things larger, never smaller.
constexpr double smallestScale = 1.1;
constexpr double largestScale = 4;

bool fits(const PixelRect& window, const PixelRect& onScreen, double scale) {
  return std::fabs(window.width * scale - onScreen.width) <= sizeSlackPixels &&
         std::fabs(window.height * scale - onScreen.height) <= sizeSlackPixels;
}

// A toolkit that scales places its window where the screen's pixels are, scaled
// about the screen's origin, or measures from the window itself.
bool placedAlike(const PixelRect& window, const PixelRect& onScreen, double scale) {
  if (window.x == 0 && window.y == 0) return true;
  const double slack = sizeSlackPixels + scale;
  return std::fabs(window.x * scale - onScreen.x) <= slack && std::fabs(window.y * scale - onScreen.y) <= slack;
}

// A pixel position within what an int holds, whatever an application reported.
int clampedPixel(double value) {
  return static_cast<int>(std::clamp(value, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

// GTK draws a popover's arrow 6 pixels deep (more with a large theme).
constexpr int deepestPopoverArrow = 16;

int scaledFrom(double value, int origin, int onScreen, double scale) {
  return clampedPixel(onScreen + std::round((value - origin) * scale));
}

}  // namespace

PixelRect ExtentsMapping::toScreen(const PixelRect& extents) const {
  if (toolkitWindow && extents == *toolkitWindow) return screenWindow;
  const int left = scaledFrom(extents.x, toolkitOrigin.x, screenOrigin.x, scale);
  const int top = scaledFrom(extents.y, toolkitOrigin.y, screenOrigin.y, scale);
  if (scale == 1) return {left, top, extents.width, extents.height};
  // Both edges are mapped, so that neighbours stay neighbours after rounding.
  const int right = scaledFrom(static_cast<double>(extents.x) + extents.width, toolkitOrigin.x, screenOrigin.x, scale);
  const int bottom = scaledFrom(static_cast<double>(extents.y) + extents.height, toolkitOrigin.y, screenOrigin.y, scale);
  return {left, top, clampedPixel(static_cast<double>(right) - left), clampedPixel(static_cast<double>(bottom) - top)};
}

PixelPoint ExtentsMapping::toToolkit(int x, int y) const {
  return {clampedPixel(toolkitOrigin.x + std::floor((static_cast<double>(x) - screenOrigin.x) / scale)),
          clampedPixel(toolkitOrigin.y + std::floor((static_cast<double>(y) - screenOrigin.y) / scale))};
}

ExtentsMapping shiftedTo(PixelPoint origin) { return ExtentsMapping{1, {0, 0}, origin, std::nullopt, {}}; }

std::optional<double> consistentScale(const PixelRect& window, const PixelRect& onScreen) {
  if (window.width < smallestMeasuredSide || window.height < smallestMeasuredSide || onScreen.width <= 0 ||
      onScreen.height <= 0) {
    return std::nullopt;
  }
  if (fits(window, onScreen, 1)) return std::nullopt;
  const double measured = static_cast<double>(onScreen.width + onScreen.height) / (window.width + window.height);
  if (measured < smallestScale || measured > largestScale) return std::nullopt;
  const double simple = std::round(measured / scaleStep) * scaleStep;
  const double scale = fits(window, onScreen, simple) ? simple : measured;
  if (!fits(window, onScreen, scale) || !placedAlike(window, onScreen, scale)) return std::nullopt;
  return scale;
}

ExtentsMapping scaledOnto(const PixelRect& window, const PixelRect& onScreen, double scale) {
  return ExtentsMapping{scale, {window.x, window.y}, {onScreen.x, onScreen.y}, window, onScreen};
}

std::optional<ExtentsMapping> popoverOnto(const PixelRect& popover, const PixelRect& popup,
                                          std::optional<PixelRect> anchored) {
  const int taller = popup.height - popover.height;
  const int wider = popup.width - popover.width;
  // The arrow is on one side: the window is as large as the popover but one way.
  const bool arrowAcross = taller > 0 && wider == 0 && taller <= deepestPopoverArrow;
  const bool arrowAlong = wider > 0 && taller == 0 && wider <= deepestPopoverArrow;
  const bool sameSize = taller == 0 && wider == 0;
  if (popover.width <= 0 || popover.height <= 0 || (!sameSize && !arrowAcross && !arrowAlong)) return std::nullopt;
  // A window past the place the popover is anchored at hangs past its opener,
  // the arrow on its near side; unknown, below, where combo lists and menus go.
  const bool hangsPast = !anchored || (arrowAcross ? popup.y > anchored->y : popup.x > anchored->x);
  const PixelPoint corner = hangsPast ? PixelPoint{popup.x + wider, popup.y + taller} : PixelPoint{popup.x, popup.y};
  return ExtentsMapping{1, {popover.x, popover.y}, corner, popover,
                        PixelRect{corner.x, corner.y, popover.width, popover.height}};
}

}  // namespace morvel::linux_ax
