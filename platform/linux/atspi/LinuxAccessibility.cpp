#include "platform/linux/atspi/LinuxAccessibility.h"

#include "platform/linux/atspi/ElementAttributes.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/HitTest.h"
#include "platform/linux/atspi/LibraryCache.h"

namespace morvel::linux_ax {

LinuxAccessibility::LinuxAccessibility(WindowSystem& windows)
    : workspace_(windows), reader_(guard_, memo_), applications_(reader_, workspace_) {
  if (bus_.connected()) useConnection();
}

LinuxAccessibility::~LinuxAccessibility() = default;

ax::Element LinuxAccessibility::createSystemWide() {
  if (!bus_.connected()) return makeSystemWideElement({});
  return makeSystemWideElement(applications_.desktop());
}

ax::Element LinuxAccessibility::createApplication(std::int32_t pid) {
  if (!bus_.connected()) return makeElement({});
  return makeElement(applications_.byPid(pid));
}

std::optional<ax::AttrValue> LinuxAccessibility::copyAttributeValue(const ax::Element& element,
                                                                    std::string_view attribute) {
  if (!bus_.connected()) return std::nullopt;
  AttributeSources sources{reader_, applications_};
  if (const auto* node = element.nodeAs<AccessibleNode>()) {
    if (node->isSystemWide()) return readSystemWideAttribute(sources, attribute);
    return readElementAttribute(sources, node->get(), attribute);
  }
  if (const auto* row = element.nodeAs<TableRowNode>()) return readRowAttribute(sources, *row, attribute);
  return std::nullopt;
}

std::optional<ax::Element> LinuxAccessibility::copyElementAtPosition(const ax::Element& systemWide, float x, float y) {
  if (!bus_.connected()) return std::nullopt;
  const auto* node = systemWide.nodeAs<AccessibleNode>();
  if (node == nullptr || !node->isSystemWide()) return std::nullopt;
  AccessibleRef hit = hitTest(applications_, workspace_, reader_, x, y);
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
  if (!bus_.connected()) return std::nullopt;
  auto front = applications_.frontmost();
  if (!front) return std::nullopt;
  return ax::RunningApplication{front->pid, applications_.bundleIdOf(*front)};
}

void LinuxAccessibility::requestStarted() {
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
}

void LinuxAccessibility::forgetConnection() {
  guard_.useBus(nullptr);
  guard_.endRequest();
  memo_.forgetConnection();
  applications_.forgetConnection();
}

void LinuxAccessibility::desktopMayHaveChanged() {
  guard_.endAttempt();
  memo_.endAttempt();
  applications_.endRequest();
}

void LinuxAccessibility::replyWritten() {
  guard_.endRequest();
  memo_.endAttempt();
  applications_.endRequest();
}

}  // namespace morvel::linux_ax
