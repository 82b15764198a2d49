#pragma once

// The applications on the accessibility bus and their top-level windows, and
// which of them is in front: the owner of the window manager's active window,
// checked against the windows' own active state.

#include "platform/linux/atspi/AtspiReader.h"
#include "platform/linux/WindowSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_ax {

struct FrontApplication {
  std::int32_t pid = 0;
  AccessibleRef application;  // empty when the process has no accessible application
  std::optional<WindowId> activeWindow;
};

class Applications {
 public:
  Applications(AtspiReader& reader, WindowSystem& workspace) : reader_(reader), workspace_(workspace) {}

  AccessibleRef desktop();
  // The applications registered on the bus, read once per request.
  const std::vector<AccessibleRef>& all();
  AccessibleRef byPid(std::int32_t pid);

  // Top-level windows that are visible, in the application's order.
  std::vector<AccessibleRef> windowsOf(AtspiAccessible* application);
  AccessibleRef activeWindowOf(AtspiAccessible* application);
  // The accessible window that stands for an X client window.
  AccessibleRef windowForClient(const ClientWindow& client, double x, double y);

  std::optional<FrontApplication> frontmost();
  std::optional<std::string> bundleIdOf(const FrontApplication& front);
  // The window system's title of the client window an accessible window stands for.
  std::optional<std::string> xTitleOf(AtspiAccessible* window);

  void endRequest() { applications_.reset(); }
  // The connection these applications came through has broken.
  void forgetConnection() {
    applications_.reset();
    remembered_.clear();
  }

 private:
  bool isWindow(AtspiAccessible* accessible);
  AccessibleRef firstWithPid(const std::vector<AccessibleRef>& applications, std::int32_t pid);

  AtspiReader& reader_;
  WindowSystem& workspace_;
  std::optional<std::vector<AccessibleRef>> applications_;
  // The list as an earlier request read it: asked first when looking up a process.
  std::vector<AccessibleRef> remembered_;
};

}  // namespace morvel::linux_ax
