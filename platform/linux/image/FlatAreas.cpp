#include "platform/linux/image/FlatAreas.h"

#include "platform/linux/image/LeptonicaPix.h"

#include <cstdlib>

namespace morvel::linux_ax {
namespace {

constexpr int maskDepth = 1;
constexpr int labelDepth = 32;  // a screen holds far more than 65535 small flat areas
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
  const PixPtr labels(pixConnCompTransform(mask.get(), sidesTouching, labelDepth));
  if (!labels) return areas;
  const PixPtr centres = squareCentres(mask.get(), image.width, image.height, smallestSide);

  // Labels run from 1 for each area; 0 is no area.
  const l_uint32* labelWords = pixGetData(labels.get());
  const int labelWordsPerRow = pixGetWpl(labels.get());
  auto labelAt = [&](int x, int y) { return labelWords[static_cast<std::ptrdiff_t>(y) * labelWordsPerRow + x]; };
  std::vector<int> largeOfLabel(1, FlatAreas::none);
  if (centres) {
    const l_uint32* centreWords = pixGetData(centres.get());
    const int centreWordsPerRow = pixGetWpl(centres.get());
    for (int y = 0; y < image.height; ++y) {
      const l_uint32* centreRow = centreWords + static_cast<std::ptrdiff_t>(y) * centreWordsPerRow;
      for (int x = 0; x < image.width; ++x) {
        if (GET_DATA_BIT(centreRow, x) == 0) continue;
        const l_uint32 label = labelAt(x, y);
        if (label >= largeOfLabel.size()) largeOfLabel.resize(label + 1, FlatAreas::none);
        if (largeOfLabel[label] == FlatAreas::none) largeOfLabel[label] = areas.largeCount++;
      }
    }
  }
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const l_uint32 label = labelAt(x, y);
      if (label == 0) continue;
      const std::size_t pixel = static_cast<std::size_t>(y) * image.width + x;
      const int large = label < largeOfLabel.size() ? largeOfLabel[label] : FlatAreas::none;
      if (large == FlatAreas::none) {
        areas.inSmall[pixel] = true;
      } else {
        areas.large[pixel] = large;
      }
    }
  }
  return areas;
}

}  // namespace morvel::linux_ax
