#include "accessibility/Readers.h"

#include "accessibility/AXNames.h"
#include "text/NumberText.h"

namespace morvel::ax {

std::optional<std::string> textOf(const AttrValue& value) {
  if (const auto* text = value.get<std::string>()) return *text;
  if (const auto* integer = value.get<std::int64_t>()) return decimalText(*integer);
  if (const auto* floating = value.get<double>()) return decimalText(*floating);
  return std::nullopt;
}

std::optional<std::string> axString(Accessibility& ax, const Element& element, std::string_view attribute) {
  auto value = ax.copyAttributeValue(element, attribute);
  if (!value) return std::nullopt;
  if (auto* text = value->get<std::string>()) return std::move(*text);
  return textOf(*value);
}

std::optional<bool> axBool(Accessibility& ax, const Element& element, std::string_view attribute) {
  auto value = ax.copyAttributeValue(element, attribute);
  if (!value) return std::nullopt;
  if (const auto* flag = value->get<bool>()) return *flag;
  return std::nullopt;
}

std::optional<Rect> axFrame(Accessibility& ax, const Element& element) {
  if (auto frame = ax.copyAttributeValue(element, AXFrame)) {
    if (const auto* rect = frame->get<Rect>()) return *rect;
  }
  auto position = ax.copyAttributeValue(element, AXPosition);
  if (!position) return std::nullopt;
  auto size = ax.copyAttributeValue(element, AXSize);
  if (!size) return std::nullopt;
  const auto* point = position->get<Point>();
  const auto* extent = size->get<Size>();
  if (point == nullptr || extent == nullptr) return std::nullopt;
  return Rect{point->x, point->y, extent->width, extent->height};
}

namespace {

std::vector<Element> elementsOf(std::optional<AttrValue> value) {
  std::vector<Element> children;
  if (!value) return children;
  auto* items = value->get<AttrArray>();
  if (items == nullptr) return children;
  // The array is ours: its handles move over without touching their reference counts.
  children.reserve(items->size());
  for (AttrValue& item : *items) {
    if (auto* child = item.get<Element>()) children.push_back(std::move(*child));
  }
  return children;
}

}  // namespace

std::vector<Element> axChildren(Accessibility& ax, const Element& element, std::string_view attribute) {
  return elementsOf(ax.copyAttributeValue(element, attribute));
}

std::vector<Element> axChildren(Accessibility& ax, const Element& element, std::string_view attribute,
                                std::size_t limit) {
  return elementsOf(ax.copyAttributeValues(element, attribute, limit));
}

std::optional<Element> axElementAttr(Accessibility& ax, const Element& element, std::string_view attribute) {
  auto value = ax.copyAttributeValue(element, attribute);
  if (!value) return std::nullopt;
  if (const auto* target = value->get<Element>()) return *target;
  return std::nullopt;
}

}  // namespace morvel::ax
