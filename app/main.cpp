// morvel_ax_helper: the request loop and every command over the desktop this
// machine runs (AT-SPI2 with X11 or sway on Linux). Replies on stdout; with
// --mcp, the commands as tools of a Model Context Protocol server.

#include "app/CommandLine.h"
#include "app/LinuxDesktop.h"
#include "app/McpServer.h"
#include "app/RequestLoop.h"

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

  morvel::LinuxDesktop desktop;
  morvel::Platform& platform = desktop.platform();
  if (options.mcp) {
    return morvel::runMcpServer(STDIN_FILENO, STDOUT_FILENO, platform, helperProgram.name, options.maxLineBytes);
  }
  return morvel::runRequestLoop(STDIN_FILENO, STDOUT_FILENO, platform, {}, options.maxLineBytes);
}
