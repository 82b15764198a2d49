#include "platform/linux/atspi/LinuxAccessibility.h"

#include "platform/linux/atspi/ElementAttributes.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/HitTest.h"
#include "platform/linux/atspi/LibraryCache.h"
#include "platform/linux/atspi/WindowSystemElements.h"

#include <algorithm>

namespace morvel::linux_ax {

LinuxAccessibility::LinuxAccessibility(WindowSystem& windows)
    : workspace_(windows), reader_(guard_, memo_), placement_(reader_, windows), applications_(reader_, workspace_) {
  // Where every toolkit measures from its window's surface, the window system
  // places windows; elsewhere only some toolkits do, and their windows' origins
  // are found per application.
  if (windows.extentsAreWindowRelative()) {
    reader_.placeWith(&placement_);
  } else {
    reader_.setExtentsOrigin(&applications_);
  }
  if (bus_.connected()) useConnection();
}

LinuxAccessibility::~LinuxAccessibility() = default;

ax::Element LinuxAccessibility::createSystemWide() {
  if (!treeReachable()) return makeSystemWideElement({});
  return makeSystemWideElement(applications_.desktop());
}

ax::Element LinuxAccessibility::createApplication(std::int32_t pid) {
  AccessibleRef application = treeReachable() ? applications_.byPid(pid) : AccessibleRef();
  if (application) return makeElement(std::move(application));
  // A process with windows but no accessibility is still an application; one
  // that may be on the bus but does not answer is left to fail.
  if (treeReachable() && applications_.mayBeOnBus(pid)) return makeElement({});
  const auto& clients = applications_.clients();
  if (std::any_of(clients.begin(), clients.end(), [&](const ClientWindow& client) { return client.pid == pid; })) {
    return makeWindowSystemElement(pid, std::nullopt);
  }
  return makeElement({});
}

std::optional<ax::AttrValue> LinuxAccessibility::copyAttributeValue(const ax::Element& element,
                                                                    std::string_view attribute) {
  if (const auto* node = element.nodeAs<WindowSystemNode>()) {
    return readWindowSystemAttribute(applications_, workspace_, *node, attribute);
  }
  if (!treeReachable()) return std::nullopt;
  AttributeSources sources{reader_, applications_, focus_};
  if (const auto* node = element.nodeAs<AccessibleNode>()) {
    if (node->isSystemWide()) return readSystemWideAttribute(sources, attribute);
    return readElementAttribute(sources, node->get(), attribute);
  }
  if (const auto* row = element.nodeAs<TableRowNode>()) return readRowAttribute(sources, *row, attribute);
  return std::nullopt;
}

std::optional<ax::Element> LinuxAccessibility::copyElementAtPosition(const ax::Element& systemWide, float x, float y) {
  if (!treeReachable()) return std::nullopt;
  const auto* node = systemWide.nodeAs<AccessibleNode>();
  if (node == nullptr || !node->isSystemWide()) return std::nullopt;
  AccessibleRef hit = hitTest(applications_, reader_, x, y);
  if (!hit) return std::nullopt;
  return makeElement(std::move(hit));
}

void LinuxAccessibility::setMessagingTimeout(const ax::Element& element, double seconds) {
  if (const auto* node = element.nodeAs<AccessibleNode>()) {
    if (node->isSystemWide()) {
      guard_.setDefaultTimeout(seconds);
    } else {
      guard_.setApplicationTimeout(node->get(), seconds);
    }
  } else if (const auto* row = element.nodeAs<TableRowNode>()) {
    guard_.setApplicationTimeout(row->table(), seconds);
  }
}

bool LinuxAccessibility::isSameElement(const ax::Element& a, const ax::Element& b) { return sameElement(a, b); }

std::optional<ax::RunningApplication> LinuxAccessibility::frontmostApplication() {
  if (!treeReachable()) {
    // Without the bus, the window system alone still tells what is in front.
    auto active = workspace_.activeWindow();
    auto pid = active ? workspace_.windowPid(*active) : std::nullopt;
    if (!pid) return std::nullopt;
    return ax::RunningApplication{*pid, workspace_.applicationId(*active)};
  }
  auto front = applications_.frontmost();
  if (!front) return std::nullopt;
  return ax::RunningApplication{front->pid, applications_.bundleIdOf(*front)};
}

void LinuxAccessibility::requestStarted() {
  workspace_.forgetReads();
  // While the display is gone the registry cannot run: asked then, the bus
  // starts it in vain, and libatspi, seeing the registry's name change hands,
  // registers every event listener with it again, each call waiting out its
  // time-out. So the tree is left unasked until the display is back.
  windowSystemGone_ = workspace_.gone();
  if (bus_.connected()) {
    // Events that arrived between requests (the cache updates among them) are
    // handled first, so that nothing stale is served; a broken connection shows
    // there too.
    drainPendingEvents();
    if (!bus_.broken()) return;
    forgetConnection();
    bus_.leave();
  }
  if (bus_.reconnect()) useConnection();
}

void LinuxAccessibility::useConnection() {
  guard_.useBus(bus_.connection());
  enableLibraryCache();
  focus_.start();
}

void LinuxAccessibility::forgetConnection() {
  focus_.stop();
  guard_.useBus(nullptr);
  guard_.endRequest();
  memo_.forgetConnection();
  applications_.forgetConnection();
}

void LinuxAccessibility::desktopMayHaveChanged() {
  workspace_.forgetReads();
  guard_.endAttempt();
  memo_.endAttempt();
  placement_.forget();
  applications_.endRequest();
}

void LinuxAccessibility::replyWritten() {
  guard_.endRequest();
  memo_.endAttempt();
  placement_.forget();
  applications_.endRequest();
}

}  // namespace morvel::linux_ax
