#pragma once

// The AX attributes of an element, read from AT-SPI: names, states,
// interfaces and relations turned into the typed values of the boundary.

#include "accessibility/Accessibility.h"
#include "platform/linux/atspi/Applications.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/FocusTracker.h"
#include "platform/linux/atspi/RoleMapping.h"

#include <climits>
#include <optional>
#include <string_view>
#include <vector>

namespace morvel::linux_ax {

struct AttributeSources {
  AtspiReader& reader;
  Applications& applications;
  FocusTracker& focus;
  // The most items an array attribute is read to (AXRows stops there).
  int mostItems = INT_MAX;
};

std::optional<AxRole> axRoleOf(AtspiReader& reader, AtspiAccessible* accessible);

std::optional<ax::AttrValue> readElementAttribute(AttributeSources& sources, AtspiAccessible* accessible,
                                                  std::string_view attribute);
std::optional<ax::AttrValue> readSystemWideAttribute(AttributeSources& sources, std::string_view attribute);
// Asks the children of all of `accessibles` at once, ahead of the reads of their
// AXChildren, where their application cannot list them in one call;
// `grandchildrenNext`: the children's own children are read after.
void readChildrenAhead(AtspiReader& reader, const std::vector<AccessibleRef>& accessibles, bool grandchildrenNext);
// Asks for the cells of all of `rows` at once, ahead of the reads of their children.
void readRowCellsAhead(AtspiReader& reader, const std::vector<const TableRowNode*>& rows);
std::optional<ax::AttrValue> readRowAttribute(AttributeSources& sources, const TableRowNode& row,
                                              std::string_view attribute);

}  // namespace morvel::linux_ax
