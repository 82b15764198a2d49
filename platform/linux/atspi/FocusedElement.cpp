#include "platform/linux/atspi/FocusedElement.h"

#include "platform/linux/atspi/Showing.h"
#include "platform/linux/atspi/TreeShape.h"

#include <vector>

namespace morvel::linux_ax {
namespace {

// Elements read in search of the focused one: a large dialog, not a document.
constexpr int mostElementsSearched = 2000;
constexpr int mostChildrenSearched = 500;

bool holdsFocus(AtspiReader& reader, AtspiAccessible* accessible) {
  auto states = reader.states(accessible);
  return states && hasState(*states, ATSPI_STATE_FOCUSED) && isShown(reader, accessible);
}

bool sameApplication(AtspiAccessible* a, AtspiAccessible* b) {
  const std::string* left = CallGuard::applicationOf(a);
  const std::string* right = CallGuard::applicationOf(b);
  return left != nullptr && right != nullptr && *left == *right;
}

// Whether `element` lies in a tree that another process hangs into
// `application`'s (WebKitGTK's page in its web view): its ancestors lead into
// the application.
bool hungInto(AtspiReader& reader, AtspiAccessible* element, AtspiAccessible* application) {
  // No page nests deeper; the bound stops a tree whose parents make a cycle.
  constexpr int deepestHungElement = 128;
  if (!reader.toolkitOf(element).hangsIntoOthers) return false;
  AccessibleRef current = AccessibleRef::share(element);
  for (int depth = 0; depth < deepestHungElement && current; ++depth) {
    if (sameApplication(current.get(), application)) return true;
    current = reader.parent(current.get());
  }
  return false;
}

// The element of the application's last focus event, where it still holds the
// focus. The application's ping comes back after every event it sent before,
// so that the last one handled is its latest.
AccessibleRef announcedFocus(AttributeSources& sources, AtspiAccessible* application) {
  const std::string* busName = CallGuard::applicationOf(application);
  if (busName == nullptr || !sources.reader.guard().ping(*busName)) return {};
  AccessibleRef focused = AccessibleRef::share(sources.focus.lastFocused());
  if (!focused) return {};
  if (!sameApplication(focused.get(), application) && !hungInto(sources.reader, focused.get(), application)) return {};
  // Its frame is asked with its states: the reply needs it.
  sources.reader.prefetch({focused}, StatesPart | ExtentsPart);
  if (!holdsFocus(sources.reader, focused.get())) return {};
  return focused;
}

bool takesFocus(AtspiReader& reader, AtspiAccessible* accessible) {
  auto states = reader.states(accessible);
  return states && hasState(*states, ATSPI_STATE_FOCUSABLE);
}

// Breadth first, a level at a time: each level's children are asked all at once.
// Qt marks the current page tab focused wherever the keyboard focus is, and
// the tab cannot take focus: an element that can is preferred, deeper or not.
AccessibleRef searchedFocus(AttributeSources& sources, AtspiAccessible* application) {
  AccessibleRef window = sources.applications.activeWindowOf(application);
  if (!window) return {};
  AtspiReader& reader = sources.reader;
  AccessibleRef unfocusable;
  std::vector<AccessibleRef> level{window};
  for (int searched = 0; !level.empty();) {
    for (const AccessibleRef& current : level) {
      if (searched++ >= mostElementsSearched) return unfocusable;
      if (!holdsFocus(reader, current.get())) continue;
      if (takesFocus(reader, current.get())) return current;
      if (!unfocusable) unfocusable = current;
    }
    reader.prefetchChildren(level, mostChildrenSearched, RolePart | StatesPart);
    std::vector<AccessibleRef> next;
    for (const AccessibleRef& current : level) {
      auto children = shownChildren(reader, current.get(), mostChildrenSearched);
      if (children) next.insert(next.end(), children->begin(), children->end());
    }
    level = std::move(next);
  }
  return unfocusable;
}

// The focused element as the toolkit has it: the last focus event where it
// still holds, else the Collection's answer (a search of the application by
// the application, costly on a large page), else a search of ours.
AccessibleRef toolkitFocus(AttributeSources& sources, AtspiAccessible* application) {
  if (AccessibleRef announced = announcedFocus(sources, application)) return announced;
  AtspiReader& reader = sources.reader;
  if (reader.hasCollection(application)) {
    AccessibleRef found = reader.firstDescendantWithState(application, ATSPI_STATE_FOCUSED);
    if (found) sources.focus.confirm(found.get());
    return found;
  }
  return searchedFocus(sources, application);
}

}  // namespace

AccessibleRef focusedDescendantOf(AttributeSources& sources, AtspiAccessible* application) {
  // The editor of a spin button or combo box takes the focus; the control is the element.
  return presentedElement(sources.reader, toolkitFocus(sources, application));
}

}  // namespace morvel::linux_ax
