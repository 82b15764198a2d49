#include "platform/sim/SimDesktop.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"
#include "platform/sim/SceneLoader.h"
#include "platform/sim/SimState.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace morvel::sim {
namespace {

constexpr double millisecondsPerSecond = 1000;

std::optional<ax::AttrValue> outcomeOf(const StoredValue& stored) {
  if (stored.outcome != StoredValue::Outcome::Value) return std::nullopt;
  return stored.value;
}

std::optional<std::string> explicitRole(const Node& node) {
  auto found = node.attrs.find(ax::AXRole);
  if (found != node.attrs.end()) {
    auto value = outcomeOf(found->second);
    return value ? ax::textOf(*value) : std::nullopt;
  }
  if (node.isApplication) return ax::AXApplication;
  return std::nullopt;
}

// A scene duration in milliseconds as a clock duration, kept within the clock's range.
ax::Microseconds microseconds(double ms) {
  constexpr double longest = 1e15;  // about 30 years
  return ax::Microseconds(static_cast<std::int64_t>(std::min(ms, longest) * 1000));
}

ax::AttrArray elementsOf(const std::vector<Node*>& nodes) {
  ax::AttrArray items;
  items.reserve(nodes.size());
  for (const Node* node : nodes) items.emplace_back(node->element());
  return items;
}

}  // namespace

const Node* nodeOf(const ax::Element& element) {
  const auto* handle = element.nodeAs<NodeHandle>();
  return handle != nullptr ? handle->node : nullptr;
}

// ---- reads -------------------------------------------------------------------

std::optional<ax::AttrValue> SimDesktop::State::readNode(const Node& node, std::string_view attribute) const {
  if (auto found = node.attrs.find(attribute); found != node.attrs.end()) return outcomeOf(found->second);

  if (attribute == ax::AXChildren && node.listsChildren) return elementsOf(node.children);
  if (attribute == ax::AXParent && node.parent != nullptr) return node.parent->element();
  if (attribute == ax::AXRole && node.isApplication) return ax::AXApplication;
  if (attribute == ax::AXWindows && node.isApplication && node.listsChildren) {
    std::vector<Node*> windows;
    for (Node* child : node.children) {
      if (explicitRole(*child) == ax::AXWindow) windows.push_back(child);
    }
    return elementsOf(windows);
  }
  return std::nullopt;
}

std::optional<ax::Rect> SimDesktop::State::frameOf(const Node& node) const {
  if (auto frame = readNode(node, ax::AXFrame)) {
    if (const auto* rect = frame->get<ax::Rect>()) return *rect;
  }
  auto position = readNode(node, ax::AXPosition);
  auto size = readNode(node, ax::AXSize);
  if (!position || !size) return std::nullopt;
  const auto* point = position->get<ax::Point>();
  const auto* extent = size->get<ax::Size>();
  if (point == nullptr || extent == nullptr) return std::nullopt;
  return ax::Rect{point->x, point->y, extent->width, extent->height};
}

double SimDesktop::State::timeoutMsFor(const ax::Element& element) const {
  if (const Node* node = nodeOf(element)) {
    if (auto own = nodeTimeouts.find(node); own != nodeTimeouts.end()) return own->second * millisecondsPerSecond;
  } else if (const auto* missing = element.nodeAs<MissingApplicationHandle>()) {
    auto own = missingApplicationTimeouts.find(missing->pid);
    if (own != missingApplicationTimeouts.end()) return own->second * millisecondsPerSecond;
  } else if (element.nodeAs<SystemWideHandle>() == nullptr) {
    return scene.defaultTimeoutMs;
  }
  if (systemWideTimeout) return *systemWideTimeout * millisecondsPerSecond;
  return scene.defaultTimeoutMs;
}

bool SimDesktop::State::awaitApplication(const Application* application, double timeoutMs) {
  if (application == nullptr) return true;
  if (hungApplications.contains(application)) return false;
  const double delayMs = application->responseDelayMs;
  if (delayMs <= 0) return true;
  if (delayMs > timeoutMs) {
    baseClock.sleepFor(microseconds(timeoutMs));
    hungApplications.insert(application);
    return false;
  }
  baseClock.sleepFor(microseconds(delayMs));
  return true;
}

// ---- the desktop ---------------------------------------------------------------

SimDesktop::SimDesktop(std::unique_ptr<State> state) : state_(std::move(state)) {}
SimDesktop::~SimDesktop() = default;

std::unique_ptr<SimDesktop> SimDesktop::fromJson(const nlohmann::json& scene, ax::Clock& clock) {
  return std::unique_ptr<SimDesktop>(new SimDesktop(std::make_unique<State>(loadScene(scene), clock)));
}

