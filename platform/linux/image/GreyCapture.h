#pragma once

// A captured screen rectangle in grey, as every capture of the Linux backend
// hands it to the recogniser, and the pixel geometry of captures.

#include "accessibility/Accessibility.h"
#include "ocr/Screen.h"
#include "platform/linux/image/GreyImage.h"
#include "platform/linux/image/PixelRect.h"

#include <optional>

namespace morvel::linux_ax {

class GreyCapture final : public ocr::CapturedImage {
 public:
  GreyCapture(int fullWidth, int fullHeight, int clipX, int clipY, GreyImage visible)
      : fullWidth_(fullWidth), fullHeight_(fullHeight), clipX_(clipX), clipY_(clipY), visible_(std::move(visible)) {}

  double widthPx() const override { return fullWidth_; }
  double heightPx() const override { return fullHeight_; }
  ocr::GreyPixels greyPixels() const override;
  // The part of the rectangle that was on screen, and where it starts in it.
  const GreyImage& visible() const { return visible_; }
  int clipX() const { return clipX_; }
  int clipY() const { return clipY_; }

 private:
  int fullWidth_;
  int fullHeight_;
  int clipX_;
  int clipY_;
  GreyImage visible_;
};

// The pixels a rectangle in points covers (edges rounded outward), or nothing
// for a rectangle that is empty, negative, not finite or beyond any screen.
std::optional<PixelRect> pixelRectOf(const ax::Rect& region);
// The part of `wanted` inside a screen of the given size, or nothing.
std::optional<PixelRect> clipToScreen(const PixelRect& wanted, int screenWidth, int screenHeight);

}  // namespace morvel::linux_ax
