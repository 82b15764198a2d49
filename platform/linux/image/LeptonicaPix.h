#pragma once

// Grey images as Leptonica holds them, for the operations it has: every Pix and
// Numa it hands over is destroyed exactly once, on every path.

#include "platform/linux/image/GreyImage.h"

#include <leptonica/allheaders.h>

#include <memory>

namespace morvel::linux_ax {

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

struct NumaDeleter {
  void operator()(Numa* numa) const { numaDestroy(&numa); }
};
using NumaPtr = std::unique_ptr<Numa, NumaDeleter>;

// An 8-bit Pix of the same pixels; empty when Leptonica could not allocate it.
PixPtr toPix(const GreyImage& image);
// The pixels of an 8-bit Pix.
GreyImage fromPix(Pix* pix);

}  // namespace morvel::linux_ax
