#include "commands/SelectorScoring.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"
#include "text/UnicodeText.h"

#include <string_view>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;

constexpr int baseScore = 1;
constexpr int identifierPoints = 200;
constexpr int titlePoints = 60;
constexpr int descriptionPoints = 60;
constexpr int roleDescriptionPoints = 5;
constexpr int valuePoints = 10;

// The target's text under `key`; any other JSON type counts as absent.
std::optional<std::string> targetText(const Json& target, std::string_view key) {
  if (!target.is_object()) return std::nullopt;
  auto found = target.find(key);
  if (found == target.end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

std::optional<std::string> nonEmptyTargetText(const Json& target, std::string_view key) {
  auto text = targetText(target, key);
  if (text && text->empty()) return std::nullopt;
  return text;
}

bool attributeEquals(Accessibility& ax, const Element& element, std::string_view attribute, std::string_view wanted) {
  auto text = ax::axString(ax, element, attribute);
  return text && canonicallyEqual(*text, wanted);
}

struct OptionalMatch {
  std::optional<std::string> ScoringTarget::*wanted;
  const char* attribute;
  int points;
};

// Names that only add points, in the order they are scored.
constexpr OptionalMatch optionalMatches[] = {
    {&ScoringTarget::title, ax::AXTitle, titlePoints},
    {&ScoringTarget::description, ax::AXDescription, descriptionPoints},
    {&ScoringTarget::roleDescription, ax::AXRoleDescription, roleDescriptionPoints},
    {&ScoringTarget::value, ax::AXValue, valuePoints},
};

}  // namespace

ScoringTarget scoringTargetOf(const Json& target) {
  // An empty role still counts: it rules out every element whose role reads otherwise.
  return {.role = targetText(target, "role"),
          .identifier = nonEmptyTargetText(target, "identifier"),
          .title = nonEmptyTargetText(target, "title"),
          .description = nonEmptyTargetText(target, "description"),
          .roleDescription = nonEmptyTargetText(target, "roleDescription"),
          .value = nonEmptyTargetText(target, "value")};
}

void readScoringAhead(Accessibility& ax, const std::vector<Element>& candidates, const ScoringTarget& target) {
  if (target.identifier) ax.readAhead(candidates, {ax::AXIdentifier});
  for (const OptionalMatch& match : optionalMatches) {
    if (target.*match.wanted) ax.readAhead(candidates, {match.attribute});
  }
}

int scoreAgainstTarget(Accessibility& ax, const Element& element, const ScoringTarget& target) {
  if (target.role && !attributeEquals(ax, element, ax::AXRole, *target.role)) return ruledOut;
  return scoreWithMatchingRole(ax, element, target);
}

int scoreWithMatchingRole(Accessibility& ax, const Element& element, const ScoringTarget& target) {
  int score = baseScore;
  if (target.identifier) {
    if (!attributeEquals(ax, element, ax::AXIdentifier, *target.identifier)) return ruledOut;
    score += identifierPoints;
  }

  for (const OptionalMatch& match : optionalMatches) {
    const auto& wanted = target.*match.wanted;
    if (wanted && attributeEquals(ax, element, match.attribute, *wanted)) score += match.points;
  }
  return score;
}

int scoreAgainstTarget(Accessibility& ax, const Element& element, const Json& target) {
  return scoreAgainstTarget(ax, element, scoringTargetOf(target));
}

}  // namespace morvel
