#include "accessibility/AXNames.h"
#include "platform/sim/SimState.h"

#include <set>

namespace morvel::sim {
namespace {

bool contains(const ax::Rect& rect, double x, double y) {
  return rect.x <= x && x < rect.x + rect.width && rect.y <= y && y < rect.y + rect.height;
}

std::vector<const Node*> elementItems(const std::optional<ax::AttrValue>& value) {
  std::vector<const Node*> nodes;
  const auto* items = value ? value->get<ax::AttrArray>() : nullptr;
  if (items == nullptr) return nodes;
  for (const auto& entry : *items) {
    if (const auto* element = entry.get<ax::Element>()) {
      if (const Node* node = nodeOf(*element); node != nullptr && node->presence == Node::Presence::Live) {
        nodes.push_back(node);
      }
    }
  }
  return nodes;
}

}  // namespace

std::optional<ax::Element> SimDesktop::State::hitTest(float x, float y) {
  if (scene.hitTest) {
    for (const HitTestEntry& entry : *scene.hitTest) {
      if (!contains(entry.rect, x, y)) continue;
      if (entry.element == nullptr || entry.element->presence != Node::Presence::Live) return std::nullopt;
      return entry.element->element();
    }
  }

  // Windows of the frontmost application first, then those of the others.
  std::vector<const Node*> applications;
  const Node* front = nullptr;
  for (const Node* application : scene.applications) {
    if (scene.frontmost && application->application->pid == scene.frontmost->pid && front == nullptr) {
      front = application;
      applications.insert(applications.begin(), application);
    } else {
      applications.push_back(application);
    }
  }

  for (const Node* application : applications) {
    if (application->presence != Node::Presence::Live) continue;
    for (const Node* window : elementItems(readNode(*application, ax::AXWindows))) {
      auto frame = frameOf(*window);
      if (!frame || !contains(*frame, x, y)) continue;
      // The application under the point answers the hit test.
      if (!awaitApplication(application->application, timeoutMsFor(ax::Element(systemWide)))) return std::nullopt;
      const Node* hit = window;
      // Explicit children may lead back up the tree: elements already entered are passed over.
      std::set<const Node*> visited = {window};
      for (bool descended = true; descended;) {
        descended = false;
        auto children = elementItems(readNode(*hit, ax::AXChildren));
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
          if (visited.contains(*child)) continue;
          auto childFrame = frameOf(**child);
          if (childFrame && contains(*childFrame, x, y)) {
            visited.insert(*child);
            hit = *child;
            descended = true;
            break;
          }
        }
      }
      return hit->element();
    }
  }
  return std::nullopt;
}

}  // namespace morvel::sim
