#pragma once

// Where the user is working: the element with keyboard focus, and the front
// window of the frontmost application. Nothing is kept between calls.

#include "accessibility/Accessibility.h"

#include <optional>
#include <string>

namespace morvel::ax {

struct FrontWindow {
  std::optional<Element> window;
  std::optional<std::string> title;     // absent whenever the window is
  std::optional<std::string> bundleId;  // present whenever the application has one
};

std::optional<Element> resolveFocusedElement(Accessibility& ax);
FrontWindow frontmostWindow(Accessibility& ax);

}  // namespace morvel::ax
