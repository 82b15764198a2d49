#pragma once

// The image the recogniser reads: one byte of luminance per pixel.

#include <cstdint>
#include <vector>

namespace morvel::linux_ax {

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // row after row, no padding

  std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Luminance of an 8-bit RGB colour (ITU-R BT.601 weights). Captures convert
// as they read the server's pixels: Leptonica's conversion needs them copied
// into its own RGB image first and took 1.2-1.4x as long, for the same result.
inline std::uint8_t luminance(unsigned red, unsigned green, unsigned blue) {
  return static_cast<std::uint8_t>((299 * red + 587 * green + 114 * blue + 500) / 1000);
}

// Twice the width and height, by bilinear interpolation: small UI text is read
// with fewer errors at twice its size. Empty when no memory was to be had.
GreyImage upscaleTwice(const GreyImage& image);

}  // namespace morvel::linux_ax
