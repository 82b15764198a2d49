#pragma once

// The window system of a sway (wlroots) session: windows, focus and stacking
// from sway's IPC, capture through the screencopy protocol. Toolkits under
// Wayland know nothing of where their windows are, so their accessible
// extents are relative to their own surface.

#include "platform/linux/ListedWindows.h"
#include "platform/linux/wayland/ScreencopyCapture.h"
#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/wayland/SwayTree.h"

#include <string>
#include <vector>

namespace morvel::linux_ax {

class SwayWindowSystem final : public ListedWindowSystem {
 public:
  explicit SwayWindowSystem(std::string socketPath) : ipc_(std::move(socketPath)) {}

  std::unique_ptr<GreyCapture> capture(const ax::Rect& region) override;

  // Whether a sway answers on the socket.
  bool reachable();

 private:
  std::vector<ListedWindow> listWindows() override;

  SwayIpc ipc_;
  ScreencopyCapture capture_;
};

}  // namespace morvel::linux_ax
