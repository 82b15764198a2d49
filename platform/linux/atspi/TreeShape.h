#pragma once

// The tree as the AX model shapes it from AT-SPI's: only shown elements are
// children, and a notebook's pages, which AT-SPI hangs below their tabs, are
// children of the tab group itself after its tabs (a tab holds nothing). A spin
// button is a text field and an editable combo box a text field with a list:
// the editor (and arrows) some toolkits list below them, Qt and GTK 3 among
// them, are parts of them, not children. Parent and children agree, so that paths from
// one lead back through the other.

#include "platform/linux/atspi/AtspiReader.h"

#include <optional>
#include <vector>

namespace morvel::linux_ax {

std::optional<std::vector<AccessibleRef>> presentedChildren(AtspiReader& reader, AtspiAccessible* accessible, int limit);
AccessibleRef presentedParent(AtspiReader& reader, AtspiAccessible* accessible);
// The element of the tree that `accessible` is or is part of (a hit or the
// focus on a spin button's editor is on the spin button).
AccessibleRef presentedElement(AtspiReader& reader, AccessibleRef accessible);
// The application's top-level child that holds `accessible` (or is it).
AccessibleRef topLevelWindowOf(AtspiReader& reader, AtspiAccessible* accessible);

}  // namespace morvel::linux_ax
