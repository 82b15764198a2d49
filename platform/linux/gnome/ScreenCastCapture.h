#pragma once

// Capture of an area of a GNOME Shell session through mutter's screen cast:
// raw frames over PipeWire, without the shell's PNG step. One cast of the
// whole screen is kept open between requests (starting one costs far more
// than a frame), paused while no capture is asked for. A capture asks the
// shell to draw the screen again and takes only a frame recorded after that,
// so that it never shows the screen as it was before the request.
// Nothing when the session has no screen cast, or no PipeWire with a session
// manager to link the stream; after such a failure the cast is not tried
// again for a while, so that a session without it does not pay a time-out on
// every capture.

#include "platform/linux/gnome/MutterScreenCast.h"
#include "platform/linux/gnome/PipeWireFrames.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace morvel::linux_ax {

class ScreenCastCapture {
 public:
  // The shell records a frame for the cast whenever the screen changes, while
  // it runs: paused after this long without a capture.
  explicit ScreenCastCapture(std::chrono::milliseconds pauseWhenIdle = std::chrono::seconds(5))
      : pauseWhenIdle_(pauseWhenIdle) {}

  // Has the shell draw the screen again; answers the shell's monotonic clock
  // (microseconds) when it was asked.
  using Redraw = std::function<std::optional<std::int64_t>()>;

  // The pixels of `area` (global logical pixels, inside `screen`) as shown now.
  std::optional<GreyImage> grab(const PixelRect& area, const PixelRect& screen, bool oneMonitor, const Redraw& redraw);

 private:
  bool casting(const PixelRect& screen, bool oneMonitor);
  void fail();

  std::chrono::milliseconds pauseWhenIdle_;
  MutterScreenCast cast_;
  PipeWireFrames frames_;
  PixelRect castArea_;
  bool castMonitor_ = false;
  std::chrono::steady_clock::time_point retryAt_{};
};

}  // namespace morvel::linux_ax
