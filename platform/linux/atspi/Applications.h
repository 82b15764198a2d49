#pragma once

// The applications on the accessibility bus and their top-level windows, and
// which of them is in front: the owner of the window manager's active window.
// A toolkit's own "active" state is believed only where the window manager
// names no window, and then only for the window on top.

#include "platform/linux/atspi/AtspiReader.h"
#include "platform/linux/WindowSystem.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace morvel::linux_ax {

struct FrontApplication {
  std::int32_t pid = 0;
  AccessibleRef application;  // empty when the process has no accessible application
  std::optional<WindowId> activeWindow;
};

class Applications final : public ExtentsOrigin {
 public:
  Applications(AtspiReader& reader, WindowSystem& workspace) : reader_(reader), workspace_(workspace) {}

  // A toolkit that reports a top-level window at 0,0 about the size of one of
  // its client windows elsewhere reports every extent relative to that window
  // (the active one where several fit). One that reports its windows
  // consistently smaller or larger than the window system's is scaled: its
  // extents are scaled onto the window system's pixels. Each window is mapped
  // onto its own place.
  std::optional<ExtentsMapping> mappingOf(AtspiAccessible* accessible) override;

  AccessibleRef desktop();
  // The applications registered on the bus, read once per request.
  const std::vector<AccessibleRef>& all();
  AccessibleRef byPid(std::int32_t pid);
  // Whether an application on the bus may belong to `pid`: one does, or one
  // did not say which process it is (it does not answer).
  bool mayBeOnBus(std::int32_t pid);

  // Every visible top-level child, whatever role the toolkit gives it: the
  // topmost first by the window system's stacking, the ones it does not place
  // after them in the application's order.
  std::vector<AccessibleRef> windowsOf(AtspiAccessible* application);
  // The window standing for the window manager's active window when it belongs
  // to this application; else the one the toolkit marks active.
  AccessibleRef activeWindowOf(AtspiAccessible* application);
  // The accessible window that stands for a client window.
  AccessibleRef windowForClient(const ClientWindow& client, double x, double y);
  // A showing top-level window of the application holding the point that the
  // window manager does not manage (a menu, combo list or tooltip): such
  // windows are drawn above all others.
  AccessibleRef popupAt(const FrontApplication& front, double x, double y);

  std::optional<FrontApplication> frontmost();
  std::optional<std::string> bundleIdOf(const FrontApplication& front);
  // The window system's title of the client window an accessible window stands for.
  std::optional<std::string> xTitleOf(AtspiAccessible* window);

  // The window system's client windows, topmost first, read once per request.
  const std::vector<ClientWindow>& clients();

  void endRequest() {
    applications_.reset();
    clients_.reset();
    mappings_.clear();
    unmanaged_.clear();
    inPopover_.clear();
  }
  // The connection these applications came through has broken.
  void forgetConnection() {
    endRequest();
    remembered_.clear();
    inScreenCoordinates_.clear();
    windowsOfClients_.clear();
  }

 private:
  AccessibleRef firstWithPid(const std::vector<AccessibleRef>& applications, std::int32_t pid);
  std::vector<AccessibleRef> visibleTopLevels(AtspiAccessible* application);
  // The accessible window an earlier request found for `client`, asked first:
  // its frame and states, and its hit test at the point, in one wait. Kept
  // while its frame and states still say it stands for the client window.
  AccessibleRef rememberedWindowFor(const ClientWindow& client, AtspiAccessible* application, double x, double y);
  void rememberWindowFor(const ClientWindow& client, const AccessibleRef& window);
  // The part of a menu opened from the window's menu bar, or from one of its
  // items, holding the point: a popup or an item.
  AccessibleRef menuOpenFromBarAt(AtspiAccessible* window, double x, double y);
  std::vector<AccessibleRef> menuBarsOf(AtspiAccessible* window);
  AccessibleRef openMenuPartAt(AtspiAccessible* opener, double x, double y, int depth);
  AccessibleRef activeByState(AtspiAccessible* application);
  // The client window of `pid` that a top-level accessible stands for, by its extents.
  const ClientWindow* clientFor(AtspiAccessible* window, std::optional<std::int32_t> pid);
  std::optional<FrontApplication> frontByState();
  // How one application's extents map: alike for all its windows, or window
  // by window (`common` then serves what lies in none of them: pop-ups).
  struct ApplicationMapping {
    std::optional<ExtentsMapping> common;
    std::vector<std::pair<AccessibleRef, std::optional<ExtentsMapping>>> perWindow;
  };
  ApplicationMapping findMapping(std::int32_t pid);
  // The toolkit's window `extents` mapped onto a client window of `pid` (the
  // active one where several fit).
  std::optional<ExtentsMapping> mappingOntoClient(const PixelRect& extents, std::int32_t pid,
                                                  std::optional<WindowId> active);
  std::optional<ExtentsMapping> mappingInWindow(const ApplicationMapping& mapping, AtspiAccessible* accessible);
  // The process's windows the window manager does not manage, read once per request.
  const std::vector<PixelRect>& unmanagedWindowsOf(std::int32_t pid);
  // How the extents of an element inside a popover that has a window of its
  // own (GTK 4) map onto that window; absent for an element in no such popover.
  // `inWindow` maps the extents of the window the element is in.
  std::optional<ExtentsMapping> popoverMappingOf(AtspiAccessible* accessible, const std::vector<PixelRect>& popups,
                                                 const ExtentsMapping& inWindow);
  // The showing popover of `window` that has the unmanaged window `popup`.
  AccessibleRef popoverShownIn(AtspiAccessible* window, const PixelRect& popup);

  AtspiReader& reader_;
  WindowSystem& workspace_;
  std::optional<std::vector<AccessibleRef>> applications_;
  std::optional<std::vector<ClientWindow>> clients_;
  // Mappings found in this request, by bus name.
  std::map<std::string, ApplicationMapping, std::less<>> mappings_;
  std::map<std::int32_t, std::vector<PixelRect>> unmanaged_;
  // Elements whose popover is known, with the popover's mapping (none: in no popover).
  std::map<AtspiAccessible*, std::pair<AccessibleRef, std::optional<ExtentsMapping>>> inPopover_;
  // Applications seen to report screen coordinates: a toolkit does not change its mind.
  std::set<std::string, std::less<>> inScreenCoordinates_;
  // The list as an earlier request read it: asked first when looking up a process.
  std::vector<AccessibleRef> remembered_;
  // Accessible windows found for client windows, of applications that report
  // screen coordinates (their frames confirm them).
  std::map<WindowId, AccessibleRef> windowsOfClients_;
};

}  // namespace morvel::linux_ax
