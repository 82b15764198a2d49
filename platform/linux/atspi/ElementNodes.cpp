#include "platform/linux/atspi/ElementNodes.h"

#include <cstring>

namespace morvel::linux_ax {
bool sameAccessible(AtspiAccessible* a, AtspiAccessible* b) {
  if (a == nullptr || b == nullptr) return false;
  if (a == b) return true;
  const AtspiObject& left = a->parent;
  const AtspiObject& right = b->parent;
  if (left.app == nullptr || right.app == nullptr || left.path == nullptr || right.path == nullptr) return false;
  if (left.app->bus_name == nullptr || right.app->bus_name == nullptr) return false;
  return std::strcmp(left.app->bus_name, right.app->bus_name) == 0 && std::strcmp(left.path, right.path) == 0;
}

ax::Element makeElement(AccessibleRef accessible) {
  return ax::Element(std::make_shared<const AccessibleNode>(std::move(accessible)));
}

ax::Element makeSystemWideElement(AccessibleRef desktop) {
  return ax::Element(std::make_shared<const AccessibleNode>(std::move(desktop), /*systemWide=*/true));
}

ax::Element makeRowElement(AccessibleRef table, int row, std::optional<ColumnSpan> columns) {
  return ax::Element(std::make_shared<const TableRowNode>(std::move(table), row, columns));
}

ax::Element makeWindowSystemElement(std::int32_t pid, std::optional<WindowId> window) {
  return ax::Element(std::make_shared<const WindowSystemNode>(pid, window));
}

bool sameElement(const ax::Element& a, const ax::Element& b) {
  if (const auto* left = a.nodeAs<AccessibleNode>()) {
    const auto* right = b.nodeAs<AccessibleNode>();
    return right != nullptr && left->isSystemWide() == right->isSystemWide() &&
           sameAccessible(left->get(), right->get());
  }
  if (const auto* left = a.nodeAs<TableRowNode>()) {
    const auto* right = b.nodeAs<TableRowNode>();
    return right != nullptr && left->row() == right->row() && sameAccessible(left->table(), right->table());
  }
  if (const auto* left = a.nodeAs<WindowSystemNode>()) {
    const auto* right = b.nodeAs<WindowSystemNode>();
    return right != nullptr && left->pid() == right->pid() && left->window() == right->window();
  }
  return false;
}

}  // namespace morvel::linux_ax
