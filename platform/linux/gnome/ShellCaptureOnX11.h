#pragma once

// GNOME's X11 session: windows, focus and places are X11's, pixels the
// shell's. Mutter composites the screen with OpenGL into its overlay window,
// and what it draws need not reach the root window's pixels (on a virtual X
// display it never does: every capture is black), so captures go through the
// helper's extension as in GNOME's Wayland session, and through X11 when the
// extension does not answer.

#include "platform/linux/gnome/GnomeWindowSystem.h"

#include <memory>

namespace morvel::linux_ax {

class ShellCaptureOnX11 final : public WindowSystem {
 public:
  ShellCaptureOnX11(std::unique_ptr<WindowSystem> x11, bool throughScreenCast)
      : x11_(std::move(x11)), shell_(throughScreenCast) {}

  std::optional<WindowId> activeWindow() override { return x11_->activeWindow(); }
  std::optional<std::int32_t> windowPid(WindowId window) override { return x11_->windowPid(window); }
  std::optional<std::string> applicationId(WindowId window) override { return x11_->applicationId(window); }
  std::optional<std::string> windowTitle(WindowId window) override { return x11_->windowTitle(window); }
  std::vector<ClientWindow> clientsTopFirst() override { return x11_->clientsTopFirst(); }
  std::optional<bool> unmanagedWindowOfAt(std::int32_t pid, double x, double y) override {
    return x11_->unmanagedWindowOfAt(pid, x, y);
  }
  std::vector<PixelRect> unmanagedWindowsOf(std::int32_t pid) override { return x11_->unmanagedWindowsOf(pid); }
  std::unique_ptr<GreyCapture> capture(const ax::Rect& region) override {
    auto pixels = shell_.capture(region);
    return pixels ? std::move(pixels) : x11_->capture(region);
  }
  bool extentsAreWindowRelative() override { return x11_->extentsAreWindowRelative(); }
  bool gone() override { return x11_->gone(); }
  void forgetReads() override {
    x11_->forgetReads();
    shell_.forgetReads();
  }

 private:
  std::unique_ptr<WindowSystem> x11_;
  GnomeWindowSystem shell_;
};

}  // namespace morvel::linux_ax
