#pragma once

// How well one live element matches the target descriptor of a selector: strict
// about identity (role, identifier), forgiving about names (title, description,
// role description, value), so that a control whose label changed still matches,
// only less well.

#include "accessibility/Accessibility.h"
#include "commands/Reply.h"

#include <optional>
#include <string>
#include <vector>

namespace morvel {

// The score of a ruled-out element.
inline constexpr int ruledOut = -1;

// The texts of a target descriptor that scoring looks at, taken out of the JSON
// once so that many candidates can be scored against them. Keys that do not hold a
// string are absent; empty texts other than the role are absent too.
struct ScoringTarget {
  std::optional<std::string> role;
  std::optional<std::string> identifier;
  std::optional<std::string> title;
  std::optional<std::string> description;
  std::optional<std::string> roleDescription;
  std::optional<std::string> value;
};

ScoringTarget scoringTargetOf(const Json& target);

// `ruledOut` when the role or a named identifier differs or cannot be read,
// otherwise 1 plus the points of every named text that the element carries too
// (1 to 336). Reads only the attributes the target names, each at most once.
int scoreAgainstTarget(ax::Accessibility& ax, const ax::Element& element, const ScoringTarget& target);
int scoreAgainstTarget(ax::Accessibility& ax, const ax::Element& element, const Json& target);

// The same score for an element whose role has just been read equal to the
// target's (a candidate collected by that role): the role is not read again.
int scoreWithMatchingRole(ax::Accessibility& ax, const ax::Element& element, const ScoringTarget& target);
// Tells the platform which names the scoring is about to read of every candidate.
void readScoringAhead(ax::Accessibility& ax, const std::vector<ax::Element>& candidates, const ScoringTarget& target);

}  // namespace morvel
