#include "platform/linux/gnome/PngGrey.h"

#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <cstring>
#include <vector>

namespace morvel::linux_ax {
namespace {

// Beyond any screen's side: a header claiming more is not a capture.
constexpr png_uint_32 longestSide = 16384;
constexpr int rgbaChannels = 4;
constexpr unsigned opaque = 255;

// The PNG's bytes as libpng reads them, front to back.
struct MemorySource {
  std::span<const std::uint8_t> bytes;
  std::size_t offset = 0;
};

void readFromMemory(png_structp png, png_bytep into, png_size_t length) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (length > source->bytes.size() - source->offset) png_error(png, "the PNG ends early");
  std::memcpy(into, source->bytes.data() + source->offset, length);
  source->offset += length;
}

// A broken PNG ends the reading through longjmp, silently: the caller gets
// no image. Warnings are not ours to print either.
[[noreturn]] void stopReading(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

struct PngReader {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, stopReading, ignoreWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  PngReader() = default;
  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
};

// Whatever the PNG holds (palette, grey, 16 bits, with or without alpha),
// rows come out as 8-bit RGBA, straight alpha.
void askForRgba(png_structp png, png_infop info) {
  const int colourType = png_get_color_type(png, info);
  png_set_expand(png);
  png_set_scale_16(png);
  if ((colourType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && png_get_valid(png, info, PNG_INFO_tRNS) == 0) {
    png_set_filler(png, opaque, PNG_FILLER_AFTER);
  }
  png_read_update_info(png, info);
}

void greyRow(const std::uint8_t* rgba, std::uint8_t* grey, std::size_t width) {
  for (std::size_t pixel = 0; pixel < width; ++pixel, rgba += rgbaChannels) {
    const unsigned alpha = rgba[3];
    const std::uint8_t shown = luminance(rgba[0], rgba[1], rgba[2]);
    // Anything not opaque is shown over black.
    grey[pixel] = alpha == opaque ? shown : static_cast<std::uint8_t>((shown * alpha + opaque / 2) / opaque);
  }
}

// Fills `grey`; false when the PNG is broken or too large. Interlaced
// images are read whole, for each pass adds to the rows of the one before.
bool readGrey(PngReader& reader, MemorySource& source, GreyImage& grey, std::vector<std::uint8_t>& rgba) {
  // Everything written after setjmp lives in the caller, untouched by the longjmp.
  if (setjmp(png_jmpbuf(reader.png)) != 0) return false;
  png_set_read_fn(reader.png, &source, readFromMemory);
  png_read_info(reader.png, reader.info);
  const png_uint_32 width = png_get_image_width(reader.png, reader.info);
  const png_uint_32 height = png_get_image_height(reader.png, reader.info);
  if (width == 0 || height == 0 || width > longestSide || height > longestSide) return false;
  const bool interlaced = png_set_interlace_handling(reader.png) > 1;
  askForRgba(reader.png, reader.info);
  const std::size_t rowBytes = std::size_t{width} * rgbaChannels;
  if (png_get_rowbytes(reader.png, reader.info) != rowBytes) return false;
  grey = GreyImage{static_cast<int>(width), static_cast<int>(height),
                   std::vector<std::uint8_t>(std::size_t{width} * height)};
  if (interlaced) {
    rgba.resize(rowBytes * height);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = &rgba[y * rowBytes];
    png_read_image(reader.png, rows.data());
    for (png_uint_32 y = 0; y < height; ++y) greyRow(rows[y], &grey.pixels[std::size_t{y} * width], width);
    return true;
  }
  rgba.resize(rowBytes);
  for (png_uint_32 y = 0; y < height; ++y) {
    png_read_row(reader.png, rgba.data(), nullptr);
    greyRow(rgba.data(), &grey.pixels[std::size_t{y} * width], width);
  }
  return true;
}

}  // namespace

// Read row by row straight into grey: the shell sends RGBA, and a whole RGBA
// copy of the capture would only be read once more.
std::optional<GreyImage> greyImageFromPng(std::span<const std::uint8_t> png) {
  constexpr std::size_t signatureBytes = 8;
  if (png.size() < signatureBytes || png_sig_cmp(png.data(), 0, signatureBytes) != 0) return std::nullopt;
  PngReader reader;
  if (reader.info == nullptr) return std::nullopt;
  MemorySource source{png};
  GreyImage grey;
  std::vector<std::uint8_t> rgba;
  if (!readGrey(reader, source, grey, rgba)) return std::nullopt;
  return grey;
}

}  // namespace morvel::linux_ax
