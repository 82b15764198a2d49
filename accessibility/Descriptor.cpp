#include "accessibility/Descriptor.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"

#include <optional>

namespace morvel::ax {

std::int64_t siblingIndex(Accessibility& ax, const Element& element) {
  auto parent = axElementAttr(ax, element, AXParent);
  if (!parent) return 0;
  const auto ownRole = axString(ax, element, AXRole);

  // Every sibling's role is read, wherever the element stands among them.
  std::optional<std::int64_t> position;
  std::int64_t sameRoleSeen = 0;
  for (const Element& child : axChildren(ax, *parent, AXChildren)) {
    if (axString(ax, child, AXRole) != ownRole) continue;
    if (!position && ax.isSameElement(child, element)) position = sameRoleSeen;
    ++sameRoleSeen;
  }
  return position.value_or(0);
}

}  // namespace morvel::ax
