#include "platform/linux/atspi/Showing.h"

#include <algorithm>

namespace morvel::linux_ax {

bool isShown(AtspiReader& reader, AtspiAccessible* accessible) {
  auto states = reader.states(accessible);
  return states && hasState(*states, ATSPI_STATE_SHOWING) && hasState(*states, ATSPI_STATE_VISIBLE);
}

std::optional<std::vector<AccessibleRef>> shownChildren(AtspiReader& reader, AtspiAccessible* accessible, int limit) {
  auto children = reader.children(accessible, limit);
  if (!children) return std::nullopt;
  std::erase_if(*children, [&](const AccessibleRef& child) { return !isShown(reader, child.get()); });
  return children;
}

}  // namespace morvel::linux_ax
