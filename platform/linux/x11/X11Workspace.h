#pragma once

// What the X server and the window manager know about the desktop: the active
// window, the stacking order, each window's process, application id, title and
// geometry. One connection, opened on first use and again after the server went
// away; no X error ever ends or disturbs the process.
//
// A request asks about the same windows many times (the front window, its
// process, the windows over a point), and most requests find the desktop as
// the one before left it. The active window and the stacking order are asked
// afresh by every request's first step; the rest (the clients' geometry,
// frames and processes, titles, application ids, the unmanaged windows) is
// kept from request to request for as long as the server has told of nothing
// that changes it. The connection takes the root window's structure events and
// each managed window's structure and property events; the server sends an
// event before it answers a question asked after the change, so the events
// taken once the first step has answered tell whether the last request's reads
// still hold: none touching them, the same stacking order and root children,
// no question refused since. What no event would tell of (the properties of
// windows nobody watches) is kept for one request only.
//
// The questions of one step go to the server together and their answers are
// awaited after: one wait per step, not one per question. Two steps tell all
// a hit test needs: the active window, the stacking order and the root
// window's children; then every client's geometry, process and frame with the
// unmanaged windows among those children. A process is asked of an unmanaged
// window only when it lies over the point in question.

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
  // Ends the request's reads: the next request's first step keeps of them what
  // the server has told of no change to.
  void forgetReads() override;

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
    std::map<WindowId, std::optional<std::string>> applicationIds;
    // Refused questions and X errors of the process when these reads began.
    std::uint64_t failuresBefore = 0;
    // The connection they were read on.
    std::uint64_t connection = 0;
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
  std::optional<std::string> readApplicationId(WindowId window);

  // Takes over from the last request's reads what holds still, once this
  // request's first step has answered: what no event told of a change to, where
  // the stacking order and the root window's children are as they were and no
  // question failed since.
  void carryKeptReads();
  // Takes every event waiting; whether any may have changed what was read.
  bool takeEvents();

  X11Connection connection_;
  X11Capture capture_;
  std::optional<Atoms> atoms_;
  std::uint64_t atomsOfConnection_ = 0;
  // The connection on which the root window's events were asked for.
  std::uint64_t rootWatchedOn_ = 0;
  Reads reads_;
  // The last request's reads, until this one's first step tells what of them holds.
  Reads kept_;
};

}  // namespace morvel::linux_ax
