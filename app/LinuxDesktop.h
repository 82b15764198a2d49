#pragma once

#include "accessibility/Clock.h"
#include "commands/Platform.h"
#include "platform/linux/LinuxScreen.h"
#include "platform/linux/SessionWindowSystem.h"
#include "platform/linux/atspi/LinuxAccessibility.h"

#include <memory>

namespace morvel {

// The desktop of this session as the commands see it: the window system the
// session runs, its accessibility tree, its screen and the system clock.
class LinuxDesktop {
 public:
  LinuxDesktop()
      : windows_(linux_ax::openSessionWindowSystem(linux_ax::SessionEnvironment::fromProcess())),
        accessibility_(*windows_),
        screen_(*windows_) {}

  Platform& platform() { return platform_; }

 private:
  std::unique_ptr<linux_ax::WindowSystem> windows_;
  linux_ax::LinuxAccessibility accessibility_;
  linux_ax::LinuxScreen screen_;
  ax::SystemClock clock_;
  Platform platform_{accessibility_, screen_, clock_};
};

}  // namespace morvel
