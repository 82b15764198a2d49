#pragma once

// At a fractional scale (mutter's scale-monitor-framebuffer) the shell's
// coordinates are logical pixels while its pictures of the screen have the
// monitor's pixels, more of them: a capture is brought back to the logical
// size, so that it lies where the frames say.

#include "platform/linux/image/GreyImage.h"

#include <optional>

namespace morvel::linux_ax {

// `image` at `width` x `height`: as it is when it has that size already,
// scaled down (interpolated, so that text keeps its strokes) when it shows the
// same area at one larger scale both ways; nothing otherwise (a smaller
// image, or one of another shape, is not a picture of that area).
std::optional<GreyImage> atLogicalSize(GreyImage image, int width, int height);

}  // namespace morvel::linux_ax
