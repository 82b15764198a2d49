#pragma once

// The AX attributes of an element, read from AT-SPI: names, states,
// interfaces and relations turned into the typed values of the boundary.

#include "accessibility/Accessibility.h"
#include "platform/linux/atspi/Applications.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/FocusTracker.h"
#include "platform/linux/atspi/RoleMapping.h"

#include <optional>
#include <string_view>

namespace morvel::linux_ax {

struct AttributeSources {
  AtspiReader& reader;
  Applications& applications;
  const FocusTracker& focus;
};

std::optional<AxRole> axRoleOf(AtspiReader& reader, AtspiAccessible* accessible);

std::optional<ax::AttrValue> readElementAttribute(AttributeSources& sources, AtspiAccessible* accessible,
                                                  std::string_view attribute);
std::optional<ax::AttrValue> readSystemWideAttribute(AttributeSources& sources, std::string_view attribute);
std::optional<ax::AttrValue> readRowAttribute(AttributeSources& sources, const TableRowNode& row,
                                              std::string_view attribute);

}  // namespace morvel::linux_ax
