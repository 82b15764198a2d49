#pragma once

// The window system of a sway (wlroots) session: windows, focus and stacking
// from sway's IPC, capture through the screencopy protocol. Toolkits under
// Wayland know nothing of where their windows are, so their accessible
// extents are relative to their own surface.

#include "platform/linux/WindowSystem.h"
#include "platform/linux/wayland/ScreencopyCapture.h"
#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/wayland/SwayTree.h"

#include <string>
#include <vector>

namespace morvel::linux_ax {

class SwayWindowSystem final : public WindowSystem {
 public:
  explicit SwayWindowSystem(std::string socketPath) : ipc_(std::move(socketPath)) {}

  std::optional<WindowId> activeWindow() override;
  std::optional<std::int32_t> windowPid(WindowId window) override;
  // The Wayland app_id; an Xwayland window's class.
  std::optional<std::string> applicationId(WindowId window) override;
  std::optional<std::string> windowTitle(WindowId window) override;
  // `client` is the window as its client draws it, `frame` adds sway's border.
  std::vector<ClientWindow> clientsTopFirst() override;
  std::unique_ptr<GreyCapture> capture(const ax::Rect& region) override;
  bool extentsAreWindowRelative() override { return true; }
  void forgetReads() override { windows_.reset(); }

  // Whether a sway answers on the socket.
  bool reachable();

 private:
  // sway's windows, asked once per request: a request asks about windows many
  // times, and each answer is the whole layout tree.
  const std::vector<SwayWindow>& windows();
  const SwayWindow* window(WindowId id);

  SwayIpc ipc_;
  ScreencopyCapture capture_;
  std::optional<std::vector<SwayWindow>> windows_;
};

}  // namespace morvel::linux_ax
