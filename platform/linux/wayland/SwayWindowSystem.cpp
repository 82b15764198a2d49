#include "platform/linux/wayland/SwayWindowSystem.h"

#include <algorithm>

namespace morvel::linux_ax {

std::vector<ListedWindow> SwayWindowSystem::listWindows() {
  auto tree = ipc_.request(SwayMessage::GetTree);
  return tree ? swayWindowsTopFirst(*tree) : std::vector<ListedWindow>{};
}

bool SwayWindowSystem::reachable() { return ipc_.request(SwayMessage::GetVersion).has_value(); }

std::unique_ptr<GreyCapture> SwayWindowSystem::capture(const ax::Rect& region) {
  auto wanted = pixelRectOf(region);
  if (!wanted) return nullptr;
  auto reply = ipc_.request(SwayMessage::GetOutputs);
  if (!reply) return nullptr;
  const std::vector<OutputPlacement> outputs = swayOutputs(*reply);
  if (outputs.empty()) return nullptr;
  // The layout's extent: the capture is clipped to it as to a screen.
  int right = 0;
  int bottom = 0;
  for (const OutputPlacement& output : outputs) {
    right = std::max(right, output.logical.x + output.logical.width);
    bottom = std::max(bottom, output.logical.y + output.logical.height);
  }
  auto visible = clipToScreen(*wanted, right, bottom);
  if (!visible) return nullptr;
  auto pixels = capture_.grab(*visible, outputs);
  if (!pixels) return nullptr;
  return std::make_unique<GreyCapture>(wanted->width, wanted->height, visible->x - wanted->x, visible->y - wanted->y,
                                       std::move(*pixels));
}

}  // namespace morvel::linux_ax
