#include "platform/linux/image/GreyImage.h"

namespace morvel::linux_ax {

GreyImage upscaleTwice(const GreyImage& image) {
  GreyImage larger;
  if (image.width <= 0 || image.height <= 0) return larger;
  larger.width = image.width * 2;
  larger.height = image.height * 2;
  larger.pixels.resize(static_cast<std::size_t>(larger.width) * larger.height);
  // Each target pixel centre maps back to (2x + 1) / 4 - 1/2 in the source: a
  // quarter pixel to either side of the source pixel, weighted 3:1.
  for (int y = 0; y < larger.height; ++y) {
    const int sourceY = y / 2;
    const int neighbourY = (y % 2 == 0) ? (sourceY > 0 ? sourceY - 1 : 0)
                                        : (sourceY + 1 < image.height ? sourceY + 1 : sourceY);
    for (int x = 0; x < larger.width; ++x) {
      const int sourceX = x / 2;
      const int neighbourX = (x % 2 == 0) ? (sourceX > 0 ? sourceX - 1 : 0)
                                          : (sourceX + 1 < image.width ? sourceX + 1 : sourceX);
      const unsigned weighted = 9u * image.at(sourceX, sourceY) + 3u * image.at(neighbourX, sourceY) +
                                3u * image.at(sourceX, neighbourY) + 1u * image.at(neighbourX, neighbourY);
      larger.pixels[static_cast<std::size_t>(y) * larger.width + x] = static_cast<std::uint8_t>((weighted + 8) / 16);
    }
  }
  return larger;
}

}  // namespace morvel::linux_ax
