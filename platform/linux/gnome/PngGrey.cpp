#include "platform/linux/gnome/PngGrey.h"

#include <png.h>

#include <cstddef>
#include <vector>

namespace morvel::linux_ax {
namespace {

// Beyond any screen's side: a header claiming more is not a capture.
constexpr png_uint_32 longestSide = 16384;
constexpr int rgbChannels = 3;

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
  // The shell's captures are opaque; any alpha would be composed onto the zeroed (black) buffer.
  image.format = PNG_FORMAT_RGB;
  const std::size_t pixelCount = std::size_t{image.width} * image.height;
  std::vector<std::uint8_t> rgb(pixelCount * rgbChannels);
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return std::nullopt;
  GreyImage grey{static_cast<int>(image.width), static_cast<int>(image.height), std::vector<std::uint8_t>(pixelCount)};
  for (std::size_t pixel = 0; pixel < pixelCount; ++pixel) {
    const std::uint8_t* source = &rgb[pixel * rgbChannels];
    grey.pixels[pixel] = luminance(source[0], source[1], source[2]);
  }
  return grey;
}

}  // namespace morvel::linux_ax
