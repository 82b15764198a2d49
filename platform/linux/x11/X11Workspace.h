#pragma once

// What the X server and the window manager know about the desktop: the active
// window, the stacking order, each window's process, application id, title and
// geometry. One connection, opened on first use and again after the server went
// away; no X error ever ends or disturbs the process.

#include "platform/linux/WindowSystem.h"
#include "platform/linux/x11/X11Capture.h"
#include "platform/linux/x11/X11Connection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_ax {

class X11Workspace final : public WindowSystem {
 public:
  std::optional<WindowId> activeWindow() override;
  std::optional<std::int32_t> windowPid(WindowId window) override;
  // `_GTK_APPLICATION_ID` of the window or another window of its process, else
  // the class part of WM_CLASS of the window, or of the window of the same
  // process it is transient for (a dialog's own class may name the dialog:
  // Tk's file dialog is a "TkFDialog").
  std::optional<std::string> applicationId(WindowId window) override;
  std::optional<std::string> windowTitle(WindowId window) override;
  // Viewable client windows, the topmost first.
  std::vector<ClientWindow> clientsTopFirst() override;
  // Override-redirect windows, whose process is told by the window or the server.
  std::optional<bool> unmanagedWindowOfAt(std::int32_t pid, double x, double y) override;
  std::vector<PixelRect> unmanagedWindowsOf(std::int32_t pid) override;
  std::unique_ptr<GreyCapture> capture(const ax::Rect& region) override { return capture_.capture(region); }
  bool gone() override { return connection_.serverGone(); }

 private:
  Display* display();
  std::vector<WindowId> stackingBottomFirst(Display* display);
  std::optional<ClientWindow> describe(Display* display, WindowId window);
  std::optional<std::string> declaredApplicationId(Display* display, WindowId window);
  // The window of the same process that `window` is (through its owners) transient for; itself if none.
  WindowId applicationMainWindow(WindowId window);

  X11Connection connection_;
  X11Capture capture_;
};

}  // namespace morvel::linux_ax
