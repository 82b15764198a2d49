#pragma once

// Typed reads of single attributes. These are the only functions that look inside
// an attribute value; every failure is an absent value or an empty list.

#include "accessibility/Accessibility.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvel::ax {

// A text unchanged (an empty text included) or a number as its decimal text.
std::optional<std::string> axString(Accessibility& ax, const Element& element, std::string_view attribute);
// A boolean value only; numbers are not booleans.
std::optional<bool> axBool(Accessibility& ax, const Element& element, std::string_view attribute);
// "AXFrame" as a rectangle, else "AXPosition" and "AXSize" together.
std::optional<Rect> axFrame(Accessibility& ax, const Element& element);
// The element items of an array attribute, in order; empty on any failure.
std::vector<Element> axChildren(Accessibility& ax, const Element& element, std::string_view attribute);
// The first `limit` of them, read no further than the backend needs.
std::vector<Element> axChildren(Accessibility& ax, const Element& element, std::string_view attribute,
                                std::size_t limit);
std::optional<Element> axElementAttr(Accessibility& ax, const Element& element, std::string_view attribute);

// The text of a value by the rule of `axString`.
std::optional<std::string> textOf(const AttrValue& value);

}  // namespace morvel::ax
