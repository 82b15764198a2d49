#pragma once

// "screenshot": a screen rectangle as a grey picture of one pixel per point, for
// clients that want to look as well as read.

#include "commands/Platform.h"

#include <string>
#include <variant>

namespace morvel {

// The largest picture on either side, in pixels: a whole 8K display.
inline constexpr int maxScreenshotSide = 8192;

// The picture of the rectangle (origin x, y; size w by h points, rounded to whole
// pixels), or the reason there is none.
std::variant<ocr::GreyPixels, std::string> cmdScreenshot(Platform& platform, double x, double y, double w, double h);

}  // namespace morvel
