#include "platform/linux/atspi/DesktopClock.h"

namespace morvel::linux_ax {

void DesktopClock::sleepFor(ax::Microseconds duration) {
  system_.sleepFor(duration);
  accessibility_.desktopMayHaveChanged();
}

}  // namespace morvel::linux_ax
