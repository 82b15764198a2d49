// morvel_ax_helper: the request loop and every command over the desktop this
// machine runs (AT-SPI2 with X11 or sway on Linux). Replies on stdout; with
// --mcp, the commands as tools of a Model Context Protocol server.

#include "accessibility/Clock.h"
#include "app/CommandLine.h"
#include "app/McpServer.h"
#include "app/RequestLoop.h"
#include "platform/linux/atspi/LinuxAccessibility.h"
#include "platform/linux/LinuxScreen.h"
#include "platform/linux/SessionWindowSystem.h"

#include <unistd.h>

namespace {

const morvel::ProgramInfo helperProgram = {
    "morvel_ax_helper", "",
    "Looks into the user interface of the frontmost application of this desktop: its accessibility\n"
    "tree, the text on its screen, and digests that tell whether a window changed.",
    0,
    morvel::serverOptions,
    morvel::serverDetails};

}  // namespace

int main(int argc, char** argv) {
  auto parsed = morvel::parseCommandLine(argc, argv, helperProgram);
  if (const int* exitStatus = std::get_if<int>(&parsed)) return *exitStatus;
  const auto& options = std::get<morvel::CommandLine>(parsed);

  auto windows = morvel::linux_ax::openSessionWindowSystem(morvel::linux_ax::SessionEnvironment::fromProcess());
  morvel::linux_ax::LinuxAccessibility accessibility(*windows);
  morvel::linux_ax::LinuxScreen screen(*windows);
  morvel::ax::SystemClock clock;
  morvel::Platform platform{accessibility, screen, clock};
  if (options.mcp) {
    return morvel::runMcpServer(STDIN_FILENO, STDOUT_FILENO, platform, helperProgram.name, options.maxLineBytes);
  }
  return morvel::runRequestLoop(STDIN_FILENO, STDOUT_FILENO, platform, {}, options.maxLineBytes);
}
