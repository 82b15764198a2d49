#include "platform/linux/atspi/HitTest.h"

#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/RoleMapping.h"
#include "platform/linux/atspi/Showing.h"
#include "text/UnicodeText.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>
#include <string>

namespace morvel::linux_ax {
namespace {

// No toolkit nests this deep; the bound stops a tree that answers with a cycle.
constexpr int deepestHit = 64;
// Children whose extents are compared with the point when the toolkit's own
// hit test stops at a container; a container with more is left as the answer.
constexpr int mostChildrenByExtents = 256;

bool holds(const std::optional<PixelRect>& extents, double x, double y) {
  return extents && extents->width > 0 && extents->height > 0 && extents->contains(x, y);
}

// Without an X server there is no stacking order: the first showing window, in
// the applications' order, whose extents contain the point.
AccessibleRef windowWithoutStacking(Applications& applications, AtspiReader& reader, double x, double y) {
  for (const AccessibleRef& application : applications.all()) {
    for (AccessibleRef& window : applications.windowsOf(application.get())) {
      if (isShown(reader, window.get()) && holds(reader.screenExtents(window.get()), x, y)) return window;
    }
  }
  return {};
}

// The children of `container` that may hold the point. Where the toolkit marks
// what it shows, the shown ones (libatspi mostly holds their states). Where it
// does not (GTK 4), a child is judged shown by its frame: the frames come first,
// and only the children under the point, or with no place of their own, have
// their states asked.
std::vector<AccessibleRef> childrenMaybeAt(AtspiReader& reader, AtspiAccessible* container, int x, int y) {
  if (reader.toolkitOf(container).marksShowing) {
    auto shown = shownChildren(reader, container, mostChildrenByExtents).value_or(std::vector<AccessibleRef>{});
    // Each is compared with the point next: their frames in one wait.
    reader.prefetch(shown, ExtentsPart);
    return shown;
  }
  auto children = reader.children(container, mostChildrenByExtents).value_or(std::vector<AccessibleRef>{});
  reader.prefetch(children, RolePart | InterfacesPart | ExtentsPart);
  std::erase_if(children, [&](const AccessibleRef& child) {
    return hasPlace(reader, child.get()) && reader.role(child.get()) != ATSPI_ROLE_PAGE_TAB &&
           !holds(reader.screenExtents(child.get()), x, y);
  });
  // Those with no place of their own (GTK 4's stack pages) lie where their one
  // child does: all their children and those children's frames at once.
  std::vector<AccessibleRef> placeless;
  std::copy_if(children.begin(), children.end(), std::back_inserter(placeless),
               [&](const AccessibleRef& child) { return !hasPlace(reader, child.get()); });
  reader.prefetchChildren(placeless, childrenListedForPlace, InterfacesPart | ExtentsPart);
  reader.prefetch(children, StatesPart);
  std::erase_if(children, [&](const AccessibleRef& child) { return !isShown(reader, child.get()); });
  return children;
}

// The topmost shown child of `container` holding the point, by extents. A page
// tab holds its page, which lies outside the tab's own extents, and a child
// with no place of its own (GTK 4's stack page) whatever it holds.
AccessibleRef shownChildAt(AtspiReader& reader, AtspiAccessible* container, int x, int y, int depth = 0) {
  if (depth >= deepestHit) return {};
  AccessibleRef found;
  for (AccessibleRef& child : childrenMaybeAt(reader, container, x, y)) {
    if (holds(placeOf(reader, child.get()), x, y)) {
      found = std::move(child);
    } else if (reader.role(child.get()) == ATSPI_ROLE_PAGE_TAB || !hasPlace(reader, child.get())) {
      if (AccessibleRef page = shownChildAt(reader, child.get(), x, y, depth + 1)) found = std::move(page);
    }
  }
  return found;
}

// Whether the value of `accessible` is its text, told from what is known of it
// without a question: a role valued by its text, and the Text interface.
bool valuedByKnownText(AtspiReader& reader, AtspiAccessible* accessible) {
  const ElementFacts& facts = reader.memo().factsOf(accessible);
  if (!knownWithoutAsking(facts, accessible, RolePart) || !knownWithoutAsking(facts, accessible, InterfacesPart)) {
    return false;
  }
  const std::optional<AtspiRole> role = reader.role(accessible);
  if (!role || needsEditableTextProbe(*role) || needsToplevelProbe(*role)) return false;
  return isTextValued(mapRole(*role, RoleContext{}).role) && reader.hasText(accessible);
}

bool knownBlank(AtspiReader& reader, AtspiAccessible* accessible, ReadPart part) {
  if (!knownWithoutAsking(reader.memo().factsOf(accessible), accessible, part)) return false;
  const auto text = part == NamePart ? reader.name(accessible) : reader.description(accessible);
  return !text || trimBlank(*text).empty();
}

// The parent libatspi holds for `answer` from the application's account of its
// tree, where the answer is known to have no name: an unnamed element is
// described by its nearest named ancestor, and the way there asks each unnamed
// level for its parent. libatspi's parent only says whom to ask; what is
// asked of it is the application's answer.
AccessibleRef parentAskedNext(AtspiReader& reader, AtspiAccessible* answer) {
  AtspiAccessible* parent = answer->accessible_parent;
  if (parent == nullptr || CallGuard::applicationOf(parent) != CallGuard::applicationOf(answer)) return {};
  if (!knownBlank(reader, answer, NamePart) || !knownBlank(reader, answer, DescriptionPart)) return {};
  return AccessibleRef::share(parent);
}

// Whether the toolkit's `answer` is shown and under the point: a browser may
// answer with an invisible text node, GTK 4 with a widget beside the point.
// Its parent is asked in the same wait (an unnamed answer is described by its
// nearest named ancestor), and its own hit test, which the descent asks next
// wherever it holds the point. Where the toolkit's hit test goes deep the
// answer is nearly always the element described: its text, where that is its
// value, and the parent of its likely parent, where it has no name, are asked
// in the same wait too. Elsewhere the answer is mostly a container on the way
// down, whose own hit test may stop at it: its children are compared with the
// point next, and the toolkit's reader asks them in the same wait where it can.
bool answersThePoint(AtspiReader& reader, AtspiAccessible* answer, int x, int y) {
  ReadParts parts = StatesPart | ExtentsPart | ParentPart;
  std::vector<PartsOf> alongside;
  int childrenNext = mostChildrenByExtents;
  if (reader.toolkitOf(answer).hitTestGoesDeep) {
    if (valuedByKnownText(reader, answer)) parts |= TextPart;
    if (AccessibleRef parent = parentAskedNext(reader, answer)) alongside.push_back({std::move(parent), ParentPart});
    childrenNext = 0;
  }
  reader.prefetchWithHit(answer, parts, x, y, alongside, childrenNext);
  return isShown(reader, answer) && holds(placeOf(reader, answer), x, y);
}

// Whether the toolkit's answer of nothing at `container` leaves no child of it
// under the point, so that its children need not be compared with the point.
// A filler may hold another application's tree (WebKitGTK's web view does),
// which the toolkit's hit test does not see.
bool emptyHitIsFinal(AtspiReader& reader, AtspiAccessible* container) {
  if (!reader.toolkitOf(container).hitTestWeighsEveryChild) return false;
  const std::optional<AtspiRole> role = reader.role(container);
  return role && *role != ATSPI_ROLE_PAGE_TAB_LIST && *role != ATSPI_ROLE_FILLER && !isItemView(*role);
}

// The toolkit's hit test from `from` down. Where it answers with the element
// asked, a toolkit whose hit test goes deep has found it; the others may have
// stopped at a container (a notebook, a stack), and there, as wherever the
// answer is not shown or not under the point, the shown child under the point
// by extents goes on. A toolkit that answers nothing at all where it was asked
// (GTK 4 does, at every level) is not asked again on the way down.
AccessibleRef descend(AtspiReader& reader, AccessibleRef from, int x, int y) {
  // A tree another application hangs into this one (a web view's page) is
  // hit-tested as its own toolkit does it.
  std::string hitApplication;
  bool ownHitAnswers = true;
  AccessibleRef current = std::move(from);
  for (int depth = 0; depth < deepestHit; ++depth) {
    const ToolkitTraits& toolkit = reader.toolkitOf(current.get());
    if (const std::string* application = CallGuard::applicationOf(current.get());
        application != nullptr && *application != hitApplication) {
      hitApplication = *application;
      ownHitAnswers = true;
    }
    // A tab's own hit test answers with its page wherever the point is, and a
    // window's that keeps its popovers among its children with the content
    // below an open one: there the shown child on top by extents goes on.
    const bool byExtentsOnly =
        reader.role(current.get()) == ATSPI_ROLE_PAGE_TAB || (depth == 0 && toolkit.popoversAmongWindowChildren);
    AccessibleRef deeper;
    const bool ownHitAsked = ownHitAnswers && !byExtentsOnly;
    if (ownHitAsked) {
      deeper = reader.accessibleAtPoint(current.get(), x, y);
      // The top of a tree hung from another process (no states at all) answers
      // nothing for the tree below it.
      ownHitAnswers = deeper || !hasPlace(reader, current.get()) || reader.states(current.get()) == StateBits{0};
    }
    const bool onCurrent = !deeper || sameAccessible(deeper.get(), current.get());
    if (onCurrent && toolkit.hitTestGoesDeep) break;
    if (!deeper && ownHitAsked && emptyHitIsFinal(reader, current.get())) break;
    if (onCurrent || !answersThePoint(reader, deeper.get(), x, y)) deeper = shownChildAt(reader, current.get(), x, y);
    if (!deeper || sameAccessible(deeper.get(), current.get())) break;
    current = std::move(deeper);
  }
  return current;
}

// A menu, combo list or tooltip of the application in front holding the point:
// such windows lie above every window the window manager stacks.
AccessibleRef frontPopupAt(Applications& applications, double x, double y) {
  auto front = applications.frontmost();
  if (!front || !front->application) return {};
  return applications.popupAt(*front, x, y);
}

}  // namespace

AccessibleRef hitTest(Applications& applications, AtspiReader& reader, double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) >= INT_MAX || std::fabs(y) >= INT_MAX) return {};
  const int pixelX = static_cast<int>(std::floor(x));
  const int pixelY = static_cast<int>(std::floor(y));

  const std::vector<ClientWindow>& clients = applications.clients();
  if (clients.empty()) {
    AccessibleRef window = windowWithoutStacking(applications, reader, x, y);
    return window ? descend(reader, std::move(window), pixelX, pixelY) : AccessibleRef();
  }
  if (AccessibleRef popup = frontPopupAt(applications, x, y)) {
    return descend(reader, std::move(popup), pixelX, pixelY);
  }
  for (const ClientWindow& client : clients) {
    if (!client.frame.contains(x, y)) continue;
    // The topmost window holds the point, even on its decorations: nothing below
    // it can be hit there.
    AccessibleRef window = applications.windowForClient(client, x, y);
    if (!window) return {};
    if (!client.client.contains(x, y)) return window;
    return descend(reader, std::move(window), pixelX, pixelY);
  }
  return {};
}

}  // namespace morvel::linux_ax
