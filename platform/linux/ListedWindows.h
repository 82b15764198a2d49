#pragma once

// The window system of a Wayland compositor that lists its windows on request
// (sway's IPC, GNOME Shell through the helper's extension): every question
// about windows is answered from one list, asked once per request, since a
// request asks about windows many times and each answer is the whole list.
// Wayland toolkits measure accessible extents from their own surface.

#include "platform/linux/WindowSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_ax {

struct ListedWindow {
  WindowId id = 0;
  std::optional<std::int32_t> pid;
  std::optional<std::string> appId;  // the Wayland app_id; an Xwayland window's class
  std::optional<std::string> title;
  PixelRect frame;    // with the decorations the compositor draws
  PixelRect content;  // the client's visible window (without a client-drawn shadow)
  // The client's whole surface, a shadow it draws included, when the compositor says.
  std::optional<PixelRect> surface;
  bool focused = false;
  bool xwayland = false;  // an X client, placed in global X coordinates
};

class ListedWindowSystem : public WindowSystem {
 public:
  std::optional<WindowId> activeWindow() final;
  std::optional<std::int32_t> windowPid(WindowId window) final;
  std::optional<std::string> applicationId(WindowId window) final;
  std::optional<std::string> windowTitle(WindowId window) final;
  // `client` is the window as its client draws it, `frame` adds the compositor's decorations.
  std::vector<ClientWindow> clientsTopFirst() final;
  bool extentsAreWindowRelative() final { return true; }
  void forgetReads() override { windows_.reset(); }

 protected:
  const std::vector<ListedWindow>& windows();

 private:
  // The windows shown, the topmost first; none when the compositor does not answer.
  virtual std::vector<ListedWindow> listWindows() = 0;
  const ListedWindow* window(WindowId id);

  std::optional<std::vector<ListedWindow>> windows_;
};

}  // namespace morvel::linux_ax
