#pragma once

// AT-SPI roles, states and interfaces seen through the AX vocabulary of the
// protocol: clients store selectors holding these names, so every backend must
// give the same ones for the same kind of control.

#include <atspi/atspi-constants.h>

#include <optional>
#include <string>

namespace morvel::linux_ax {

struct AxRole {
  std::string role;
  std::optional<std::string> subrole;
};

// What besides the AT-SPI role decides the AX role. Each field is read only for
// the roles that need it, so callers may leave it unknown elsewhere.
struct RoleContext {
  bool multiLine = false;          // MULTI_LINE state, for text roles
  bool holdsEditableText = false;  // a combo box with an entry in it
  bool toplevel = false;           // the element is a child of its application
};

// Whether the AX role of `role` depends on the context fields.
bool needsEditableTextProbe(AtspiRole role);
bool needsToplevelProbe(AtspiRole role);
bool needsMultiLineProbe(AtspiRole role);

AxRole mapRole(AtspiRole role, const RoleContext& context);

// Tables, trees and lists: the views of items, which toolkits treat apart from
// other containers (how their children are listed, how a point finds a row).
bool isItemView(AtspiRole role);

// The AX roles whose "AXValue" is their text (Text interface), and those whose
// value is a check state (0 unchecked, 1 checked, 2 mixed).
bool isTextValued(const std::string& axRole);
bool isCheckValued(const std::string& axRole);

}  // namespace morvel::linux_ax