std::unique_ptr<SimDesktop> SimDesktop::fromFile(const std::filesystem::path& path, ax::Clock& clock) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw SceneError("cannot open the scene file");
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw SceneError("cannot read the scene file");
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(text.str());
  } catch (const nlohmann::json::parse_error& error) {
    throw SceneError(std::string("not valid JSON: ") + error.what());
  }
  return fromJson(document, clock);
}

std::optional<ax::Element> SimDesktop::elementWithId(std::string_view id) const {
  for (const auto& node : state_->scene.nodes) {
    if (node->id == id) return node->element();
  }
  return std::nullopt;
}

ax::Clock& SimDesktop::clock() { return state_->countingClock; }

nlohmann::json SimDesktop::takeStats() {
  const CallCounts counts = std::exchange(state_->counts, CallCounts{});
  return {{"reads", counts.reads},
          {"hitTests", counts.hitTests},
          {"captures", counts.captures},
          {"recognitions", counts.recognitions},
          {"sleeps", counts.sleeps}};
}

ax::Element SimDesktop::createSystemWide() { return ax::Element(state_->systemWide); }

ax::Element SimDesktop::createApplication(std::int32_t pid) {
  state_->applyDueSteps();
  for (const Node* application : state_->scene.applications) {
    if (application->application->pid == pid) return application->element();
  }
  return ax::Element(std::make_shared<const MissingApplicationHandle>(pid));
}

std::optional<ax::AttrValue> SimDesktop::copyAttributeValue(const ax::Element& element, std::string_view attribute) {
  State& state = *state_;
  ++state.counts.reads;
  state.applyDueSteps();
  if (element.nodeAs<SystemWideHandle>() != nullptr) {
    if (!state.scene.systemWide) return std::nullopt;
    auto found = state.scene.systemWide->find(attribute);
    return found != state.scene.systemWide->end() ? outcomeOf(found->second) : std::nullopt;
  }
  const Node* node = nodeOf(element);
  if (node == nullptr) return std::nullopt;
  if (!state.awaitApplication(node->application, state.timeoutMsFor(element))) return std::nullopt;
  if (node->presence != Node::Presence::Live) return std::nullopt;
  return state.readNode(*node, attribute);
}

std::optional<ax::Element> SimDesktop::copyElementAtPosition(const ax::Element& systemWide, float x, float y) {
  ++state_->counts.hitTests;
  state_->applyDueSteps();
  if (systemWide.nodeAs<SystemWideHandle>() == nullptr) return std::nullopt;
  return state_->hitTest(x, y);
}

void SimDesktop::setMessagingTimeout(const ax::Element& element, double seconds) {
  State& state = *state_;
  // As on the original platform, zero (or less) puts the default back.
  const bool reset = !(seconds > 0);
  auto assign = [&](auto& map, const auto& key) {
    if (reset) {
      map.erase(key);
    } else {
      map[key] = seconds;
    }
  };
  if (element.nodeAs<SystemWideHandle>() != nullptr) {
    state.systemWideTimeout = reset ? std::nullopt : std::optional<double>(seconds);
  } else if (const Node* node = nodeOf(element)) {
    assign(state.nodeTimeouts, node);
  } else if (const auto* missing = element.nodeAs<MissingApplicationHandle>()) {
    assign(state.missingApplicationTimeouts, missing->pid);
  }
}

bool SimDesktop::isSameElement(const ax::Element& a, const ax::Element& b) {
  if (a.nodeAs<SystemWideHandle>() != nullptr || b.nodeAs<SystemWideHandle>() != nullptr) {
    return a.nodeAs<SystemWideHandle>() != nullptr && b.nodeAs<SystemWideHandle>() != nullptr;
  }
  const auto* missingA = a.nodeAs<MissingApplicationHandle>();
  const auto* missingB = b.nodeAs<MissingApplicationHandle>();
  if (missingA != nullptr || missingB != nullptr) {
    return missingA != nullptr && missingB != nullptr && missingA->pid == missingB->pid;
  }
  const Node* nodeA = nodeOf(a);
  return nodeA != nullptr && nodeA == nodeOf(b);
}

std::optional<ax::RunningApplication> SimDesktop::frontmostApplication() {
  state_->applyDueSteps();
  const auto& frontmost = state_->scene.frontmost;
  if (!frontmost) return std::nullopt;
  return ax::RunningApplication{frontmost->pid, frontmost->bundleId};
}

void SimDesktop::requestStarted() {
  if (!state_->timelineOrigin) state_->timelineOrigin = state_->baseClock.now();
}

void SimDesktop::replyWritten() { state_->hungApplications.clear(); }

}  // namespace morvel::sim
