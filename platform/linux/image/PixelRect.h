#pragma once

// A rectangle in whole pixels of the screen (or of a window): what the window
// system, toolkits' extents and captures all measure in.

namespace morvel::linux_ax {

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  bool contains(double px, double py) const {
    return px >= x && py >= y && px < static_cast<double>(x) + width && py < static_cast<double>(y) + height;
  }
  bool operator==(const PixelRect&) const = default;
};

}  // namespace morvel::linux_ax
