#pragma once

// Capture of an area of a GNOME Shell session through mutter's screen cast:
// raw frames over PipeWire, without the shell's PNG step. One cast of the
// whole screen is kept open between requests (starting one costs far more
// than a frame), paused while no capture is asked for. The shell records a
// frame after each drawing that changed the screen, so a capture asks it to
// draw what has changed and takes the frame of its last drawing, mostly one
// at hand already: it never shows the screen as it was before the request.
// When no such frame comes (the cast just started or resumed, a frame lost),
// the shell draws the whole screen again for a frame of its own.
// Nothing when the session has no screen cast, or no PipeWire with a session
// manager to link the stream; after such a failure the cast is not tried
// again for a while, so that a session without it does not pay a time-out on
// every capture; after the cast was stopped from the shell's panel, it is not
// started again.

#include "platform/linux/gnome/MutterScreenCast.h"
#include "platform/linux/gnome/PipeWireFrames.h"
#include "platform/linux/gnome/ShellExtensionBus.h"

#include <chrono>
#include <optional>

namespace morvel::linux_ax {

class ScreenCastCapture {
 public:
  // The shell records a frame for the cast whenever the screen changes, while
  // it runs: paused after this long without a capture.
  explicit ScreenCastCapture(std::chrono::milliseconds pauseWhenIdle = std::chrono::seconds(5))
      : pauseWhenIdle_(pauseWhenIdle) {}

  // The pixels of `area` (global logical pixels, inside `screen`) as shown now.
  std::optional<GreyImage> grab(const PixelRect& area, const PixelRect& screen, bool oneMonitor,
                                ShellExtensionBus& shell);

 private:
  bool casting(const PixelRect& screen, bool oneMonitor);
  std::optional<GreyImage> lastDrawn(const PixelRect& area, const PixelRect& screen, ShellExtensionBus& shell);
  void fail();

  std::chrono::milliseconds pauseWhenIdle_;
  MutterScreenCast cast_;
  PipeWireFrames frames_;
  PixelRect castArea_;
  bool castMonitor_ = false;
  // Frames have come for every drawing since the last capture: the cast
  // neither started nor resumed since.
  bool following_ = false;
  std::chrono::steady_clock::time_point retryAt_{};
};

}  // namespace morvel::linux_ax
