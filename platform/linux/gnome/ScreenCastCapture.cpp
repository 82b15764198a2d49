#include "platform/linux/gnome/ScreenCastCapture.h"

namespace morvel::linux_ax {
namespace {

using Clock = std::chrono::steady_clock;

// A redrawn frame comes within a frame or two of the shell's painting; a
// cast just started needs its stream linked first.
constexpr std::chrono::milliseconds frameWait{2000};
// The frame of a drawing already done is on its way, or follows within the
// cast's frame interval when the shell held it back for the rate; past this
// it was lost, and the screen is drawn again instead.
constexpr std::chrono::milliseconds drawnFrameWait{250};
constexpr std::chrono::seconds retryAfterFailure{30};

}  // namespace

bool ScreenCastCapture::casting(const PixelRect& screen, bool oneMonitor) {
  if (frames_.connected() && castArea_ == screen && castMonitor_ == oneMonitor) return true;
  frames_.disconnect();
  auto node = cast_.start(screen, oneMonitor);
  if (!node || !frames_.connect(*node, pauseWhenIdle_)) return false;
  castArea_ = screen;
  castMonitor_ = oneMonitor;
  following_ = false;
  return true;
}

void ScreenCastCapture::fail() {
  // GNOME shows a running cast in the panel with a button to stop it: a cast
  // ended there stays ended for as long as the helper runs.
  const bool stopped = frames_.endedAfterFrames();
  frames_.disconnect();
  cast_.stop();
  following_ = false;
  retryAt_ = stopped ? Clock::time_point::max() : Clock::now() + retryAfterFailure;
}

std::optional<GreyImage> ScreenCastCapture::lastDrawn(const PixelRect& area, const PixelRect& screen,
                                                      ShellExtensionBus& shell) {
  const auto lastDrawing = shell.settle();
  if (!lastDrawing) return std::nullopt;
  return frames_.frameSince(std::chrono::microseconds(*lastDrawing), area, screen, drawnFrameWait);
}

std::optional<GreyImage> ScreenCastCapture::grab(const PixelRect& area, const PixelRect& screen, bool oneMonitor,
                                                 ShellExtensionBus& shell) {
  if (Clock::now() < retryAt_) return std::nullopt;
  if (!casting(screen, oneMonitor)) {
    fail();
    return std::nullopt;
  }
  // While paused the shell recorded nothing of what it drew.
  if (frames_.resume()) following_ = false;
  if (following_) {
    if (auto pixels = lastDrawn(area, screen, shell)) return pixels;
  }
  const auto asked = shell.redraw();
  if (!asked) return std::nullopt;
  auto pixels = frames_.frameSince(std::chrono::microseconds(*asked), area, screen, frameWait);
  following_ = pixels.has_value();
  if (!pixels) fail();
  return pixels;
}

}  // namespace morvel::linux_ax
