#pragma once

// Where an element stands among its siblings: the part of an element's portable
// name that no attribute holds.

#include "accessibility/Accessibility.h"

#include <cstdint>

namespace morvel::ax {

// The element's 0-based position among its parent's children whose role reads the
// same as its own; 0 without a parent or when the parent does not list it.
std::int64_t siblingIndex(Accessibility& ax, const Element& element);

}  // namespace morvel::ax
