#pragma once

// Capture of an area of a GNOME Shell session through mutter's screen cast:
// raw frames over PipeWire, without the shell's PNG step. GNOME shows a
// running cast in its panel as screen sharing, so the cast is open only
// while a client that captures is at work: opened in the background by the
// first capture (which goes through the PNG meanwhile; opening takes longer
// than a PNG), kept open by the client's captures and other requests, closed
// once it has asked nothing for a while.
// The shell records a frame after each drawing that changed the screen, so a
// capture asks it to draw what has changed and takes the frame of its last
// drawing, mostly one at hand already: it never shows the screen as it was
// before the request. When no such frame comes (the cast just opened, a frame
// lost), the shell draws the whole screen again for a frame of its own.
// Nothing when the session has no screen cast, or no PipeWire with a session
// manager to link the stream; after such a failure the cast is not tried
// again for a while, so that a session without it does not pay for it on
// every capture; after the cast was stopped from the shell's panel, it is not
// opened again.

#include "platform/linux/gnome/MutterScreenCast.h"
#include "platform/linux/gnome/PipeWireFrames.h"
#include "platform/linux/gnome/ShellExtensionBus.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace morvel::linux_ax {

class ScreenCastCapture {
 public:
  explicit ScreenCastCapture(std::chrono::milliseconds closeWhenIdle = std::chrono::seconds(5));
  ~ScreenCastCapture();
  ScreenCastCapture(const ScreenCastCapture&) = delete;
  ScreenCastCapture& operator=(const ScreenCastCapture&) = delete;

  // Starts opening a cast of `screen` on a thread of its own, unless one is
  // open or opening; keeps an open one from closing.
  void open(const PixelRect& screen, bool oneMonitor);
  // Keeps an open cast, or one opening, from closing for a while: the client
  // that captured is still at work, and its next capture takes a frame
  // instead of the PNG. Opens nothing.
  void keepOpen();
  // The pixels of `area` (global logical pixels, inside `screen`) as shown
  // now; nothing while no cast of `screen` is open.
  std::optional<GreyImage> grab(const PixelRect& area, const PixelRect& screen, bool oneMonitor,
                                ShellExtensionBus& shell);
  // Whether a cast is open now, so that GNOME shows it as screen sharing.
  bool isOpen();

 private:
  enum class State { closed, opening, open, closing };
  struct CastOf {
    PixelRect screen;
    bool oneMonitor = false;
    bool operator==(const CastOf&) const = default;
  };

  std::optional<GreyImage> grabOpen(const PixelRect& area, const PixelRect& screen, ShellExtensionBus& shell);
  std::optional<GreyImage> lastDrawn(const PixelRect& area, const PixelRect& screen, ShellExtensionBus& shell);
  // The thread that opens and closes casts, so that no capture waits for it.
  void keepCasts();
  bool openCast(const CastOf& wanted);
  void closeCast();

  const std::chrono::milliseconds closeWhenIdle_;
  // Used by the casting thread only, and by captures while the state is open.
  MutterScreenCast cast_;
  PipeWireFrames frames_;

  std::mutex mutex_;
  std::condition_variable changed_;
  State state_ = State::closed;
  CastOf wanted_;
  CastOf opened_;
  // A capture uses the frames: the cast is not closed under it.
  bool inUse_ = false;
  // Frames have come for every drawing since the last capture: the cast has
  // not just opened.
  bool following_ = false;
  bool stopping_ = false;
  std::chrono::steady_clock::time_point lastUse_{};
  std::chrono::steady_clock::time_point retryAt_{};
  std::thread caster_;
};

}  // namespace morvel::linux_ax
