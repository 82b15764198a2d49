#include "platform/linux/wayland/SwayWindowSystem.h"

#include <algorithm>

namespace morvel::linux_ax {

const std::vector<SwayWindow>& SwayWindowSystem::windows() {
  if (!windows_) {
    auto tree = ipc_.request(SwayMessage::GetTree);
    windows_ = tree ? swayWindowsTopFirst(*tree) : std::vector<SwayWindow>{};
  }
  return *windows_;
}

const SwayWindow* SwayWindowSystem::window(WindowId id) {
  for (const SwayWindow& shown : windows()) {
    if (shown.id == id) return &shown;
  }
  return nullptr;
}

bool SwayWindowSystem::reachable() { return ipc_.request(SwayMessage::GetVersion).has_value(); }

std::optional<WindowId> SwayWindowSystem::activeWindow() {
  for (const SwayWindow& shown : windows()) {
    if (shown.focused) return shown.id;
  }
  return std::nullopt;
}

std::optional<std::int32_t> SwayWindowSystem::windowPid(WindowId id) {
  const SwayWindow* shown = window(id);
  return shown != nullptr ? shown->pid : std::nullopt;
}

std::optional<std::string> SwayWindowSystem::applicationId(WindowId id) {
  const SwayWindow* shown = window(id);
  return shown != nullptr ? shown->appId : std::nullopt;
}

std::optional<std::string> SwayWindowSystem::windowTitle(WindowId id) {
  const SwayWindow* shown = window(id);
  return shown != nullptr ? shown->title : std::nullopt;
}

std::vector<ClientWindow> SwayWindowSystem::clientsTopFirst() {
  std::vector<ClientWindow> clients;
  for (const SwayWindow& shown : windows()) {
    clients.push_back({shown.id, shown.pid, shown.content, shown.frame, !shown.xwayland});
  }
  return clients;
}

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
