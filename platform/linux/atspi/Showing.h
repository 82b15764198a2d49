#pragma once

// What the toolkit shows: an element is part of the tree the commands see only
// while it is both SHOWING and VISIBLE. Hidden notebook pages, closed popups and
// collapsed lists keep their accessibles (and often their last extents); the
// states are what tells them apart, and libatspi usually holds them already.
// Some toolkits leave a collapsed list or a hidden field SHOWING with an empty
// frame: such tables, lists and fields are not children either.

#include "platform/linux/atspi/AtspiReader.h"

#include <vector>

namespace morvel::linux_ax {

bool isShown(AtspiReader& reader, AtspiAccessible* accessible);
// Whether the toolkit gives `accessible` a place on screen at all.
bool hasPlace(AtspiReader& reader, AtspiAccessible* accessible);
// Where `accessible` lies on the screen. What has no place of its own but
// holds one element (GTK 4's stack and notebook pages) lies where that does.
std::optional<PixelRect> placeOf(AtspiReader& reader, AtspiAccessible* accessible);
// The children placeOf lists of an element without a place: enough to tell one
// from more without the count, where the toolkit lists them in one message.
inline constexpr int childrenListedForPlace = 2;
// The toolkit reports a frame for `accessible`, and it is empty (0 wide or high).
bool hasEmptyFrame(AtspiReader& reader, AtspiAccessible* accessible);

// The children of `accessible` that are shown, in order, from at most `limit` children.
std::optional<std::vector<AccessibleRef>> shownChildren(AtspiReader& reader, AtspiAccessible* accessible, int limit);

}  // namespace morvel::linux_ax
