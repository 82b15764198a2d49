#include "commands/AddAffordance.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "commands/ReplyRecords.h"
#include "text/TextPattern.h"

#include <array>
#include <string>
#include <string_view>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;

// Whole words only for the four verbs ("Address" is no add control), but the
// letters plus anywhere ("Surplus" counts) and a plus sign only when it stands alone.
constexpr std::string_view addControlPattern = R"((?i)\b(add|new|create|insert)\b|^\s*\+\s*$|plus)";

const ax::RoleSet& candidateRoles() {
  static const ax::RoleSet roles = {ax::AXButton, ax::AXMenuButton, ax::AXPopUpButton};
  return roles;
}

// Compiled on first use and shared: every search makes its own matcher.
const TextPattern& addControlText() {
  static const TextPattern pattern(addControlPattern);
  return pattern;
}

// Title, description and help, those present (empty ones included) joined by
// single spaces.
std::string joinedText(Accessibility& ax, const Element& control) {
  static constexpr std::array<std::string_view, 3> attributes = {ax::AXTitle, ax::AXDescription, ax::AXHelp};
  std::string joined;
  bool first = true;
  for (std::string_view attribute : attributes) {
    auto text = ax::axString(ax, control, attribute);
    if (!text) continue;
    if (!first) joined += ' ';
    joined += *text;
    first = false;
  }
  return joined;
}

Json affordanceRecord(Accessibility& ax, const Element& control, const std::string& matchedText) {
  // A title that reads, even an empty one, names the control better than its help text.
  Json record = {{"title", ax::axString(ax, control, ax::AXTitle).value_or(matchedText)}};
  if (auto frame = ax::axFrame(ax, control)) record["frame"] = frameDictionary(*frame);
  return record;
}

}  // namespace

std::optional<Json> findAddAffordance(Accessibility& ax, const Element& root) {
  const TextPattern& pattern = addControlText();
  if (!pattern.compiled()) return std::nullopt;

  // Each control is judged as the walk meets it, in pre-order: the first match
  // wins and the rest of the window is never read.
  std::optional<Json> affordance;
  int budget = addControlWalk.budget;
  ax::visitByRole(ax, root, candidateRoles(), 0, addControlWalk.maxDepth, budget, [&](const Element& control) {
    const std::string text = joinedText(ax, control);
    if (text.empty() || !pattern.foundIn(text)) return ax::WalkOn::Continue;
    affordance = affordanceRecord(ax, control, text);
    return ax::WalkOn::Stop;
  });
  return affordance;
}

}  // namespace morvel
