#include "commands/ScreenshotCommand.h"

#include <cmath>

namespace morvel {
namespace {

// Nearest-neighbour resampling to one pixel per point: captures of dense displays
// hold more pixels than the rectangle has points.
ocr::GreyPixels resampled(const ocr::GreyPixels& source, int width, int height) {
  if (source.width == width && source.height == height) return source;
  ocr::GreyPixels target{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
  for (int row = 0; row < height; ++row) {
    const auto fromRow = static_cast<std::size_t>((row + 0.5) * source.height / height);
    for (int column = 0; column < width; ++column) {
      const auto fromColumn = static_cast<std::size_t>((column + 0.5) * source.width / width);
      target.bytes[static_cast<std::size_t>(row) * width + column] = source.bytes[fromRow * source.width + fromColumn];
    }
  }
  return target;
}

bool isPictureSide(double side) { return side >= 1 && side <= maxScreenshotSide; }

}  // namespace

std::variant<ocr::GreyPixels, std::string> cmdScreenshot(Platform& platform, double x, double y, double w, double h) {
  const double width = std::round(w);
  const double height = std::round(h);
  if (!std::isfinite(x) || !std::isfinite(y) || !isPictureSide(width) || !isPictureSide(height)) {
    return "screenshot requires finite x,y and w,h from 1 to " + std::to_string(maxScreenshotSide);
  }
  auto image = platform.screen.capture(ax::Rect{x, y, w, h});
  if (!image) return std::string("the screen could not be captured");
  // A dense display may capture more pixels than the picture has; the capture is
  // held whole in memory, so it is bounded like the picture.
  constexpr double maxCapturePixels = double{maxScreenshotSide} * maxScreenshotSide;
  if (!(image->widthPx() >= 1 && image->heightPx() >= 1 && image->widthPx() * image->heightPx() <= maxCapturePixels)) {
    return std::string("the screen could not be captured at this size");
  }
  return resampled(image->greyPixels(), static_cast<int>(width), static_cast<int>(height));
}

}  // namespace morvel
