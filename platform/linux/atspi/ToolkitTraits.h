#pragma once

// What an application's toolkit, by the name and version it gives on the bus,
// does differently from the others.

#include <string_view>

namespace morvel::linux_ax {

struct ToolkitTraits {
  // The elements it has on screen are marked SHOWING; GTK 4 (4.8 at least)
  // marks its windows only.
  bool marksShowing = true;
  // Its hit test goes on to the deepest element under the point: where it
  // answers with the element asked, the point lies on that element and none of
  // its children. GTK's and Qt's stop at containers (notebooks, stacks).
  bool hitTestGoesDeep = false;
};

// An application that does not say is taken to behave as most toolkits do.
ToolkitTraits traitsOfToolkit(std::string_view name, std::string_view version);

}  // namespace morvel::linux_ax
