#pragma once

// The window system's side of the desktop, as the Linux backend needs it: which
// window is active, the windows in stacking order with their process, frames,
// titles and application ids, and capture of a screen rectangle. X11 is one
// implementation; a Wayland compositor can be another. Everything is in global
// screen pixels. A failed ask is an absent value, never an error.

#include "accessibility/Accessibility.h"
#include "platform/linux/image/GreyCapture.h"
#include "platform/linux/image/PixelRect.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_ax {

// A window as the window system names it (an X window id, a compositor's id).
using WindowId = std::uint64_t;

struct ClientWindow {
  WindowId id = 0;
  std::optional<std::int32_t> pid;
  PixelRect client;  // the application's own area
  PixelRect frame;   // with the window manager's decorations
  // The toolkit measures accessible extents from this window's own surface
  // (a Wayland client), not from the screen (an X client, Xwayland's too).
  bool extentsFromSurface = false;
  // Where that surface lies on the screen, a shadow the client draws around
  // the window included, when the window system says; else it is inferred.
  std::optional<PixelRect> surface{};
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // The window the window manager has made active (keyboard focus), if any.
  virtual std::optional<WindowId> activeWindow() = 0;
  virtual std::optional<std::int32_t> windowPid(WindowId window) = 0;
  // The application's id for its windows (a desktop file name or a class).
  virtual std::optional<std::string> applicationId(WindowId window) = 0;
  virtual std::optional<std::string> windowTitle(WindowId window) = 0;
  // Windows shown on screen, the topmost first.
  virtual std::vector<ClientWindow> clientsTopFirst() = 0;
  // Whether the process shows a window over the point that the window manager
  // does not manage (a menu, a combo's list, a tooltip): such windows lie above
  // every managed one. Absent where the window system cannot tell.
  virtual std::optional<bool> unmanagedWindowOfAt(std::int32_t pid, double x, double y) {
    (void)pid, (void)x, (void)y;
    return std::nullopt;
  }
  // Where the process's windows that the window manager does not manage lie,
  // the topmost first (GTK 4 gives each open popover one of its own).
  virtual std::vector<PixelRect> unmanagedWindowsOf(std::int32_t pid) {
    (void)pid;
    return {};
  }
  // The pixels of a rectangle in global points, clipped to the screen.
  virtual std::unique_ptr<GreyCapture> capture(const ax::Rect& region) = 0;
  // Whether toolkits report accessible extents (and take hit-test points)
  // relative to their window's own surface rather than the screen: so under
  // Wayland, where no client knows where its windows are. `ClientWindow::client`
  // then places each window's visible area on the screen.
  virtual bool extentsAreWindowRelative() { return false; }
  // Whether the window system the helper was using has gone away and is not
  // back: its applications went with it, and the accessibility registry, which
  // needs the display, cannot answer until it is back.
  virtual bool gone() { return false; }
  // Ends the reads of the request so far: the desktop may have changed, and what
  // it may have changed is read again.
  virtual void forgetReads() {}
};

}  // namespace morvel::linux_ax
