#include "platform/linux/atspi/LinuxAccessibility.h"

#include "accessibility/AXNames.h"
#include "platform/linux/atspi/ElementAttributes.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/HitTest.h"
#include "platform/linux/atspi/LibraryCache.h"
#include "platform/linux/atspi/TreeShape.h"
#include "platform/linux/atspi/WindowSystemElements.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace morvel::linux_ax {
namespace {

// MORVEL_AX_SERIAL_READS=1 asks every read on its own, a diagnostic: the answers
// must be the same as with the concurrent reads.
// What libatspi is asked to answer an attribute of any element (see
// ElementAttributes). The states that a role or a value depends on are asked
// apart, once the roles are known (see statesWanted); values depend on the role
// and are sorted out apart too. An answer through the Component or Text
// interface proves the element has it, so the interfaces are not asked for them.
ReadParts readPartsOf(std::string_view attribute) {
  if (attribute == ax::AXRole || attribute == ax::AXSubrole || attribute == ax::AXValue) return RolePart;
  if (attribute == ax::AXEnabled) return StatesPart;
  if (attribute == ax::AXTitle) return RolePart | NamePart;
  if (attribute == ax::AXDescription) return DescriptionPart;
  if (attribute == ax::AXFrame || attribute == ax::AXPosition || attribute == ax::AXSize) return ExtentsPart;
  if (attribute == ax::AXSelectedText) return SelectionPart;
  return 0;
}

bool hinted(std::initializer_list<std::string_view> attributes, std::string_view attribute) {
  return std::find(attributes.begin(), attributes.end(), attribute) != attributes.end();
}

// Whether reading `attributes` of an element of `role` reads its states: a text
// role's AX role tells one line from many, and a check box's value is a state.
bool statesWanted(AtspiRole role, std::initializer_list<std::string_view> attributes) {
  const bool roleRead = hinted(attributes, ax::AXRole) || hinted(attributes, ax::AXSubrole);
  const bool valueRead = hinted(attributes, ax::AXValue);
  if ((roleRead || valueRead) && needsMultiLineProbe(role)) return true;
  return valueRead && isCheckValued(mapRole(role, RoleContext{}).role);
}

// Set on an element the first time it is met outside libatspi's cache. The
// roles read of it since are kept there, which would hide where it came from.
constexpr const char* madeOnDemandKey = "morvel-made-on-demand";

bool isMadeOnDemand(AtspiAccessible* accessible) {
  if (g_object_get_data(G_OBJECT(accessible), madeOnDemandKey) != nullptr) return true;
  if (heldInLibraryCache(accessible, ATSPI_CACHE_ROLE)) return false;
  g_object_set_data(G_OBJECT(accessible), madeOnDemandKey, GINT_TO_POINTER(1));
  return true;
}

// The elements libatspi does not hold, which an application made when asked for
// them (a sheet's cells): mostly childless, and a count of none, asked of all of
// them at once, answers their children without a call each. Counts of the others
// would only add calls: libatspi holds what their children are made of.
std::vector<AccessibleRef> madeOnDemand(const std::vector<AccessibleRef>& accessibles) {
  std::vector<AccessibleRef> made;
  for (const AccessibleRef& accessible : accessibles) {
    if (isMadeOnDemand(accessible.get())) made.push_back(accessible);
  }
  return made;
}

bool serialReadsWanted() {
  const char* value = std::getenv("MORVEL_AX_SERIAL_READS");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

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
  reader_.useConcurrentReads(!serialReadsWanted());
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

std::optional<ax::AttrValue> LinuxAccessibility::copyAttributeValues(const ax::Element& element,
                                                                     std::string_view attribute, std::size_t maxCount) {
  // A table's rows are read only as far as they are wanted: each costs a call.
  const auto* node = element.nodeAs<AccessibleNode>();
  if (attribute != ax::AXRows || node == nullptr || node->isSystemWide() || !treeReachable()) {
    return Accessibility::copyAttributeValues(element, attribute, maxCount);
  }
  AttributeSources sources{reader_, applications_, focus_, static_cast<int>(std::min<std::size_t>(maxCount, INT_MAX))};
  return readElementAttribute(sources, node->get(), attribute);
}

std::optional<ax::Element> LinuxAccessibility::copyElementAtPosition(const ax::Element& systemWide, float x, float y) {
  if (!treeReachable()) return std::nullopt;
  const auto* node = systemWide.nodeAs<AccessibleNode>();
  if (node == nullptr || !node->isSystemWide()) return std::nullopt;
  AccessibleRef hit = presentedElement(reader_, hitTest(applications_, reader_, x, y));
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

void LinuxAccessibility::walkAhead(const ax::Element& root, int budget) {
  if (!treeReachable()) return;
  const auto* node = root.nodeAs<AccessibleNode>();
  if (node == nullptr || node->isSystemWide() || node->get() == nullptr) return;
  reader_.readSubtreeAhead(node->get(), budget);
}

void LinuxAccessibility::readAhead(const std::vector<ax::Element>& elements,
                                   std::initializer_list<std::string_view> attributes) {
  if (!treeReachable()) return;
  ReadParts parts = 0;
  for (std::string_view attribute : attributes) parts |= readPartsOf(attribute);
  std::vector<AccessibleRef> accessibles;
  std::vector<const TableRowNode*> rows;
  accessibles.reserve(elements.size());
  for (const ax::Element& element : elements) {
    const auto* node = element.nodeAs<AccessibleNode>();
    if (node != nullptr && !node->isSystemWide() && node->get() != nullptr) {
      accessibles.push_back(AccessibleRef::share(node->get()));
    } else if (const auto* row = element.nodeAs<TableRowNode>()) {
      rows.push_back(row);
    }
  }
  // Told apart before the reads below, which leave roles in libatspi's cache.
  const std::vector<AccessibleRef> madeWhenAsked = madeOnDemand(accessibles);
  reader_.prefetch(accessibles, parts);
  readStatesAhead(accessibles, attributes);
  if (hinted(attributes, ax::AXChildren)) {
    reader_.prefetch(madeWhenAsked, ChildCountPart);
    readChildrenAhead(reader_, accessibles, hinted(attributes, ax::childrenWalkedNext));
    readRowCellsAhead(reader_, rows);
  }
  if (hinted(attributes, ax::AXValue)) readValuesAhead(accessibles);
}

void LinuxAccessibility::readStatesAhead(const std::vector<AccessibleRef>& accessibles,
                                         std::initializer_list<std::string_view> attributes) {
  if (!hinted(attributes, ax::AXRole) && !hinted(attributes, ax::AXSubrole) && !hinted(attributes, ax::AXValue)) return;
  std::vector<AccessibleRef> stated;
  for (const AccessibleRef& accessible : accessibles) {
    const auto role = reader_.role(accessible.get());
    if (role && statesWanted(*role, attributes)) stated.push_back(accessible);
  }
  reader_.prefetch(stated, StatesPart);
}

void LinuxAccessibility::readValuesAhead(const std::vector<AccessibleRef>& accessibles) {
  // The value of a text-valued element is its text; a closed combo box's is its name.
  std::vector<AccessibleRef> texts;
  std::vector<AccessibleRef> names;
  for (const AccessibleRef& accessible : accessibles) {
    auto mapped = axRoleOf(reader_, accessible.get());
    if (!mapped || isCheckValued(mapped->role)) continue;
    if (mapped->role == ax::AXPopUpButton) {
      names.push_back(accessible);
    } else if (isTextValued(mapped->role)) {
      texts.push_back(accessible);
    }
  }
  reader_.prefetch(texts, TextPart);
  reader_.prefetch(names, NamePart);
}

void LinuxAccessibility::replyWritten() {
  guard_.endRequest();
  memo_.endAttempt();
  placement_.forget();
  applications_.endRequest();
}

}  // namespace morvel::linux_ax
