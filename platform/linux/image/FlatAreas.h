#pragma once

// The flat areas of a grey image, told apart by whether they are large enough
// to be a ground (the space around text, a panel, a selected row) or not (the
// flat core of a thick stroke, a piece of ground walled off by a glyph).

#include "platform/linux/image/GreyImage.h"

#include <vector>

namespace morvel::linux_ax {

// A pixel is flat when each of its neighbours above, below, left and right (those
// inside the image) is within `tolerance` of its shade. Flat pixels that touch
// on a side form one area; an area is large when it holds a square of flat
// pixels of `smallestSide`, wholly inside the image.
struct FlatAreas {
  static constexpr int none = -1;
  // Per pixel: the index of its large area (0 .. largeCount - 1), or none.
  std::vector<int> large;
  int largeCount = 0;
  // Per pixel: whether it lies in a flat area that is not large.
  std::vector<bool> inSmall;
};

// Empty vectors for an empty image; when Leptonica cannot allocate its images,
// every pixel is left outside any area.
FlatAreas findFlatAreas(const GreyImage& image, int smallestSide, int tolerance);

}  // namespace morvel::linux_ax
