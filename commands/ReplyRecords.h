#pragma once

// The records that several commands' replies share. Clients store descriptors
// in selectors and send them back, so these keys are a wire format.

#include "accessibility/Accessibility.h"
#include "commands/Reply.h"

namespace morvel {

// The frame dictionary: exactly "x", "y", "w", "h", unrounded.
Json frameDictionary(const ax::Rect& rect);

// The portable name of an element: "role", "subrole", "identifier", "title",
// "description", "roleDescription" when readable as text, "value" too when
// `includeValue`, and always "index", its position among the same-role children
// of its parent.
Json elementDescriptor(ax::Accessibility& ax, const ax::Element& element, bool includeValue);

// What a command answers when there is nothing to answer about.
Json notFoundReply();

}  // namespace morvel
