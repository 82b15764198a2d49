#include "platform/linux/image/GreyImage.h"

#include "platform/linux/image/LeptonicaPix.h"

namespace morvel::linux_ax {

GreyImage upscaleTwice(const GreyImage& image) {
  if (image.width <= 0 || image.height <= 0) return {};
  const PixPtr pix = toPix(image);
  if (!pix) return {};
  const PixPtr larger(pixScaleGray2xLI(pix.get()));
  return fromPix(larger.get());
}

}  // namespace morvel::linux_ax
