#pragma once

// The helper's clock on Linux. A command pauses only to let the desktop change
// ("find" between its tries), so after every pause the backend reads afresh
// instead of serving what it read before.

#include "accessibility/Accessibility.h"
#include "platform/linux/atspi/LinuxAccessibility.h"

namespace morvel::linux_ax {

class DesktopClock final : public ax::Clock {
 public:
  explicit DesktopClock(LinuxAccessibility& accessibility) : accessibility_(accessibility) {}

  ax::Microseconds now() override { return system_.now(); }
  void sleepFor(ax::Microseconds duration) override;

 private:
  ax::SystemClock system_;
  LinuxAccessibility& accessibility_;
};

}  // namespace morvel::linux_ax
