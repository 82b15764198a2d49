#include "platform/sim/SimState.h"

#include <algorithm>
#include <vector>

namespace morvel::sim {
namespace {

// Without recursion: added elements may hang below one another to any depth.
void setSubtree(Node& top, Node::Presence presence, Application* application) {
  std::vector<Node*> pending = {&top};
  while (!pending.empty()) {
    Node& node = *pending.back();
    pending.pop_back();
    node.presence = presence;
    if (!node.isApplication) node.application = application;
    pending.insert(pending.end(), node.children.begin(), node.children.end());
  }
}

void add(const AddStep& step) {
  Node& parent = *step.parent;
  Node& element = *step.element;
  if (element.presence != Node::Presence::Pending) return;  // added once only
  const std::size_t end = parent.children.size();
  const std::size_t index = std::min(step.index.value_or(end), end);
  parent.children.insert(parent.children.begin() + static_cast<std::ptrdiff_t>(index), &element);
  parent.listsChildren = true;
  element.parent = &parent;
  setSubtree(element, parent.presence, parent.application);
}

void remove(Node& element) {
  if (element.parent != nullptr) std::erase(element.parent->children, &element);
  setSubtree(element, Node::Presence::Removed, element.application);
}

void apply(Scene& scene, const TimelineStep& step) {
  for (const auto& [node, attributes] : step.sets) {
    for (const auto& [name, value] : attributes) node->attrs[name] = value;
  }
  if (step.add) add(*step.add);
  if (step.remove != nullptr) remove(*step.remove);
  if (step.changesFrontmost) scene.frontmost = step.frontmost;
}

}  // namespace

void SimDesktop::State::applyDueSteps() {
  if (!timelineOrigin) timelineOrigin = baseClock.now();
  const auto elapsed = baseClock.now() - *timelineOrigin;
  const double elapsedMs = static_cast<double>(elapsed.count()) / 1000.0;
  while (nextStep < scene.timeline.size() && scene.timeline[nextStep].atMs <= elapsedMs) {
    apply(scene, scene.timeline[nextStep++]);
  }
}

}  // namespace morvel::sim
