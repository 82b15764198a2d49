#include "platform/linux/atspi/Applications.h"

#include "platform/linux/atspi/LibraryCache.h"
#include "platform/linux/atspi/RoleMapping.h"

namespace morvel::linux_ax {
namespace {

// Bounds on what one lookup reads, whatever the desktop holds.
constexpr int mostApplications = 512;
constexpr int mostTopLevelWindows = 256;

// Toolkits report a top-level window either with the window manager's frame
// (GTK 3) or as its client area alone.
bool standsFor(const PixelRect& extents, const ClientWindow& client) {
  return extents == client.frame || extents == client.client;
}

bool isApplicationRoot(AtspiAccessible* accessible) {
  const AtspiApplication* application = accessible->parent.app;
  return application != nullptr && application->root == accessible;
}

bool rectContains(const PixelRect& rect, double x, double y) {
  return x >= rect.x && y >= rect.y && x < static_cast<double>(rect.x) + rect.width &&
         y < static_cast<double>(rect.y) + rect.height;
}

}  // namespace

AccessibleRef Applications::desktop() { return AccessibleRef::adopt(atspi_get_desktop(0)); }

const std::vector<AccessibleRef>& Applications::all() {
  if (!applications_) {
    AccessibleRef root = desktop();
    std::optional<std::vector<AccessibleRef>> children;
    if (root) children = reader_.children(root.get(), mostApplications);
    applications_ = children.value_or(std::vector<AccessibleRef>{});
    // An application whose root libatspi met before the desktop's would otherwise
    // keep libatspi's default, which caches child lists and parents too.
    for (const AccessibleRef& application : *applications_) {
      if (isApplicationRoot(application.get())) atspi_accessible_set_cache_mask(application.get(), libraryCacheMask);
    }
  }
  return *applications_;
}

AccessibleRef Applications::firstWithPid(const std::vector<AccessibleRef>& applications, std::int32_t pid) {
  for (const AccessibleRef& application : applications) {
    // An application that has left the bus has no process any more.
    if (CallGuard::applicationOf(application.get()) == nullptr) continue;
    if (reader_.processId(application.get()) == pid) return application;
  }
  return {};
}

AccessibleRef Applications::byPid(std::int32_t pid) {
  // The registry keeps its applications in order and a process keeps its bus
  // name, so an application found in an earlier list is the one a fresh list
  // would give; the list is read again only when no remembered one matches.
  if (AccessibleRef known = firstWithPid(remembered_, pid)) return known;
  if (applications_) return firstWithPid(*applications_, pid);
  remembered_ = all();
  return firstWithPid(remembered_, pid);
}

bool Applications::isWindow(AtspiAccessible* accessible) {
  auto role = reader_.role(accessible);
  return role && isWindowRole(*role);
}

std::vector<AccessibleRef> Applications::windowsOf(AtspiAccessible* application) {
  std::vector<AccessibleRef> windows;
  auto children = reader_.children(application, mostTopLevelWindows);
  if (!children) return windows;
  for (AccessibleRef& child : *children) {
    if (!isWindow(child.get())) continue;
    auto states = reader_.states(child.get());
    if (states && hasState(*states, ATSPI_STATE_VISIBLE)) windows.push_back(std::move(child));
  }
  return windows;
}

AccessibleRef Applications::activeWindowOf(AtspiAccessible* application) {
  // The state first: of all top-level windows, at most one is active.
  auto children = reader_.children(application, mostTopLevelWindows);
  if (!children) return {};
  for (AccessibleRef& child : *children) {
    auto states = reader_.states(child.get());
    if (states && hasState(*states, ATSPI_STATE_ACTIVE) && isWindow(child.get())) return child;
  }
  return {};
}

AccessibleRef Applications::windowForClient(const ClientWindow& client, double x, double y) {
  if (!client.pid) return {};
  AccessibleRef application = byPid(*client.pid);
  if (!application) return {};
  auto children = reader_.children(application.get(), mostTopLevelWindows);
  if (!children) return {};
  // The X server has said the window is viewable: its extents alone identify it.
  for (AccessibleRef& child : *children) {
    auto extents = reader_.screenExtents(child.get());
    if (extents && standsFor(*extents, client)) return child;
  }
  for (AccessibleRef& window : windowsOf(application.get())) {
    auto states = reader_.states(window.get());
    auto extents = reader_.screenExtents(window.get());
    if (states && hasState(*states, ATSPI_STATE_SHOWING) && extents && rectContains(*extents, x, y)) return window;
  }
  return {};
}

std::optional<FrontApplication> Applications::frontmost() {
  std::optional<FrontApplication> fromX;
  if (auto active = workspace_.activeWindow()) {
    if (auto pid = workspace_.windowPid(*active)) fromX = FrontApplication{*pid, byPid(*pid), active};
  }
  if (fromX && fromX->application && activeWindowOf(fromX->application.get())) return fromX;

  // The window manager's answer is missing or not confirmed by the toolkit: the
  // application whose window holds the active state, if one does.
  for (const AccessibleRef& application : all()) {
    if (fromX && fromX->application.get() == application.get()) continue;
    if (!activeWindowOf(application.get())) continue;
    if (auto pid = reader_.processId(application.get())) return FrontApplication{*pid, application, std::nullopt};
  }
  // An application that does not answer cannot confirm; the window manager's
  // word stands, so that its reads fail rather than another application's succeed.
  return fromX;
}

std::optional<std::string> Applications::bundleIdOf(const FrontApplication& front) {
  if (front.activeWindow) return workspace_.applicationId(*front.activeWindow);
  for (const ClientWindow& client : workspace_.clientsTopFirst()) {
    if (client.pid == front.pid) return workspace_.applicationId(client.id);
  }
  return std::nullopt;
}

std::optional<std::string> Applications::xTitleOf(AtspiAccessible* window) {
  auto extents = reader_.screenExtents(window);
  auto application = reader_.parent(window);
  if (!application) return std::nullopt;
  auto pid = reader_.processId(application.get());
  if (!pid) return std::nullopt;
  std::optional<WindowId> onlyClient;
  int clientsOfPid = 0;
  for (const ClientWindow& client : workspace_.clientsTopFirst()) {
    if (client.pid != pid) continue;
    if (extents && standsFor(*extents, client)) return workspace_.windowTitle(client.id);
    ++clientsOfPid;
    onlyClient = client.id;
  }
  if (clientsOfPid == 1) return workspace_.windowTitle(*onlyClient);
  return std::nullopt;
}

}  // namespace morvel::linux_ax
