#pragma once

// The element of any application under a screen point: the topmost viewable
// window containing the point, by the X stacking order, then the toolkit's own
// hit test from that window downward until it finds nothing deeper.

#include "platform/linux/atspi/Applications.h"

namespace morvel::linux_ax {

AccessibleRef hitTest(Applications& applications, AtspiReader& reader, double x, double y);

}  // namespace morvel::linux_ax
