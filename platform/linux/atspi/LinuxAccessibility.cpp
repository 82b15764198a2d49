#include "platform/linux/atspi/LinuxAccessibility.h"

#include "platform/linux/atspi/ElementAttributes.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/HitTest.h"
#include "platform/linux/atspi/LibraryCache.h"
#include "platform/linux/atspi/QuietLogs.h"
#include "platform/linux/atspi/WindowSystemElements.h"

#include <algorithm>

namespace morvel::linux_ax {
namespace {

// atspi_init's answer when it connected (1 means it already had).
constexpr int atspiInitialized = 0;
constexpr int atspiAlreadyInitialized = 1;

}  // namespace

LinuxAccessibility::LinuxAccessibility(WindowSystem& windows)
    : workspace_(windows), reader_(guard_, memo_), applications_(reader_, workspace_) {
  reader_.setExtentsOrigin(&applications_);
  silenceLibraryLogs();
  // Any other libatspi call without a bus ends the process, so the answer of
  // atspi_init decides whether there will be any.
  const int status = atspi_init();
  connected_ = status == atspiInitialized || status == atspiAlreadyInitialized;
  if (!connected_) return;
  enableLibraryCache();
  focus_.start();
}

LinuxAccessibility::~LinuxAccessibility() = default;

ax::Element LinuxAccessibility::createSystemWide() {
  if (!connected_) return makeSystemWideElement({});
  return makeSystemWideElement(applications_.desktop());
}

ax::Element LinuxAccessibility::createApplication(std::int32_t pid) {
  AccessibleRef application = connected_ ? applications_.byPid(pid) : AccessibleRef();
  if (application) return makeElement(std::move(application));
  // A process with windows but no accessibility is still an application; one
  // that may be on the bus but does not answer is left to fail.
  if (connected_ && applications_.mayBeOnBus(pid)) return makeElement({});
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
  if (!connected_) return std::nullopt;
  AttributeSources sources{reader_, applications_, focus_};
  if (const auto* node = element.nodeAs<AccessibleNode>()) {
    if (node->isSystemWide()) return readSystemWideAttribute(sources, attribute);
    return readElementAttribute(sources, node->get(), attribute);
  }
  if (const auto* row = element.nodeAs<TableRowNode>()) return readRowAttribute(sources, *row, attribute);
  return std::nullopt;
}

std::optional<ax::Element> LinuxAccessibility::copyElementAtPosition(const ax::Element& systemWide, float x, float y) {
  if (!connected_) return std::nullopt;
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
  if (!connected_) {
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
  // Events that arrived between requests (the cache updates among them) are
  // handled first, so that nothing stale is served.
  if (connected_) drainPendingEvents();
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
