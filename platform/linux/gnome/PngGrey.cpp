#include "platform/linux/gnome/PngGrey.h"

#include <png.h>

#include <cstddef>
#include <vector>

namespace morvel::linux_ax {
namespace {

// Beyond any screen's side: a header claiming more is not a capture.
constexpr png_uint_32 longestSide = 16384;
constexpr int rgbaChannels = 4;
constexpr unsigned opaque = 255;

struct ImageReader {
  png_image image{};
  ImageReader() { image.version = PNG_IMAGE_VERSION; }
  ~ImageReader() { png_image_free(&image); }
  ImageReader(const ImageReader&) = delete;
  ImageReader& operator=(const ImageReader&) = delete;
};

}  // namespace

std::optional<GreyImage> greyImageFromPng(std::span<const std::uint8_t> png) {
  ImageReader reader;
  png_image& image = reader.image;
  if (png.empty() || !png_image_begin_read_from_memory(&image, png.data(), png.size())) return std::nullopt;
  if (image.width == 0 || image.height == 0 || image.width > longestSide || image.height > longestSide) {
    return std::nullopt;
  }
  // The shell sends RGBA and its captures are opaque. Read as RGBA: libpng's
  // own composing onto black (for RGB) works in linear light, a third slower.
  image.format = PNG_FORMAT_RGBA;
  const std::size_t pixelCount = std::size_t{image.width} * image.height;
  std::vector<std::uint8_t> rgba(pixelCount * rgbaChannels);
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return std::nullopt;
  GreyImage grey{static_cast<int>(image.width), static_cast<int>(image.height), std::vector<std::uint8_t>(pixelCount)};
  for (std::size_t pixel = 0; pixel < pixelCount; ++pixel) {
    const std::uint8_t* source = &rgba[pixel * rgbaChannels];
    const unsigned alpha = source[3];
    const std::uint8_t shown = luminance(source[0], source[1], source[2]);
    // Anything not opaque is shown over black.
    grey.pixels[pixel] = alpha == opaque ? shown : static_cast<std::uint8_t>((shown * alpha + opaque / 2) / opaque);
  }
  return grey;
}

}  // namespace morvel::linux_ax
