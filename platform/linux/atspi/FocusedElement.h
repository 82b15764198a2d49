#pragma once

// The element of an application that holds keyboard focus.

#include "platform/linux/atspi/ElementAttributes.h"

namespace morvel::linux_ax {

// Asked of the application in one call where it offers the Collection
// interface. Elsewhere the last focus it announced, while that element is still
// focused and shown; failing that, the first focused element of a bounded
// search through the shown elements of its active window.
AccessibleRef focusedDescendantOf(AttributeSources& sources, AtspiAccessible* application);

}  // namespace morvel::linux_ax
