#include "app/PngEncoding.h"

#include <openssl/evp.h>
#include <png.h>

namespace morvel {

std::optional<std::string> encodePng(const ocr::GreyPixels& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_GRAY;
  constexpr int convertTo8Bit = 0;
  constexpr png_int_32 packedRows = 0;
  png_alloc_size_t size = 0;
  // The first call measures, the second writes.
  if (!png_image_write_to_memory(&image, nullptr, &size, convertTo8Bit, picture.bytes.data(), packedRows, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&image, bytes.data(), &size, convertTo8Bit, picture.bytes.data(), packedRows, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  bytes.resize(size);
  return bytes;
}

std::string base64(std::string_view bytes) {
  std::string encoded(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                     reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  encoded.resize(static_cast<std::size_t>(length));
  return encoded;
}

}  // namespace morvel
