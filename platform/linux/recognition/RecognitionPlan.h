#pragma once

// How a prepared (dark text on light) image is read: at which size, and in which
// horizontal bands side by side.

#include "platform/linux/image/GreyImage.h"

#include <vector>

namespace morvel::linux_ax {

// Rows [top, bottom) of an image.
struct RowBand {
  int top = 0;
  int bottom = 0;
};

// The median height of the vertical runs of ink within narrow strips of the
// image: about three quarters of the text's pixel size for UI fonts. 0 when the
// image shows no ink.
int typicalInkHeight(const GreyImage& darkOnLight);

// The mean width of the short horizontal runs of ink: about the width of the
// text's stems, in pixels. 0 when the image shows no ink.
double meanStemWidth(const GreyImage& darkOnLight);

// Whether the text is so small, or so small and bold, that it is read with far
// fewer errors at twice its size. Other text is read as well at its own size,
// at half the cost.
bool worthEnlarging(const GreyImage& darkOnLight);

// At most `most` bands, each at least `shortestBand` rows tall, cut only in the
// middle of a run of blank rows (a gap between text lines, outside any box), so
// that no line or box is split. A single band when the image cannot be cut so.
std::vector<RowBand> rowBands(const GreyImage& image, int most, int shortestBand);

// The rows of one band as an image of their own, and the row of the whole image
// that its first row stands for.
struct BandImage {
  GreyImage image;
  int firstRow = 0;
};

// A band with `margin` copies of its cut row above and below where it was cut
// from its neighbours: text near an image's edge is read poorly, and the cut
// row holds nothing but ground.
BandImage bandImage(const GreyImage& image, RowBand band, int margin);

}  // namespace morvel::linux_ax
