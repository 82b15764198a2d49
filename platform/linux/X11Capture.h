#pragma once

// Capture of a screen rectangle from the X server at full pixel resolution, in
// grey. Shared memory (XShm) when the server offers it, a plain XGetImage
// otherwise. A rectangle partly off screen is clipped to the screen; the capture
// remembers where the clipped part lies in the whole rectangle.

#include "accessibility/Accessibility.h"
#include "ocr/Screen.h"
#include "platform/linux/GreyImage.h"
#include "platform/linux/X11Connection.h"

#include <memory>

namespace morvel::linux_ax {

class GreyCapture final : public ocr::CapturedImage {
 public:
  GreyCapture(int fullWidth, int fullHeight, int clipX, int clipY, GreyImage visible)
      : fullWidth_(fullWidth), fullHeight_(fullHeight), clipX_(clipX), clipY_(clipY), visible_(std::move(visible)) {}

  double widthPx() const override { return fullWidth_; }
  double heightPx() const override { return fullHeight_; }
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

// A rectangle in whole screen pixels.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The pixels a rectangle in points covers (edges rounded outward), or nothing
// for a rectangle that is empty, negative, not finite or beyond any screen.
std::optional<PixelRect> pixelRectOf(const ax::Rect& region);
// The part of `wanted` inside a screen of the given size, or nothing.
std::optional<PixelRect> clipToScreen(const PixelRect& wanted, int screenWidth, int screenHeight);

class X11Capture {
 public:
  std::unique_ptr<GreyCapture> capture(const ax::Rect& region);

 private:
  std::optional<GreyImage> grab(const PixelRect& area);
  std::optional<GreyImage> grabShared(const PixelRect& area);
  std::optional<GreyImage> grabPlain(const PixelRect& area);

  X11Connection connection_;
  enum class SharedMemory { Unknown, Usable, Unusable } sharedMemory_ = SharedMemory::Unknown;
};

}  // namespace morvel::linux_ax
