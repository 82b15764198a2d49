#include "platform/linux/gnome/ScreenCastCapture.h"

namespace morvel::linux_ax {
namespace {

using Clock = std::chrono::steady_clock;

// A redrawn frame comes within a frame or two of the shell's painting; a
// cast just started needs its stream linked first.
constexpr std::chrono::milliseconds frameWait{2000};
constexpr std::chrono::seconds retryAfterFailure{30};

}  // namespace

bool ScreenCastCapture::casting(const PixelRect& screen, bool oneMonitor) {
  if (frames_.connected() && castArea_ == screen && castMonitor_ == oneMonitor) return true;
  frames_.disconnect();
  auto node = cast_.start(screen, oneMonitor);
  if (!node || !frames_.connect(*node, pauseWhenIdle_)) return false;
  castArea_ = screen;
  castMonitor_ = oneMonitor;
  return true;
}

void ScreenCastCapture::fail() {
  frames_.disconnect();
  cast_.stop();
  retryAt_ = Clock::now() + retryAfterFailure;
}

std::optional<GreyImage> ScreenCastCapture::grab(const PixelRect& area, const PixelRect& screen, bool oneMonitor,
                                                 const Redraw& redraw) {
  if (Clock::now() < retryAt_) return std::nullopt;
  if (!casting(screen, oneMonitor)) {
    fail();
    return std::nullopt;
  }
  frames_.resume();
  const auto asked = redraw();
  if (!asked) return std::nullopt;
  auto pixels = frames_.frameSince(std::chrono::microseconds(*asked), area, screen, frameWait);
  if (!pixels) fail();
  return pixels;
}

}  // namespace morvel::linux_ax
