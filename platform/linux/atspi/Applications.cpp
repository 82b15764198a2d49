#include "platform/linux/atspi/Applications.h"

#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/LibraryCache.h"
#include "platform/linux/atspi/Showing.h"
#include "platform/linux/atspi/TreeShape.h"

#include <algorithm>
#include <cmath>

namespace morvel::linux_ax {
namespace {

// Bounds on what one lookup reads, whatever the desktop holds.
constexpr int mostApplications = 512;
constexpr int mostTopLevelWindows = 256;
// Where a window's menu bar and its menus are looked for: a window's own children
// and a bar's items.
constexpr int mostWindowParts = 64;
constexpr int mostMenuBarItems = 64;
constexpr int mostMenuItems = 128;
// Menus opened from menus: no one nests them deeper.
constexpr int deepestSubmenu = 8;
// Layout boxes between a window and its menu bar (GTK 3 applications often put
// the bar two or three boxes down, LibreOffice five), and how many boxes are
// looked into at all.
constexpr int deepestMenuBar = 6;
constexpr int mostMenuBarHolders = 16;
// How far up from an element its popover is looked for, and how many shown
// elements of a window are looked through for the popover of an open popup.
constexpr int deepestInPopover = 64;
constexpr int mostElementsAbovePopover = 4096;
constexpr int mostPopoverSiblings = 256;

// Toolkits report a top-level window either with the window manager's frame
// (GTK 3) or as its client area alone.
bool standsFor(const PixelRect& extents, const ClientWindow& client) {
  return extents == client.frame || extents == client.client;
}

// How a toolkit's `window` that is not in screen pixels maps onto `client`:
// scaled (measured with the window manager's frame or without), or measured
// from the window itself (GTK 4), which is then reported at 0,0 and as large
// as the client window or smaller by the border and shadow the toolkit draws
// around it.
std::optional<ExtentsMapping> mappingOnto(const PixelRect& window, const ClientWindow& client) {
  for (const PixelRect& onScreen : {client.client, client.frame}) {
    if (auto scale = consistentScale(window, onScreen)) return scaledOnto(window, onScreen, *scale);
  }
  constexpr int widestDrawnBorder = 64;
  const int wider = client.client.width - window.width;
  const int taller = client.client.height - window.height;
  const bool inset = window.x == 0 && window.y == 0 && window.width > 0 && window.height > 0 && wider >= 0 &&
                     taller >= 0 && wider <= 2 * widestDrawnBorder && taller <= 2 * widestDrawnBorder;
  if (!inset) return std::nullopt;
  return placedOnto(window, {}, client.client);
}

bool isApplicationRoot(AtspiAccessible* accessible) {
  const AtspiApplication* application = accessible->parent.app;
  return application != nullptr && application->root == accessible;
}

bool isMenuPart(std::optional<AtspiRole> role) {
  switch (role.value_or(ATSPI_ROLE_INVALID)) {
    case ATSPI_ROLE_MENU:
    case ATSPI_ROLE_POPUP_MENU:
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
    case ATSPI_ROLE_TEAROFF_MENU_ITEM:
      return true;
    default:
      return false;
  }
}

// Roles of the boxes that only lay out or scroll what they hold.
bool isLayoutBox(std::optional<AtspiRole> role) {
  switch (role.value_or(ATSPI_ROLE_INVALID)) {
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_ROOT_PANE:
    case ATSPI_ROLE_SCROLL_PANE:
    case ATSPI_ROLE_VIEWPORT:
      return true;
    default:
      return false;
  }
}

// Roles GTK 4 gives its popovers: a menu, a dialog, a plain popover (4.8: a filler).
bool isPopoverRole(std::optional<AtspiRole> role) {
  switch (role.value_or(ATSPI_ROLE_INVALID)) {
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_MENU:
    case ATSPI_ROLE_POPUP_MENU:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_TOOL_TIP:
      return true;
    default:
      return false;
  }
}

// A shown popover matching one of the popup windows is measured from that
// window: GTK 4 reports the popover where it is anchored and its contents from
// there, but places the popover's own window elsewhere. `inWindow` maps the
// main window's extents, where the popover is anchored.
std::optional<ExtentsMapping> popoverPlacement(AtspiReader& reader, AtspiAccessible* element,
                                               const std::vector<PixelRect>& popups,
                                               const std::optional<ExtentsMapping>& inWindow) {
  if (!isPopoverRole(reader.role(element))) return std::nullopt;
  auto states = reader.states(element);
  if (!states || !hasState(*states, ATSPI_STATE_VISIBLE)) return std::nullopt;
  auto extents = reader.toolkitExtents(element);
  if (!extents) return std::nullopt;
  const PixelRect anchored = inWindow ? inWindow->toScreen(*extents) : *extents;
  // A window of the popover's very size is it, before one that is larger by an arrow.
  std::optional<ExtentsMapping> found;
  for (const PixelRect& popup : popups) {
    auto mapping = popoverOnto(*extents, popup, anchored);
    if (mapping && mapping->screenWindow == popup) return mapping;
    if (!found) found = mapping;
  }
  return found;
}

// Whether the menu `item` opens may be open: the item is SELECTED or EXPANDED
// while it is (GTK 3, LibreOffice). Qt marks neither, but gives the items of its
// bar the role of a plain item, where the others give the role of a menu. A
// closed menu's items are not showing: looking into them costs round trips.
bool mayHaveMenuOpen(AtspiReader& reader, AtspiAccessible* item) {
  if (reader.role(item) != ATSPI_ROLE_MENU) return true;
  auto states = reader.states(item);
  return states && (hasState(*states, ATSPI_STATE_SELECTED) || hasState(*states, ATSPI_STATE_EXPANDED));
}

bool isManagedWindowRole(AtspiRole role) {
  return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_DIALOG || role == ATSPI_ROLE_ALERT ||
         role == ATSPI_ROLE_FILE_CHOOSER || role == ATSPI_ROLE_COLOR_CHOOSER || role == ATSPI_ROLE_FONT_CHOOSER;
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

const std::vector<ClientWindow>& Applications::clients() {
  if (!clients_) clients_ = workspace_.clientsTopFirst();
  return *clients_;
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

bool Applications::mayBeOnBus(std::int32_t pid) {
  if (byPid(pid)) return true;
  return std::any_of(all().begin(), all().end(), [&](const AccessibleRef& application) {
    return CallGuard::applicationOf(application.get()) != nullptr && !reader_.processId(application.get());
  });
}

std::vector<AccessibleRef> Applications::visibleTopLevels(AtspiAccessible* application) {
  std::vector<AccessibleRef> windows;
  auto children = reader_.children(application, mostTopLevelWindows);
  if (!children) return windows;
  for (AccessibleRef& child : *children) {
    auto states = reader_.states(child.get());
    if (states && hasState(*states, ATSPI_STATE_VISIBLE)) windows.push_back(std::move(child));
  }
  return windows;
}

const ClientWindow* Applications::clientFor(AtspiAccessible* window, std::optional<std::int32_t> pid) {
  if (!pid) return nullptr;
  auto extents = reader_.screenExtents(window);
  if (!extents) return nullptr;
  const auto& known = clients();
  auto match = std::find_if(known.begin(), known.end(),
                            [&](const ClientWindow& client) { return client.pid == pid && standsFor(*extents, client); });
  return match == known.end() ? nullptr : &*match;
}

std::vector<AccessibleRef> Applications::windowsOf(AtspiAccessible* application) {
  std::vector<AccessibleRef> windows = visibleTopLevels(application);
  if (windows.size() < 2 || clients().empty()) return windows;
  const auto pid = reader_.processId(application);
  std::vector<std::pair<std::size_t, AccessibleRef>> ranked;
  ranked.reserve(windows.size());
  for (AccessibleRef& window : windows) {
    const ClientWindow* client = clientFor(window.get(), pid);
    const auto rank = client == nullptr ? clients().size() : static_cast<std::size_t>(client - clients().data());
    ranked.emplace_back(rank, std::move(window));
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  windows.clear();
  for (auto& [rank, window] : ranked) windows.push_back(std::move(window));
  return windows;
}

AccessibleRef Applications::activeByState(AtspiAccessible* application) {
  // Of all top-level windows, at most one is active.
  auto children = reader_.children(application, mostTopLevelWindows);
  if (!children) return {};
  for (AccessibleRef& child : *children) {
    auto states = reader_.states(child.get());
    if (states && hasState(*states, ATSPI_STATE_ACTIVE)) return child;
  }
  return {};
}

AccessibleRef Applications::activeWindowOf(AtspiAccessible* application) {
  const auto pid = reader_.processId(application);
  const auto active = workspace_.activeWindow();
  if (pid && active && workspace_.windowPid(*active) == pid) {
    for (AccessibleRef& window : visibleTopLevels(application)) {
      const ClientWindow* client = clientFor(window.get(), pid);
      if (client != nullptr && client->id == *active) return window;
    }
  }
  // The toolkit's word, for an application not in front or windows whose
  // extents do not tell (extents relative to the window itself).
  return activeByState(application);
}

AccessibleRef Applications::windowForClient(const ClientWindow& client, double x, double y) {
  if (!client.pid) return {};
  AccessibleRef application = byPid(*client.pid);
  if (!application) return {};
  if (AccessibleRef window = rememberedWindowFor(client, application.get(), x, y)) return window;
  auto children = reader_.children(application.get(), mostTopLevelWindows);
  if (!children) return {};
  // An application with one shown top-level and one window on the screen: the
  // one stands for the other, no extents needed.
  const auto& known = clients();
  const bool onlyClient = std::none_of(known.begin(), known.end(), [&](const ClientWindow& other) {
    return other.pid == client.pid && other.id != client.id;
  });
  if (onlyClient && children->size() == 1 && isShown(reader_, children->front().get())) {
    rememberWindowFor(client, children->front());
    return children->front();
  }
  // The X server has said the window is viewable: its extents alone identify it.
  for (AccessibleRef& child : *children) {
    auto extents = reader_.screenExtents(child.get());
    if (extents && standsFor(*extents, client)) {
      rememberWindowFor(client, child);
      return child;
    }
  }
  for (AccessibleRef& window : visibleTopLevels(application.get())) {
    auto states = reader_.states(window.get());
    auto extents = reader_.screenExtents(window.get());
    if (states && hasState(*states, ATSPI_STATE_SHOWING) && extents && extents->contains(x, y)) return window;
  }
  return {};
}

AccessibleRef Applications::rememberedWindowFor(const ClientWindow& client, AtspiAccessible* application, double x,
                                                double y) {
  auto known = windowsOfClients_.find(client.id);
  if (known == windowsOfClients_.end()) return {};
  AccessibleRef window = known->second;
  const std::string* windowBus = CallGuard::applicationOf(window.get());
  const std::string* applicationBus = CallGuard::applicationOf(application);
  if (windowBus != nullptr && applicationBus != nullptr && *windowBus == *applicationBus) {
    constexpr ReadParts confirming = StatesPart | ExtentsPart;
    // A toolkit that keeps its popovers among the window's children is not
    // asked the window's own hit test.
    if (reader_.toolkitOf(window.get()).popoversAmongWindowChildren) {
      reader_.prefetch({window}, confirming);
    } else {
      reader_.prefetchWithHit(window.get(), confirming, static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
    }
    auto extents = reader_.screenExtents(window.get());
    if (extents && standsFor(*extents, client) && isShown(reader_, window.get())) return window;
  }
  windowsOfClients_.erase(known);
  return {};
}

void Applications::rememberWindowFor(const ClientWindow& client, const AccessibleRef& window) {
  // Only where the window's frame can confirm it: extents in screen coordinates.
  const std::string* busName = CallGuard::applicationOf(window.get());
  if (busName == nullptr || !inScreenCoordinates_.contains(*busName)) return;
  // A long session opens many windows: what is forgotten is found again.
  constexpr std::size_t mostWindowsRemembered = 64;
  if (windowsOfClients_.size() >= mostWindowsRemembered) windowsOfClients_.clear();
  windowsOfClients_.insert_or_assign(client.id, window);
}

AccessibleRef Applications::popupAt(const FrontApplication& front, double x, double y) {
  // The window system tells without a word to the application when nothing of
  // its own lies over the point, which is nearly always.
  if (workspace_.unmanagedWindowOfAt(front.pid, x, y) == false) return {};
  AtspiAccessible* application = front.application.get();
  const std::int32_t pid = front.pid;
  for (AccessibleRef& window : visibleTopLevels(application)) {
    // Dialogs and main windows are the window manager's; only the rest may be popups.
    if (auto role = reader_.role(window.get()); !role || isManagedWindowRole(*role)) continue;
    auto states = reader_.states(window.get());
    if (!states || !hasState(*states, ATSPI_STATE_SHOWING)) continue;
    auto extents = reader_.screenExtents(window.get());
    if (!extents || extents->width <= 0 || extents->height <= 0 || !extents->contains(x, y)) continue;
    const auto& known = clients();
    const bool managed = std::any_of(known.begin(), known.end(), [&](const ClientWindow& client) {
      return client.pid == pid && standsFor(*extents, client);
    });
    if (!managed) return window;
  }
  for (AccessibleRef& window : visibleTopLevels(application)) {
    if (AccessibleRef menu = menuOpenFromBarAt(window.get(), x, y)) return menu;
  }
  // GTK 4 keeps a popover below what opened it, though it has a window of its own.
  const std::vector<PixelRect>& popups = unmanagedWindowsOf(pid);
  const auto popup = std::find_if(popups.begin(), popups.end(), [&](const PixelRect& place) { return place.contains(x, y); });
  if (popup == popups.end()) return {};
  for (AccessibleRef& window : visibleTopLevels(application)) {
    if (AccessibleRef popover = popoverShownIn(window.get(), *popup)) return popover;
  }
  return {};
}

// Level by level through what the window shows: a popover lies a few levels
// below its window, beside the button that opened it.
AccessibleRef Applications::popoverShownIn(AtspiAccessible* window, const PixelRect& popup) {
  const std::vector<PixelRect> onlyPopup = {popup};
  const std::optional<ExtentsMapping> inWindow = mappingOf(window);
  std::vector<AccessibleRef> level;
  level.emplace_back(AccessibleRef::share(window));
  int seen = 0;
  while (!level.empty()) {
    reader_.prefetchChildren(level, mostPopoverSiblings, RolePart | StatesPart);
    std::vector<AccessibleRef> below;
    for (const AccessibleRef& holder : level) {
      for (AccessibleRef& child :
           shownChildren(reader_, holder.get(), mostPopoverSiblings).value_or(std::vector<AccessibleRef>{})) {
        if (++seen > mostElementsAbovePopover) return {};
        if (popoverPlacement(reader_, child.get(), onlyPopup, inWindow)) return child;
        below.push_back(std::move(child));
      }
    }
    level = std::move(below);
  }
  return {};
}

// The toolkits' hit tests do not see a menu opened from the menu bar, nor does
// it stand among the application's top-level windows: Qt hangs the open popup
// below the bar's item, GTK 3 the menu's items themselves.
AccessibleRef Applications::menuOpenFromBarAt(AtspiAccessible* window, double x, double y) {
  for (const AccessibleRef& bar : menuBarsOf(window)) {
    const auto items = reader_.children(bar.get(), mostMenuBarItems).value_or(std::vector<AccessibleRef>{});
    std::vector<AccessibleRef> open;
    for (const AccessibleRef& item : items) {
      // Qt sends no event when its popup shows: the library's states of it are stale.
      if (reader_.role(item.get()) == ATSPI_ROLE_MENU_ITEM) reader_.dropLibraryCache(item.get());
      if (mayHaveMenuOpen(reader_, item.get())) open.push_back(item);
    }
    reader_.prefetchChildren(open, mostMenuItems, RolePart | StatesPart);
    for (const AccessibleRef& item : open) {
      if (AccessibleRef part = openMenuPartAt(item.get(), x, y, 0)) return part;
    }
  }
  return {};
}

// The menu bars nearest below `window`, level by level through layout boxes
// only: the bar sits among the window's outer boxes, never inside its content.
std::vector<AccessibleRef> Applications::menuBarsOf(AtspiAccessible* window) {
  std::vector<AccessibleRef> level;
  level.emplace_back(AccessibleRef::share(window));
  int boxesSeen = 0;
  for (int depth = 0; depth < deepestMenuBar && !level.empty(); ++depth) {
    reader_.prefetchChildren(level, mostWindowParts, RolePart | StatesPart);
    std::vector<AccessibleRef> bars;
    std::vector<AccessibleRef> boxes;
    for (const AccessibleRef& holder : level) {
      for (AccessibleRef& child : reader_.children(holder.get(), mostWindowParts).value_or(std::vector<AccessibleRef>{})) {
        const auto role = reader_.role(child.get());
        const bool isBar = role == ATSPI_ROLE_MENU_BAR;
        if ((!isBar && !isLayoutBox(role)) || !isShown(reader_, child.get())) continue;
        if (isBar) {
          // LibreOffice keeps a second, empty bar beside the one it shows.
          if (!hasEmptyFrame(reader_, child.get())) bars.push_back(std::move(child));
        } else if (boxesSeen < mostMenuBarHolders) {
          ++boxesSeen;
          boxes.push_back(std::move(child));
        }
      }
    }
    if (!bars.empty()) return bars;
    level = std::move(boxes);
  }
  return {};
}

// The showing part below `opener` (a popup, an item) holding the point. A
// submenu lies above the menu it opened from, so it is asked first.
AccessibleRef Applications::openMenuPartAt(AtspiAccessible* opener, double x, double y, int depth) {
  if (depth >= deepestSubmenu) return {};
  AccessibleRef found;
  for (AccessibleRef& part : reader_.children(opener, mostMenuItems).value_or(std::vector<AccessibleRef>{})) {
    if (!isMenuPart(reader_.role(part.get()))) continue;
    auto states = reader_.states(part.get());
    // Qt's open popup is SHOWING but not always VISIBLE.
    if (!states || !hasState(*states, ATSPI_STATE_SHOWING)) continue;
    if (mayHaveMenuOpen(reader_, part.get())) {
      if (AccessibleRef submenu = openMenuPartAt(part.get(), x, y, depth + 1)) return submenu;
    }
    auto extents = reader_.screenExtents(part.get());
    if (!found && extents && extents->width > 0 && extents->height > 0 && extents->contains(x, y)) found = std::move(part);
  }
  return found;
}

std::optional<FrontApplication> Applications::frontByState() {
  for (const AccessibleRef& application : all()) {
    AccessibleRef window = activeByState(application.get());
    if (!window) continue;
    auto pid = reader_.processId(application.get());
    if (!pid) continue;
    // A toolkit may keep the state after its window went behind another
    // application's: it counts only for the window on top.
    if (!clients().empty() && clientFor(window.get(), pid) != &clients().front()) continue;
    return FrontApplication{*pid, application, std::nullopt};
  }
  return std::nullopt;
}

std::optional<FrontApplication> Applications::frontmost() {
  auto active = workspace_.activeWindow();
  if (!active) return frontByState();
  // The window manager's word stands even when the application does not
  // answer or is not on the bus: its reads fail rather than another
  // application's succeed.
  auto pid = workspace_.windowPid(*active);
  if (!pid) return std::nullopt;
  return FrontApplication{*pid, byPid(*pid), active};
}

std::optional<std::string> Applications::bundleIdOf(const FrontApplication& front) {
  if (front.activeWindow) return workspace_.applicationId(*front.activeWindow);
  for (const ClientWindow& client : clients()) {
    if (client.pid == front.pid) return workspace_.applicationId(client.id);
  }
  return std::nullopt;
}

std::optional<std::string> Applications::xTitleOf(AtspiAccessible* window) {
  auto application = reader_.parent(window);
  if (!application) return std::nullopt;
  auto pid = reader_.processId(application.get());
  if (!pid) return std::nullopt;
  if (const ClientWindow* client = clientFor(window, pid)) return workspace_.windowTitle(client->id);
  std::optional<WindowId> onlyClient;
  int clientsOfPid = 0;
  for (const ClientWindow& client : clients()) {
    if (client.pid != pid) continue;
    ++clientsOfPid;
    onlyClient = client.id;
  }
  if (clientsOfPid == 1) return workspace_.windowTitle(*onlyClient);
  return std::nullopt;
}

std::optional<ExtentsMapping> Applications::mappingOf(AtspiAccessible* accessible) {
  const std::string* busName = CallGuard::applicationOf(accessible);
  if (busName == nullptr || inScreenCoordinates_.contains(*busName)) return std::nullopt;
  auto known = mappings_.find(*busName);
  if (known == mappings_.end()) {
    // Nothing found while looking: the search itself reads extents of windows.
    const std::string application = *busName;
    mappings_.emplace(application, ApplicationMapping{});
    auto pid = reader_.processId(accessible);
    ApplicationMapping found = pid ? findMapping(*pid) : ApplicationMapping{};
    known = mappings_.insert_or_assign(application, std::move(found)).first;
  }
  std::optional<ExtentsMapping> inWindow =
      known->second.perWindow.empty() ? known->second.common : mappingInWindow(known->second, accessible);
  // Only a toolkit that measures from its window measures a popover from the popover's own.
  if (!inWindow || inWindow->scale != 1) return inWindow;
  auto pid = reader_.processId(accessible);
  if (!pid) return inWindow;
  const std::vector<PixelRect>& popups = unmanagedWindowsOf(*pid);
  if (popups.empty()) return inWindow;
  if (auto inPopover = popoverMappingOf(accessible, popups, *inWindow)) return inPopover;
  return inWindow;
}

const std::vector<PixelRect>& Applications::unmanagedWindowsOf(std::int32_t pid) {
  auto known = unmanaged_.find(pid);
  if (known == unmanaged_.end()) known = unmanaged_.emplace(pid, workspace_.unmanagedWindowsOf(pid)).first;
  return known->second;
}

std::optional<ExtentsMapping> Applications::popoverMappingOf(AtspiAccessible* accessible,
                                                             const std::vector<PixelRect>& popups,
                                                             const ExtentsMapping& inWindow) {
  // Every element of the chain up to the popover (or the window) learns the answer.
  std::vector<AccessibleRef> chain;
  std::optional<ExtentsMapping> found;
  AccessibleRef current = AccessibleRef::share(accessible);
  for (int depth = 0; depth < deepestInPopover && current; ++depth) {
    if (auto known = inPopover_.find(current.get()); known != inPopover_.end()) {
      found = known->second.second;
      break;
    }
    chain.push_back(current);
    AccessibleRef parent = reader_.parent(current.get());
    // A top-level window stands for its own window.
    if (!parent || reader_.role(parent.get()) == ATSPI_ROLE_APPLICATION) break;
    if ((found = popoverPlacement(reader_, current.get(), popups, inWindow))) break;
    current = std::move(parent);
  }
  for (AccessibleRef& element : chain) {
    AtspiAccessible* key = element.get();
    inPopover_.emplace(key, std::pair{std::move(element), found});
  }
  return found;
}

std::optional<ExtentsMapping> Applications::mappingInWindow(const ApplicationMapping& mapping,
                                                            AtspiAccessible* accessible) {
  AccessibleRef window = topLevelWindowOf(reader_, accessible);
  for (const auto& [known, windowMapping] : mapping.perWindow) {
    if (window && sameAccessible(window.get(), known.get())) return windowMapping;
  }
  return mapping.common;
}

Applications::ApplicationMapping Applications::findMapping(std::int32_t pid) {
  AccessibleRef application = byPid(pid);
  if (!application) return {};
  const std::optional<WindowId> active = workspace_.activeWindow();
  std::vector<std::pair<AccessibleRef, std::optional<ExtentsMapping>>> windows;
  bool anyInScreenPixels = false;
  for (AccessibleRef& window : visibleTopLevels(application.get())) {
    auto extents = reader_.toolkitExtents(window.get());
    if (!extents) continue;
    const auto& known = clients();
    if (std::any_of(known.begin(), known.end(),
                    [&](const ClientWindow& client) { return client.pid == pid && standsFor(*extents, client); })) {
      anyInScreenPixels = true;
      windows.emplace_back(std::move(window), std::nullopt);
    } else if (auto mapping = mappingOntoClient(*extents, pid, active)) {
      windows.emplace_back(std::move(window), mapping);
    }
  }
  const auto mapped = std::find_if(windows.begin(), windows.end(), [](const auto& w) { return w.second.has_value(); });
  if (mapped == windows.end()) {
    if (anyInScreenPixels) {
      if (const std::string* busName = CallGuard::applicationOf(application.get())) inScreenCoordinates_.insert(*busName);
    }
    return {};
  }
  // One window needs no walk up from an element to learn which it is in; with
  // more, each is mapped onto its own place.
  std::optional<ExtentsMapping> common = mapped->second;
  if (windows.size() == 1) return {common, {}};
  return {common, std::move(windows)};
}

std::optional<ExtentsMapping> Applications::mappingOntoClient(const PixelRect& extents, std::int32_t pid,
                                                              std::optional<WindowId> active) {
  std::optional<ExtentsMapping> found;
  for (const ClientWindow& client : clients()) {
    if (client.pid != pid || (found && client.id != active)) continue;
    if (auto mapping = mappingOnto(extents, client)) found = mapping;
  }
  return found;
}

}  // namespace morvel::linux_ax
