#pragma once

// The desktop of a scene file, held in memory.

#include "accessibility/Accessibility.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel::sim {

struct Node;

// What one attribute of the scene makes a read do.
struct StoredValue {
  enum class Outcome { Value, Error, NoValue };
  Outcome outcome = Outcome::Value;
  std::optional<ax::AttrValue> value;  // set exactly when outcome is Value
};

using Attributes = std::map<std::string, StoredValue, std::less<>>;

// The handle a `Node` hands out; every `Element` of the node shares it.
struct NodeHandle final : ax::ElementNode {
  explicit NodeHandle(Node* target) : node(target) {}
  Node* node;
};

struct Application {
  std::int32_t pid = 0;
  double responseDelayMs = 0;
};

struct Node {
  enum class Presence { Live, Pending, Removed };

  std::optional<std::string> id;
  Attributes attrs;
  std::vector<Node*> children;        // the tree's children, in order
  bool listsChildren = false;         // the scene gave `children` (or `windows`) for it
  Node* parent = nullptr;             // the tree's parent
  Application* application = nullptr; // the application it belongs to; none for free elements
  bool isApplication = false;
  Presence presence = Presence::Live;
  std::shared_ptr<const NodeHandle> handle;

  ax::Element element() const { return ax::Element(handle); }
};

struct Frontmost {
  std::int32_t pid = 0;
  std::optional<std::string> bundleId;
};

struct HitTestEntry {
  ax::Rect rect;
  Node* element = nullptr;  // none when the entry makes the hit test fail
};

struct ScreenLine {
  std::optional<std::string> text;  // none for an observation without a candidate
  double confidence = 1;
  ax::Rect rect;
};

struct ScreenModel {
  double scale = 1;
  bool captureFails = false;
  bool recognizerFails = false;
  std::vector<ScreenLine> lines;
};

struct AddStep {
  Node* parent = nullptr;
  std::optional<std::size_t> index;  // the end when absent
  Node* element = nullptr;
};

struct TimelineStep {
  double atMs = 0;
  std::vector<std::pair<Node*, Attributes>> sets;
  std::optional<AddStep> add;
  Node* remove = nullptr;
  bool changesFrontmost = false;
  std::optional<Frontmost> frontmost;
};

struct Scene {
  std::vector<std::unique_ptr<Node>> nodes;  // owns every element, whatever its presence
  std::vector<std::unique_ptr<Application>> applicationRecords;
  std::vector<Node*> applications;  // in scene order
  std::optional<Attributes> systemWide;
  std::optional<Frontmost> frontmost;
  std::optional<std::vector<HitTestEntry>> hitTest;
  std::optional<ScreenModel> screen;
  std::vector<TimelineStep> timeline;  // ordered by atMs, ties in scene order
  double defaultTimeoutMs = 6000;
};

}  // namespace morvel::sim
