// morvel_ax_helper: the request loop and every command over the desktop this
// machine runs (AT-SPI2 with X11 or sway on Linux). No arguments; replies on stdout.

#include "accessibility/Clock.h"
#include "app/RequestLoop.h"
#include "platform/linux/atspi/LinuxAccessibility.h"
#include "platform/linux/LinuxScreen.h"
#include "platform/linux/SessionWindowSystem.h"

#include <unistd.h>

int main() {
  auto windows = morvel::linux_ax::openSessionWindowSystem(morvel::linux_ax::SessionEnvironment::fromProcess());
  morvel::linux_ax::LinuxAccessibility accessibility(*windows);
  morvel::linux_ax::LinuxScreen screen(*windows);
  morvel::ax::SystemClock clock;
  morvel::Platform platform{accessibility, screen, clock};
  return morvel::runRequestLoop(STDIN_FILENO, STDOUT_FILENO, platform);
}
