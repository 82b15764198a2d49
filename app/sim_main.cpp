// morvel_ax_sim SCENE.json: the request loop and every command over a simulated
// desktop read from a scene file, plus the "sim-stats" command; with --mcp, the
// commands as tools of a Model Context Protocol server.

#include "app/CommandLine.h"
#include "app/McpServer.h"
#include "app/RequestLoop.h"
#include "platform/sim/SimDesktop.h"

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int unreadableSceneStatus = 2;

const morvel::ProgramInfo simProgram = {
    "morvel_ax_sim", "SCENE.json",
    "The same requests and commands over a simulated desktop held in memory, described by a scene\n"
    "file, so that clients can test their automation deterministically.",
    1,
    morvel::serverOptions,
    morvel::serverDetails};

}  // namespace

int main(int argc, char** argv) {
  auto parsed = morvel::parseCommandLine(argc, argv, simProgram);
  if (const int* exitStatus = std::get_if<int>(&parsed)) return *exitStatus;
  const auto& options = std::get<morvel::CommandLine>(parsed);
  const std::string& scenePath = options.operands.front();

  morvel::ax::SystemClock wallClock;
  std::unique_ptr<morvel::sim::SimDesktop> desktop;
  try {
    desktop = morvel::sim::SimDesktop::fromFile(scenePath, wallClock);
  } catch (const morvel::sim::SceneError& error) {
    std::fprintf(stderr, "morvel_ax_sim: %s: %s\n", scenePath.c_str(), error.what());
    return unreadableSceneStatus;
  }
  morvel::Platform platform{*desktop, *desktop, desktop->clock()};
  if (options.mcp) {
    return morvel::runMcpServer(STDIN_FILENO, STDOUT_FILENO, platform, simProgram.name, options.maxLineBytes);
  }
  const morvel::ExtraCommands simCommands = {
      {"sim-stats",
       [&desktop] {
         morvel::Json reply = desktop->takeStats();
         reply["ok"] = true;
         return reply;
       }},
  };
  return morvel::runRequestLoop(STDIN_FILENO, STDOUT_FILENO, platform, simCommands, options.maxLineBytes);
}
