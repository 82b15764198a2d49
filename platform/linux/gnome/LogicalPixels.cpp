#include "platform/linux/gnome/LogicalPixels.h"

#include "platform/linux/image/LeptonicaPix.h"

#include <cmath>

namespace morvel::linux_ax {
namespace {

// Mutter's scales go up to 4; a side of the monitor's picture is the logical
// side times the scale, rounded either way.
constexpr double largestScale = 4.0;
constexpr double roundingSlack = 1.0;

}  // namespace

std::optional<GreyImage> atLogicalSize(GreyImage image, int width, int height) {
  if (width <= 0 || height <= 0) return std::nullopt;
  if (image.width == width && image.height == height) return image;
  if (image.width < width || image.height < height) return std::nullopt;
  // One scale both ways: the wider side tells it best.
  const double scale = width >= height ? static_cast<double>(image.width) / width
                                       : static_cast<double>(image.height) / height;
  if (scale > largestScale || std::abs(image.width - width * scale) > roundingSlack ||
      std::abs(image.height - height * scale) > roundingSlack) {
    return std::nullopt;
  }
  const PixPtr physical = toPix(image);
  if (!physical) return std::nullopt;
  const PixPtr logical(pixScaleToSize(physical.get(), width, height));
  if (!logical || pixGetWidth(logical.get()) != width || pixGetHeight(logical.get()) != height) return std::nullopt;
  return fromPix(logical.get());
}

}  // namespace morvel::linux_ax
