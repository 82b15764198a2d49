#include "commands/ReplyRecords.h"

#include "accessibility/AXNames.h"
#include "accessibility/Descriptor.h"
#include "accessibility/Readers.h"

#include <array>
#include <utility>

namespace morvel {
namespace {

constexpr std::array<std::pair<const char*, const char*>, 6> describedAttributes = {{
    {ax::AXRole, "role"},
    {ax::AXSubrole, "subrole"},
    {ax::AXIdentifier, "identifier"},
    {ax::AXTitle, "title"},
    {ax::AXDescription, "description"},
    {ax::AXRoleDescription, "roleDescription"},
}};

}  // namespace

Json frameDictionary(const ax::Rect& rect) {
  return {{"x", rect.x}, {"y", rect.y}, {"w", rect.width}, {"h", rect.height}};
}

Json elementDescriptor(ax::Accessibility& ax, const ax::Element& element, bool includeValue) {
  Json descriptor = Json::object();
  for (const auto& [attribute, key] : describedAttributes) {
    if (auto text = ax::axString(ax, element, attribute)) descriptor[key] = std::move(*text);
  }
  if (includeValue) {
    if (auto value = ax::axString(ax, element, ax::AXValue)) descriptor["value"] = std::move(*value);
  }
  descriptor["index"] = ax::siblingIndex(ax, element);
  return descriptor;
}

Json notFoundReply() { return {{"found", false}}; }

}  // namespace morvel
