#include "accessibility/Descriptor.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"

#include <array>
#include <utility>

namespace morvel::ax {
namespace {

constexpr std::array<std::pair<const char*, const char*>, 6> describedAttributes = {{
    {AXRole, "role"},
    {AXSubrole, "subrole"},
    {AXIdentifier, "identifier"},
    {AXTitle, "title"},
    {AXDescription, "description"},
    {AXRoleDescription, "roleDescription"},
}};

}  // namespace

nlohmann::json elementDescriptor(Accessibility& ax, const Element& element, bool includeValue) {
  nlohmann::json descriptor = nlohmann::json::object();
  for (const auto& [attribute, key] : describedAttributes) {
    if (auto text = axString(ax, element, attribute)) descriptor[key] = std::move(*text);
  }
  if (includeValue) {
    if (auto value = axString(ax, element, AXValue)) descriptor["value"] = std::move(*value);
  }
  descriptor["index"] = siblingIndex(ax, element);
  return descriptor;
}

std::int64_t siblingIndex(Accessibility& ax, const Element& element) {
  auto parent = axElementAttr(ax, element, AXParent);
  if (!parent) return 0;
  const auto ownRole = axString(ax, element, AXRole);

  // Every sibling's role is read, wherever the element stands among them.
  std::optional<std::int64_t> position;
  std::int64_t sameRoleSeen = 0;
  for (const Element& child : axChildren(ax, *parent, AXChildren)) {
    if (axString(ax, child, AXRole) != ownRole) continue;
    if (!position && ax.isSameElement(child, element)) position = sameRoleSeen;
    ++sameRoleSeen;
  }
  return position.value_or(0);
}

}  // namespace morvel::ax
