// morvel_ax_sim SCENE.json: the request loop and every command over a simulated
// desktop read from a scene file, plus the "sim-stats" command.

#include "app/RequestLoop.h"
#include "platform/sim/SimDesktop.h"

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int unreadableSceneStatus = 2;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: morvel_ax_sim SCENE.json\n");
    return unreadableSceneStatus;
  }
  morvel::ax::SystemClock wallClock;
  std::unique_ptr<morvel::sim::SimDesktop> desktop;
  try {
    desktop = morvel::sim::SimDesktop::fromFile(argv[1], wallClock);
  } catch (const morvel::sim::SceneError& error) {
    std::fprintf(stderr, "morvel_ax_sim: %s: %s\n", argv[1], error.what());
    return unreadableSceneStatus;
  }
  morvel::Platform platform{*desktop, *desktop, desktop->clock()};
  const morvel::ExtraCommands simCommands = {
      {"sim-stats",
       [&desktop] {
         morvel::Json reply = desktop->takeStats();
         reply["ok"] = true;
         return reply;
       }},
  };
  return morvel::runRequestLoop(STDIN_FILENO, STDOUT_FILENO, platform, simCommands);
}
