#include "platform/linux/atspi/TreeShape.h"

#include "platform/linux/atspi/Showing.h"

namespace morvel::linux_ax {
namespace {

// No toolkit nests this deep; the bound stops a tree that answers with a cycle.
constexpr int deepestElement = 64;

bool isEditor(AtspiReader& reader, AtspiAccessible* accessible) {
  const auto role = reader.role(accessible);
  return role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_ENTRY;
}

}  // namespace

std::optional<std::vector<AccessibleRef>> presentedChildren(AtspiReader& reader, AtspiAccessible* accessible, int limit) {
  const auto role = reader.role(accessible);
  if (role == ATSPI_ROLE_PAGE_TAB || role == ATSPI_ROLE_SPIN_BUTTON) return std::vector<AccessibleRef>{};
  auto children = shownChildren(reader, accessible, limit);
  if (children && role == ATSPI_ROLE_COMBO_BOX) {
    std::erase_if(*children, [&](const AccessibleRef& child) { return isEditor(reader, child.get()); });
  }
  if (!children || role != ATSPI_ROLE_PAGE_TAB_LIST) return children;
  std::vector<AccessibleRef> pages;
  for (const AccessibleRef& child : *children) {
    if (reader.role(child.get()) != ATSPI_ROLE_PAGE_TAB) continue;
    if (auto shownPages = shownChildren(reader, child.get(), limit)) {
      pages.insert(pages.end(), shownPages->begin(), shownPages->end());
    }
  }
  children->insert(children->end(), pages.begin(), pages.end());
  if (static_cast<int>(children->size()) > limit) children->resize(static_cast<std::size_t>(std::max(limit, 0)));
  return children;
}

AccessibleRef presentedParent(AtspiReader& reader, AtspiAccessible* accessible) {
  AccessibleRef parent = reader.parent(accessible);
  if (parent && reader.role(parent.get()) == ATSPI_ROLE_PAGE_TAB) return reader.parent(parent.get());
  return parent;
}

AccessibleRef presentedElement(AtspiReader& reader, AccessibleRef accessible) {
  if (!accessible) return accessible;
  // A spin button's parts are its editor and its arrows, an editable combo box's its editor.
  const bool editor = isEditor(reader, accessible.get());
  if (!editor && reader.role(accessible.get()) != ATSPI_ROLE_PUSH_BUTTON) return accessible;
  AccessibleRef parent = reader.parent(accessible.get());
  const auto parentRole = parent ? reader.role(parent.get()) : std::nullopt;
  if (parentRole == ATSPI_ROLE_SPIN_BUTTON || (editor && parentRole == ATSPI_ROLE_COMBO_BOX)) return parent;
  return accessible;
}

AccessibleRef topLevelWindowOf(AtspiReader& reader, AtspiAccessible* accessible) {
  AccessibleRef current = AccessibleRef::share(accessible);
  for (int depth = 0; depth < deepestElement && current; ++depth) {
    AccessibleRef parent = reader.parent(current.get());
    if (!parent) return {};
    if (reader.role(parent.get()) == ATSPI_ROLE_APPLICATION) return current;
    current = std::move(parent);
  }
  return {};
}

}  // namespace morvel::linux_ax
