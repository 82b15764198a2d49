#include "record/TreeRecorder.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "commands/WalkBounds.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace morvel::record {
namespace {

using namespace std::chrono_literals;

// However slowly an application answers, its recording ends after this long.
constexpr ax::Microseconds applicationRecordingTimeout = 60s;

// Below an element met outside the tree (a table's row that is not among its
// children): deep and wide enough for the row's cells and the texts in them.
constexpr WalkBounds freeElementWalk{.maxDepth = 5, .budget = 200};

const ax::Microseconds readTimeout{static_cast<std::int64_t>(messagingTimeoutSeconds * 1e6)};

// Every attribute the commands read of an element. "AXSubrole" comes before the
// texts so that a secure field is known before its value is read.
constexpr std::array elementAttributes = {
    ax::AXRole,  ax::AXSubrole,           ax::AXRoleDescription, ax::AXIdentifier, ax::AXTitle,
    ax::AXDescription, ax::AXHelp,        ax::AXPlaceholderValue, ax::AXValue,     ax::AXSelectedText,
    ax::AXEnabled, ax::AXFrame,           ax::AXPosition,        ax::AXSize,       ax::AXTitleUIElement,
    ax::AXRows,  ax::AXFocusedUIElement,
};
constexpr std::array applicationAttributes = {ax::AXWindows, ax::AXFocusedWindow};
// Never written: what a secure text field holds.
constexpr std::array secretAttributes = {ax::AXValue, ax::AXSelectedText};

bool isSecret(const RecordedNode& node, std::string_view attribute) {
  const auto* subrole = node.attribute(ax::AXSubrole);
  const auto* text = subrole ? subrole->get<std::string>() : nullptr;
  return text && *text == ax::AXSecureTextField &&
         std::ranges::any_of(secretAttributes, [&](std::string_view secret) { return secret == attribute; });
}

std::vector<ax::Element> elementItems(const std::optional<ax::AttrValue>& value) {
  std::vector<ax::Element> elements;
  const auto* items = value ? value->get<ax::AttrArray>() : nullptr;
  if (!items) return elements;
  for (const auto& item : *items) {
    if (const auto* element = item.get<ax::Element>()) elements.push_back(*element);
  }
  return elements;
}

}  // namespace

TreeRecorder::TreeRecorder(Platform& platform) : platform_(platform) {}

bool TreeRecorder::mustStop() {
  if (!outOfTime_ && platform_.clock.now() - startedAt_ > applicationRecordingTimeout) {
    outOfTime_ = true;
    notes_.push_back("the application answered too slowly; the scene holds what it answered in " +
                     std::to_string(std::chrono::duration_cast<std::chrono::seconds>(applicationRecordingTimeout).count()) +
                     " seconds");
  }
  return stoppedAnswering_ || outOfTime_;
}

std::optional<ax::AttrValue> TreeRecorder::read(const ax::Element& element, std::string_view attribute) {
  if (mustStop()) return std::nullopt;
  const ax::Microseconds before = platform_.clock.now();
  auto value = platform_.ax.copyAttributeValue(element, attribute);
  if (!value) noteIfStoppedAnswering(before);
  return value;
}

void TreeRecorder::noteIfStoppedAnswering(ax::Microseconds askedAt) {
  if (stoppedAnswering_ || platform_.clock.now() - askedAt < readTimeout) return;
  stoppedAnswering_ = true;
  notes_.push_back("the application stopped answering; the scene holds what it answered before");
}

std::size_t TreeRecorder::addNode(RecordedTree& tree, const ax::Element& element, std::string id, bool isApplication) {
  tree.nodes.push_back(RecordedNode{.element = element, .id = std::move(id)});
  const std::size_t index = tree.nodes.size() - 1;
  auto readInto = [&](std::string_view attribute) {
    if (isSecret(tree.nodes[index], attribute)) return;
    if (auto value = read(element, attribute)) tree.nodes[index].attributes.push_back({attribute, std::move(*value)});
  };
  for (std::string_view attribute : elementAttributes) readInto(attribute);
  if (isApplication) {
    for (std::string_view attribute : applicationAttributes) readInto(attribute);
  }
  readInto(ax::AXParent);
  tree.nodes[index].parentRead = tree.nodes[index].attribute(ax::AXParent) != nullptr;
  return index;
}

