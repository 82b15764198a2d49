#include "commands/ElementCommands.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "commands/ReplyRecords.h"
#include "text/UnicodeText.h"

#include <array>
#include <utility>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;

// How far above the hit element "element-at" looks for a named element.
constexpr int elementAtSearchLevels = 4;

// Copies the readable text attributes into the reply under their reply keys.
template <std::size_t N>
void addTexts(Json& reply, Accessibility& ax, const Element& element,
              const std::array<std::pair<const char*, const char*>, N>& attributesToKeys) {
  for (const auto& [attribute, key] : attributesToKeys) {
    if (auto text = ax::axString(ax, element, attribute)) reply[key] = *text;
  }
}

void addFrame(Json& reply, Accessibility& ax, const Element& element) {
  if (auto frame = ax::axFrame(ax, element)) reply["frame"] = frameDictionary(*frame);
}

std::optional<std::string> nameOf(Accessibility& ax, const Element& element) {
  if (auto description = ax::axString(ax, element, ax::AXDescription)) return description;
  return ax::axString(ax, element, ax::AXTitle);
}

bool isContainer(Accessibility& ax, const Element& element) {
  auto role = ax::axString(ax, element, ax::AXRole);
  return role && containerStopRoles().contains(*role);
}

}  // namespace

const std::set<std::string, std::less<>>& containerStopRoles() {
  static const std::set<std::string, std::less<>> roles = {ax::AXWebArea, ax::AXWindow,  ax::AXScrollArea,
                                                           ax::AXApplication, ax::AXSheet, ax::AXDrawer};
  return roles;
}

Element enclosingNamed(Accessibility& ax, const Element& element, int maxLevels) {
  if (maxLevels < 0) return element;
  Element current = element;
  for (int level = 0;;) {
    if (level > 0 && isContainer(ax, current)) return element;
    auto name = nameOf(ax, current);
    if (name && !trimBlank(*name).empty()) return current;
    // The last level looked at asks no parent.
    if (level == maxLevels) return element;
    auto parent = ax::axElementAttr(ax, current, ax::AXParent);
    if (!parent) return element;
    current = *parent;
    ++level;
  }
}

Json cmdElementAt(Platform& platform, double x, double y) {
  Accessibility& ax = platform.ax;
  auto hit = ax.copyElementAtPosition(ax.createSystemWide(), hitTestCoordinate(x), hitTestCoordinate(y));
  if (!hit) return notFoundReply();

  const Element described = enclosingNamed(ax, *hit, elementAtSearchLevels);
  Json reply = {{"found", true}};
  addTexts<5>(reply, ax, described,
              {{{ax::AXRole, "role"},
                {ax::AXSubrole, "subrole"},
                {ax::AXTitle, "title"},
                {ax::AXDescription, "description"},
                {ax::AXValue, "value"}}});
  reply["enabled"] = ax::axBool(ax, described, ax::AXEnabled).value_or(false);
  addFrame(reply, ax, described);
  return reply;
}

Json cmdFocused(Platform& platform) {
  Accessibility& ax = platform.ax;
  auto focused = ax::resolveFocusedElement(ax);
  if (!focused) return notFoundReply();

  // The frame and the selection are asked together.
  ax.readAhead({*focused}, {ax::AXRole, ax::AXSubrole, ax::AXTitle, ax::AXDescription, ax::AXValue,
                            ax::AXSelectedText, ax::AXFrame});
  Json reply = {{"found", true}};
  addTexts<6>(reply, ax, *focused,
              {{{ax::AXRole, "role"},
                {ax::AXSubrole, "subrole"},
                {ax::AXTitle, "title"},
                {ax::AXDescription, "description"},
                {ax::AXValue, "value"},
                {ax::AXSelectedText, "selectedText"}}});
  addFrame(reply, ax, *focused);
  return reply;
}

}  // namespace morvel
