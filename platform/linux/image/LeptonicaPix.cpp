#include "platform/linux/image/LeptonicaPix.h"

namespace morvel::linux_ax {
namespace {

constexpr int greyDepth = 8;

}  // namespace

PixPtr toPix(const GreyImage& image) {
  PixPtr pix(pixCreateNoInit(image.width, image.height, greyDepth));
  if (!pix) return pix;
  l_uint32* rows = pixGetData(pix.get());
  const int wordsPerRow = pixGetWpl(pix.get());
  for (int y = 0; y < image.height; ++y) {
    l_uint32* row = rows + static_cast<std::ptrdiff_t>(y) * wordsPerRow;
    const std::uint8_t* from = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
    for (int x = 0; x < image.width; ++x) SET_DATA_BYTE(row, x, from[x]);
  }
  return pix;
}

GreyImage fromPix(Pix* pix) {
  GreyImage image;
  if (pix == nullptr || pixGetDepth(pix) != greyDepth) return image;
  image.width = pixGetWidth(pix);
  image.height = pixGetHeight(pix);
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  const l_uint32* rows = pixGetData(pix);
  const int wordsPerRow = pixGetWpl(pix);
  for (int y = 0; y < image.height; ++y) {
    const l_uint32* row = rows + static_cast<std::ptrdiff_t>(y) * wordsPerRow;
    std::uint8_t* to = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
    for (int x = 0; x < image.width; ++x) to[x] = static_cast<std::uint8_t>(GET_DATA_BYTE(row, x));
  }
  return image;
}

}  // namespace morvel::linux_ax
