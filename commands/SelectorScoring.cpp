#include "commands/SelectorScoring.h"

#include "accessibility/Readers.h"
#include "text/UnicodeText.h"

#include <optional>
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
std::optional<std::string_view> targetText(const Json& target, std::string_view key) {
  if (!target.is_object()) return std::nullopt;
  auto found = target.find(key);
  if (found == target.end() || !found->is_string()) return std::nullopt;
  return found->get_ref<const std::string&>();
}

std::optional<std::string_view> nonEmptyTargetText(const Json& target, std::string_view key) {
  auto text = targetText(target, key);
  if (text && text->empty()) return std::nullopt;
  return text;
}

bool attributeEquals(Accessibility& ax, const Element& element, std::string_view attribute, std::string_view wanted) {
  auto text = ax::axString(ax, element, attribute);
  return text && canonicallyEqual(*text, wanted);
}

struct OptionalMatch {
  const char* key;
  const char* attribute;
  int points;
};

// Names that only add points, in the order they are scored.
constexpr OptionalMatch optionalMatches[] = {
    {"title", "AXTitle", titlePoints},
    {"description", "AXDescription", descriptionPoints},
    {"roleDescription", "AXRoleDescription", roleDescriptionPoints},
    {"value", "AXValue", valuePoints},
};

}  // namespace

int scoreAgainstTarget(Accessibility& ax, const Element& element, const Json& target) {
  // An empty role still has to match: it rules out every element whose role reads otherwise.
  if (auto role = targetText(target, "role")) {
    if (!attributeEquals(ax, element, "AXRole", *role)) return ruledOut;
  }

  int score = baseScore;
  if (auto identifier = nonEmptyTargetText(target, "identifier")) {
    if (!attributeEquals(ax, element, "AXIdentifier", *identifier)) return ruledOut;
    score += identifierPoints;
  }

  for (const OptionalMatch& match : optionalMatches) {
    auto wanted = nonEmptyTargetText(target, match.key);
    if (wanted && attributeEquals(ax, element, match.attribute, *wanted)) score += match.points;
  }
  return score;
}

}  // namespace morvel
