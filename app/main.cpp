// morvel_ax_helper: the request loop and every command over the desktop this
// machine runs (AT-SPI2 and X11 on Linux). No arguments; replies on stdout.

#include "accessibility/Clock.h"
#include "app/RequestLoop.h"
#include "platform/linux/atspi/LinuxAccessibility.h"
#include "platform/linux/x11/X11Workspace.h"
#include "platform/linux/LinuxScreen.h"

#include <unistd.h>

int main() {
  morvel::linux_ax::X11Workspace windows;
  morvel::linux_ax::LinuxAccessibility accessibility(windows);
  morvel::linux_ax::LinuxScreen screen(windows);
  morvel::ax::SystemClock clock;
  morvel::Platform platform{accessibility, screen, clock};
  return morvel::runRequestLoop(STDIN_FILENO, STDOUT_FILENO, platform);
}