void TreeRecorder::walkBelow(RecordedTree& tree, std::size_t index, int depth, int maxDepth, int& budget) {
  if (depth >= maxDepth) return;
  // Children that do not read stay unread in the scene too.
  const auto value = read(tree.nodes[index].element, ax::AXChildren);
  if (!value) return;
  const auto children = elementItems(value);
  tree.nodes[index].children.emplace();
  for (std::size_t position = 0; position < children.size(); ++position) {
    if (budget < 1) {
      budgetSpent_ = true;
      return;
    }
    if (mustStop()) return;
    --budget;
    const std::size_t child = addNode(tree, children[position], tree.nodes[index].id + "." + std::to_string(position), false);
    tree.nodes[child].parent = index;
    tree.nodes[index].children->push_back(child);
    walkBelow(tree, child, depth + 1, maxDepth, budget);
  }
}

RecordedTree TreeRecorder::recordApplication(const ax::RunningApplication& application, bool allWindows) {
  startedAt_ = platform_.clock.now();
  RecordedTree tree;
  const ax::Element systemWide = platform_.ax.createSystemWide();
  platform_.ax.setMessagingTimeout(systemWide, messagingTimeoutSeconds);

  const ax::Microseconds before = platform_.clock.now();
  const std::optional<ax::Element> front = ax::frontmostWindow(platform_.ax).window;
  if (!front) noteIfStoppedAnswering(before);

  const std::size_t app = addNode(tree, platform_.ax.createApplication(application.pid), "app", true);
  const auto windows = elementItems(read(tree.nodes[app].element, ax::AXChildren));
  tree.nodes[app].children.emplace();
  for (std::size_t position = 0; position < windows.size() && !mustStop(); ++position) {
    const std::size_t window = addNode(tree, windows[position], "app." + std::to_string(position), false);
    tree.nodes[window].parent = app;
    tree.nodes[app].children->push_back(window);
    const bool isFront = front && platform_.ax.isSameElement(*front, windows[position]);
    if (isFront) tree.frontWindow = window;
    if (isFront || allWindows) {
      int budget = windowWalk.budget - 1;  // the window itself is the walk's first element
      walkBelow(tree, window, 0, windowWalk.maxDepth, budget);
    }
  }
  if (front && !tree.frontWindow) {
    tree.frontWindow = tree.nodes.size();
    addNode(tree, *front, "front", false);
    int budget = windowWalk.budget - 1;
    walkBelow(tree, *tree.frontWindow, 0, windowWalk.maxDepth, budget);
  }
  if (budgetSpent_) {
    notes_.push_back("a window has more elements than the commands examine; the scene holds the first " +
                     std::to_string(windowWalk.budget));
  }
  for (std::string_view attribute : {ax::AXFocusedUIElement, ax::AXFocusedApplication}) {
    if (auto value = platform_.ax.copyAttributeValue(systemWide, attribute)) tree.systemWide.push_back({attribute, *value});
  }
  return tree;
}

std::size_t TreeRecorder::recordFreeElement(RecordedTree& tree, const ax::Element& element, std::string id) {
  const std::size_t index = addNode(tree, element, std::move(id), false);
  int budget = freeElementWalk.budget - 1;
  walkBelow(tree, index, 0, freeElementWalk.maxDepth, budget);
  return index;
}

const ax::AttrValue* RecordedNode::attribute(std::string_view name) const {
  auto found = std::ranges::find(attributes, name, &RecordedAttribute::name);
  return found == attributes.end() ? nullptr : &found->value;
}

std::optional<std::string> RecordedNode::role() const {
  const auto* value = attribute(ax::AXRole);
  return value ? ax::textOf(*value) : std::nullopt;
}

// As the commands' frame reader makes it: "AXFrame", else "AXPosition" and "AXSize".
std::optional<ax::Rect> RecordedNode::frame() const {
  const auto* frame = attribute(ax::AXFrame);
  if (const auto* rect = frame ? frame->get<ax::Rect>() : nullptr) return *rect;
  const auto* position = attribute(ax::AXPosition);
  const auto* size = attribute(ax::AXSize);
  const auto* point = position ? position->get<ax::Point>() : nullptr;
  const auto* extent = size ? size->get<ax::Size>() : nullptr;
  if (!point || !extent) return std::nullopt;
  return ax::Rect{point->x, point->y, extent->width, extent->height};
}

}  // namespace morvel::record
