#include "platform/linux/gnome/GnomeWindowSystem.h"

#include "platform/linux/gnome/LogicalPixels.h"
#include "platform/linux/gnome/PngGrey.h"

namespace morvel::linux_ax {

void GnomeWindowSystem::forgetReads() {
  ListedWindowSystem::forgetReads();
  // A new request: the client is at work.
  if (throughScreenCast_) screenCast_.keepOpen();
}

std::vector<ListedWindow> GnomeWindowSystem::listWindows() {
  if (!lastList_ || !bus_.lastListCurrent()) {
    auto reply = bus_.listWindows();
    lastList_ = reply ? parseShellWindows(*reply) : std::nullopt;
  }
  return lastList_ ? lastList_->topFirst : std::vector<ListedWindow>{};
}

std::unique_ptr<GreyCapture> GnomeWindowSystem::capture(const ax::Rect& region) {
  auto wanted = pixelRectOf(region);
  if (!wanted) return nullptr;
  windows();  // the screen's size comes with the window list
  if (!lastList_) return nullptr;
  auto visible = clipToScreen(*wanted, lastList_->screenWidth, lastList_->screenHeight);
  if (!visible) return nullptr;
  const PixelRect screen{0, 0, lastList_->screenWidth, lastList_->screenHeight};
  std::optional<GreyImage> pixels;
  if (throughScreenCast_) {
    pixels = screenCast_.grab(*visible, screen, lastList_->monitorCount == 1, bus_);
  }
  if (!pixels) {
    auto png = bus_.captureArea(*visible);
    pixels = png ? greyImageFromPng(*png) : std::nullopt;
  }
  // Opened after the PNG, not beside it: the shell would do both at once.
  if (throughScreenCast_) screenCast_.open(screen, lastList_->monitorCount == 1);
  if (pixels) pixels = atLogicalSize(std::move(*pixels), visible->width, visible->height);
  if (!pixels) return nullptr;
  return std::make_unique<GreyCapture>(wanted->width, wanted->height, visible->x - wanted->x, visible->y - wanted->y,
                                       std::move(*pixels));
}

}  // namespace morvel::linux_ax
