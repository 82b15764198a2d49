#pragma once

// The portable name of an element: its identifying texts and its position among
// the same-role children of its parent. Clients store descriptors in selectors
// and send them back, so the keys are a wire format.

#include "accessibility/Accessibility.h"

#include <nlohmann/json.hpp>

namespace morvel::ax {

// "role", "subrole", "identifier", "title", "description", "roleDescription"
// when readable as text, "value" too when `includeValue`, and always "index".
nlohmann::json elementDescriptor(Accessibility& ax, const Element& element, bool includeValue);

// The element's 0-based position among its parent's children whose role reads the
// same as its own; 0 without a parent or when the parent does not list it.
std::int64_t siblingIndex(Accessibility& ax, const Element& element);

}  // namespace morvel::ax
