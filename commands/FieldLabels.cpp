#include "commands/FieldLabels.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "text/UnicodeText.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;
using ax::Rect;

// Only the first static texts of the window may label a field; later ones never do.
constexpr std::size_t candidateStaticTextLimit = 400;
// Longer static texts are paragraphs, not labels.
constexpr std::size_t longestLabelCharacters = 80;

// A label may reach this far over the field's left or top edge.
constexpr double overlapTolerance = 4.0;
constexpr double largestLeftGap = 320.0;
constexpr double largestAboveGap = 60.0;

struct Edges {
  double minX;
  double maxX;
  double minY;
  double maxY;
};

// A rectangle of negative width or height is taken as the one it spans.
Edges edgesOf(const Rect& rect) {
  const double farX = rect.x + rect.width;
  const double farY = rect.y + rect.height;
  return {std::min(rect.x, farX), std::max(rect.x, farX), std::min(rect.y, farY), std::max(rect.y, farY)};
}

bool overlapsVertically(const Edges& a, const Edges& b) {
  return std::min(a.maxY, b.maxY) > std::max(a.minY, b.minY);
}

bool overlapsHorizontally(const Edges& a, const Edges& b) {
  return std::min(a.maxX, b.maxX) > std::max(a.minX, b.minX);
}

std::optional<double> leftDistance(const Edges& field, const Edges& candidate) {
  if (!overlapsVertically(field, candidate)) return std::nullopt;
  if (!(candidate.maxX <= field.minX + overlapTolerance)) return std::nullopt;
  const double distance = field.minX - candidate.maxX;
  if (!(distance <= largestLeftGap)) return std::nullopt;
  return distance;
}

std::optional<double> aboveDistance(const Edges& field, const Edges& candidate) {
  if (!overlapsHorizontally(field, candidate)) return std::nullopt;
  if (!(candidate.maxY <= field.minY + overlapTolerance)) return std::nullopt;
  const double distance = field.minY - candidate.maxY;
  if (!(distance <= largestAboveGap)) return std::nullopt;
  return distance;
}

// The text a static text shows: its value, else its title. An empty value is kept
// as it is; only a value that is missing or not a text falls back to the title.
std::optional<std::string> staticTextOf(Accessibility& ax, const Element& staticText) {
  if (auto value = ax::axString(ax, staticText, ax::AXValue)) return value;
  return ax::axString(ax, staticText, ax::AXTitle);
}

bool fitsAsLabel(std::string_view trimmed) {
  if (trimmed.empty()) return false;
  // Every character takes at least one byte, so short texts need no counting.
  return trimmed.size() <= longestLabelCharacters || graphemeCount(trimmed) <= longestLabelCharacters;
}

std::optional<std::string> trimmedNonEmpty(std::optional<std::string> text) {
  if (!text) return std::nullopt;
  const std::string_view trimmed = trimBlank(*text);
  if (trimmed.empty()) return std::nullopt;
  return std::string(trimmed);
}

std::optional<std::string> titleElementLabel(Accessibility& ax, const Element& field) {
  auto titleElement = ax::axElementAttr(ax, field, ax::AXTitleUIElement);
  if (!titleElement) return std::nullopt;
  if (auto value = trimmedNonEmpty(ax::axString(ax, *titleElement, ax::AXValue))) return value;
  return trimmedNonEmpty(ax::axString(ax, *titleElement, ax::AXTitle));
}

}  // namespace

std::vector<LabelCandidate> labelCandidates(Accessibility& ax, const Element& window) {
  const ax::RoleSet staticTextRole = {ax::AXStaticText};
  const std::vector<Element> staticTexts = ax::collectFirstByRole(ax, window, staticTextRole, labelCandidateWalk.maxDepth,
                                                                  labelCandidateWalk.budget, candidateStaticTextLimit);
  ax.readAhead(staticTexts, {ax::AXValue, ax::AXTitle, ax::AXFrame});
  std::vector<LabelCandidate> candidates;
  for (const Element& staticText : staticTexts) {
    auto text = staticTextOf(ax, staticText);
    if (!text) continue;
    // Judged before the frame is read: a text that cannot be a label costs no more reads.
    const std::string_view trimmed = trimBlank(*text);
    if (!fitsAsLabel(trimmed)) continue;
    auto frame = ax::axFrame(ax, staticText);
    if (!frame) continue;
    candidates.push_back({std::string(trimmed), *frame});
  }
  return candidates;
}

std::optional<FieldLabel> fieldLabel(Accessibility& ax, const Element& field,
                                     const std::vector<LabelCandidate>& candidates,
                                     const std::optional<Rect>& rect) {
  constexpr std::array<std::pair<const char*, const char*>, 3> ownLabelAttributes = {{
      {ax::AXTitle, "title"},
      {ax::AXDescription, "description"},
      {ax::AXPlaceholderValue, "placeholder"},
  }};
  for (const auto& [attribute, source] : ownLabelAttributes) {
    if (auto label = trimmedNonEmpty(ax::axString(ax, field, attribute))) return FieldLabel{*label, source};
  }
  if (auto label = titleElementLabel(ax, field)) return FieldLabel{*label, "titleElement"};
  if (!rect) return std::nullopt;
  if (auto label = nearestLabel(*rect, candidates)) return FieldLabel{*label, "nearby"};
  return std::nullopt;
}

std::optional<double> labelDistance(const Rect& field, const Rect& candidate) {
  const Edges fieldEdges = edgesOf(field);
  const Edges candidateEdges = edgesOf(candidate);
  const auto left = leftDistance(fieldEdges, candidateEdges);
  const auto above = aboveDistance(fieldEdges, candidateEdges);
  if (left && above) return std::min(*left, *above);
  return left ? left : above;
}

std::optional<std::string> nearestLabel(const Rect& field, const std::vector<LabelCandidate>& candidates) {
  const LabelCandidate* nearest = nullptr;
  double nearestDistance = 0;
  for (const LabelCandidate& candidate : candidates) {
    auto distance = labelDistance(field, candidate.rect);
    if (!distance) continue;
    // Strictly closer only: on equal distances the earlier candidate keeps its place.
    if (nearest == nullptr || *distance < nearestDistance) {
      nearest = &candidate;
      nearestDistance = *distance;
    }
  }
  if (nearest == nullptr) return std::nullopt;
  return nearest->text;
}

}  // namespace morvel
