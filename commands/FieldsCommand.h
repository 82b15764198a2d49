#pragma once

// "fields": the editable and choosable controls of the front window, each with its
// value, frame, states, label and a one-entry selector path.

#include "accessibility/Walkers.h"
#include "commands/Platform.h"
#include "commands/Reply.h"

#include <cstddef>

namespace morvel {

// Fields considered, cut before the size test so that the reply stays bounded.
inline constexpr std::size_t fieldLimit = 120;

Json cmdFields(Platform& platform);

// The roles that count as form fields. A secure text field is an "AXTextField"
// told apart by its subrole.
const ax::RoleSet& formFieldRoles();

}  // namespace morvel
