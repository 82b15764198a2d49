#pragma once

// What the X server and the window manager know about the desktop: the active
// window, the stacking order, each window's process, application id, title and
// geometry. One connection, opened on first use and again after the server went
// away; no X error ever ends or disturbs the process.
//
// A request asks about the same windows many times (the front window, its
// process, the windows over a point): each answer is kept until forgetReads,
// at the end of the request, never longer, for the desktop changes between
// requests. The questions of one step go to the server together and their
// answers are awaited after: one wait per step, not one per question. Two
// steps tell all a hit test needs: the active window, the stacking order and
// the root window's children; then every client's geometry, process and
// frame with the unmanaged windows among those children. A process is asked
// of an unmanaged window only when it lies over the point in question.

#include "platform/linux/WindowSystem.h"
#include "platform/linux/x11/UnmanagedWindows.h"
#include "platform/linux/x11/X11Capture.h"
#include "platform/linux/x11/X11Connection.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

typedef struct xcb_connection_t xcb_connection_t;

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
  void forgetReads() override { reads_ = {}; }

  // The server's atoms for the names asked about, interned once per connection.
  struct Atoms {
    std::uint32_t activeWindow = 0;
    std::uint32_t clientListStacking = 0;
    std::uint32_t wmPid = 0;
    std::uint32_t frameExtents = 0;
    std::uint32_t wmName = 0;
    std::uint32_t utf8String = 0;
    std::uint32_t gtkApplicationId = 0;
  };

 private:
  // What was read in this request.
  struct Reads {
    std::optional<std::optional<WindowId>> active;
    std::optional<std::vector<WindowId>> stacking;
    std::optional<std::vector<WindowId>> rootChildren;
    std::optional<std::vector<ClientWindow>> clients;
    std::optional<std::vector<UnmanagedWindow>> unmanaged;
    std::map<WindowId, std::optional<std::int32_t>> pids;
    std::map<WindowId, std::optional<std::string>> titles;
  };

  Display* display();
  xcb_connection_t* xcb();
  const Atoms& atoms(xcb_connection_t* connection);
  // The managed windows, the bottom first, read with the active window and
  // the root window's children.
  const std::vector<WindowId>& stackingBottomFirst();
  // The root window's children, the bottom first.
  const std::vector<WindowId>& rootChildrenBottomFirst();
  // Asks the processes of those of `windows` not asked yet, all at once.
  void readPids(const std::vector<WindowId>& windows);
  const std::vector<UnmanagedWindow>& unmanagedWindows();
  // The window of the same process that `window` is (through its owners) transient for; itself if none.
  WindowId applicationMainWindow(WindowId window);

  X11Connection connection_;
  X11Capture capture_;
  std::optional<Atoms> atoms_;
  std::uint64_t atomsOfConnection_ = 0;
  Reads reads_;
};

}  // namespace morvel::linux_ax
