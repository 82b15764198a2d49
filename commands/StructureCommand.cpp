#include "commands/StructureCommand.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "commands/AddAffordance.h"
#include "commands/ReplyRecords.h"
#include "commands/RowSerialization.h"
#include "commands/StructureViaOcr.h"


namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;


const ax::RoleSet& containerRoles() {
  static const ax::RoleSet roles = {ax::AXTable, ax::AXOutline, ax::AXGrid, ax::AXList};
  return roles;
}

// The first container in pre-order: the outermost and earliest, whatever its size.
// The walk ends there.
std::optional<Element> firstContainer(Accessibility& ax, const Element& window) {
  std::optional<Element> container;
  int budget = containerWalk.budget;
  ax::visitByRole(ax, window, containerRoles(), 0, containerWalk.maxDepth, budget, [&container](const Element& found) {
    container = found;
    return ax::WalkOn::Stop;
  });
  return container;
}

Json containerStructure(Accessibility& ax, const Element& window, const Element& container) {
  Json rows = serializeRows(ax, container);
  Json reply = {{"found", true},
                {"containerRole", ax::axString(ax, container, ax::AXRole).value_or("unknown")},
                {"rowCount", rows.size()}};
  reply["rows"] = std::move(rows);
  if (auto frame = ax::axFrame(ax, container)) reply["containerFrame"] = frameDictionary(*frame);
  // The window, not the container: add buttons usually sit in a toolbar beside the list.
  if (auto affordance = findAddAffordance(ax, window)) reply["addAffordance"] = std::move(*affordance);
  return reply;
}

bool foundIsTrue(const Json& reply) {
  auto found = reply.find("found");
  return found != reply.end() && found->is_boolean() && found->get<bool>();
}

}  // namespace

Json cmdStructure(Platform& platform) {
  Accessibility& ax = platform.ax;
  const ax::FrontWindow front = ax::frontmostWindow(ax);
  if (!front.window) return notFoundReply();
  const Element& window = *front.window;

  if (auto container = firstContainer(ax, window)) return containerStructure(ax, window, *container);

  // Recognised rows carry their own add control, read from the same text.
  Json reply = structureViaOCR(platform, window);
  if (foundIsTrue(reply)) return reply;
  if (auto affordance = findAddAffordance(ax, window)) reply["addAffordance"] = std::move(*affordance);
  return reply;
}

}  // namespace morvel
