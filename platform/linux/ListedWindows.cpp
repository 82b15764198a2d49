#include "platform/linux/ListedWindows.h"

namespace morvel::linux_ax {

const std::vector<ListedWindow>& ListedWindowSystem::windows() {
  if (!windows_) windows_ = listWindows();
  return *windows_;
}

const ListedWindow* ListedWindowSystem::window(WindowId id) {
  for (const ListedWindow& shown : windows()) {
    if (shown.id == id) return &shown;
  }
  return nullptr;
}

std::optional<WindowId> ListedWindowSystem::activeWindow() {
  for (const ListedWindow& shown : windows()) {
    if (shown.focused) return shown.id;
  }
  return std::nullopt;
}

std::optional<std::int32_t> ListedWindowSystem::windowPid(WindowId id) {
  const ListedWindow* shown = window(id);
  return shown != nullptr ? shown->pid : std::nullopt;
}

std::optional<std::string> ListedWindowSystem::applicationId(WindowId id) {
  const ListedWindow* shown = window(id);
  return shown != nullptr ? shown->appId : std::nullopt;
}

std::optional<std::string> ListedWindowSystem::windowTitle(WindowId id) {
  const ListedWindow* shown = window(id);
  return shown != nullptr ? shown->title : std::nullopt;
}

std::vector<ClientWindow> ListedWindowSystem::clientsTopFirst() {
  std::vector<ClientWindow> clients;
  for (const ListedWindow& shown : windows()) {
    clients.push_back({shown.id, shown.pid, shown.content, shown.frame, !shown.xwayland, shown.surface});
  }
  return clients;
}

}  // namespace morvel::linux_ax
