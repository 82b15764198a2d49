#include "platform/linux/image/FlatAreas.h"

#include "platform/linux/image/LeptonicaPix.h"

#include <algorithm>
#include <cstdlib>

namespace morvel::linux_ax {
namespace {

constexpr int maskDepth = 1;
constexpr int labelDepth = 32;  // more than 65535 grounds stay apart
constexpr int sidesTouching = 4;

// By hand: Leptonica's grey morphology takes rectangles only, and the four
// neighbours of a pixel make a cross; one pass here does what would take it
// four dilations and erosions and the comparisons after them.
PixPtr flatMask(const GreyImage& image, int tolerance) {
  PixPtr mask(pixCreate(image.width, image.height, maskDepth));
  if (!mask) return mask;
  auto near = [tolerance](int shade, int other) { return std::abs(shade - other) <= tolerance; };
  l_uint32* words = pixGetData(mask.get());
  const int wordsPerRow = pixGetWpl(mask.get());
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
    const std::uint8_t* above = y > 0 ? row - image.width : nullptr;
    const std::uint8_t* below = y + 1 < image.height ? row + image.width : nullptr;
    l_uint32* maskRow = words + static_cast<std::ptrdiff_t>(y) * wordsPerRow;
    for (int x = 0; x < image.width; ++x) {
      const int shade = row[x];
      const bool flat = (x == 0 || near(row[x - 1], shade)) && (x + 1 == image.width || near(row[x + 1], shade)) &&
                        (above == nullptr || near(above[x], shade)) && (below == nullptr || near(below[x], shade));
      if (flat) SET_DATA_BIT(maskRow, x);
    }
  }
  return mask;
}

// The centres of the squares of flat pixels wholly inside the image.
PixPtr squareCentres(Pix* mask, int width, int height, int side) {
  if (width < side || height < side) return nullptr;
  PixPtr centres(pixErodeBrick(nullptr, mask, side, side));
  if (!centres) return centres;
  // The brick's origin is at side / 2; a centre nearer the edge than that has
  // part of its square beyond it, whatever Leptonica takes to lie there.
  const int before = side / 2;
  const int after = side - 1 - before;
  pixSetOrClearBorder(centres.get(), before, after, before, after, PIX_CLR);
  return centres;
}

}  // namespace

FlatAreas findFlatAreas(const GreyImage& image, int smallestSide, int tolerance) {
  FlatAreas areas;
  if (image.width <= 0 || image.height <= 0) return areas;
  const std::size_t pixelCount = image.pixels.size();
  areas.large.assign(pixelCount, FlatAreas::none);
  areas.inSmall.assign(pixelCount, false);
  const PixPtr mask = flatMask(image, tolerance);
  if (!mask) return areas;
  // The large areas are the flat pixels reached from the squares' centres.
  PixPtr large;
  if (const PixPtr centres = squareCentres(mask.get(), image.width, image.height, smallestSide)) {
    large.reset(pixSeedfillBinary(nullptr, centres.get(), mask.get(), sidesTouching));
  }
  const PixPtr labels(large ? pixConnCompTransform(large.get(), sidesTouching, labelDepth) : nullptr);

  const l_uint32* maskWords = pixGetData(mask.get());
  const int maskWordsPerRow = pixGetWpl(mask.get());
  const l_uint32* labelWords = labels ? pixGetData(labels.get()) : nullptr;
  const int labelWordsPerRow = labels ? pixGetWpl(labels.get()) : 0;
  for (int y = 0; y < image.height; ++y) {
    const l_uint32* maskRow = maskWords + static_cast<std::ptrdiff_t>(y) * maskWordsPerRow;
    const l_uint32* labelRow = labelWords != nullptr ? labelWords + static_cast<std::ptrdiff_t>(y) * labelWordsPerRow : nullptr;
    for (int x = 0; x < image.width; ++x) {
      if (GET_DATA_BIT(maskRow, x) == 0) continue;
      const std::size_t pixel = static_cast<std::size_t>(y) * image.width + x;
      // Labels run from 1 for each large area; 0 is none.
      const int label = labelRow != nullptr ? static_cast<int>(labelRow[x]) : 0;
      if (label == 0) {
        areas.inSmall[pixel] = true;
      } else {
        areas.large[pixel] = label - 1;
        areas.largeCount = std::max(areas.largeCount, label);
      }
    }
  }
  return areas;
}

}  // namespace morvel::linux_ax
