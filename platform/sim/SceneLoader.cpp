#include "platform/sim/SceneLoader.h"

#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace morvel::sim {
namespace {

using nlohmann::json;

std::string member(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string item(const std::string& path, std::size_t index) { return path + "[" + std::to_string(index) + "]"; }

[[noreturn]] void fail(const std::string& path, const std::string& problem) {
  throw SceneError((path.empty() ? std::string("top level") : path) + ": " + problem);
}

void requireObject(const json& value, const std::string& path) {
  if (!value.is_object()) fail(path, "expected an object");
}

void allowOnlyKeys(const json& object, std::initializer_list<std::string_view> allowed, const std::string& path) {
  for (const auto& [key, value] : object.items()) {
    if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) fail(member(path, key), "unknown key");
  }
}

double numberAt(const json& value, const std::string& path) {
  if (!value.is_number()) fail(path, "expected a number");
  return value.get<double>();
}

double nonNegativeNumberAt(const json& value, const std::string& path) {
  double number = numberAt(value, path);
  if (!(number >= 0)) fail(path, "expected a number of at least 0");
  return number;
}

std::int64_t integerAt(const json& value, const std::string& path, std::int64_t lowest, std::int64_t highest) {
  if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(highest)) {
    fail(path, "integer out of range");
  }
  if (!value.is_number_integer()) fail(path, "expected an integer");
  auto integer = value.get<std::int64_t>();
  if (integer < lowest || integer > highest) fail(path, "integer out of range");
  return integer;
}

bool booleanAt(const json& value, const std::string& path) {
  if (!value.is_boolean()) fail(path, "expected true or false");
  return value.get<bool>();
}

const std::string& textAt(const json& value, const std::string& path) {
  if (!value.is_string()) fail(path, "expected a string");
  return value.get_ref<const std::string&>();
}

std::vector<double> numbersAt(const json& value, std::size_t count, const std::string& path) {
  if (!value.is_array() || value.size() != count) fail(path, "expected an array of " + std::to_string(count) + " numbers");
  std::vector<double> numbers;
  for (std::size_t i = 0; i < count; ++i) numbers.push_back(numberAt(value[i], item(path, i)));
  return numbers;
}

ax::Rect rectAt(const json& value, const std::string& path) {
  auto n = numbersAt(value, 4, path);
  return {n[0], n[1], n[2], n[3]};
}

class Loader {
 public:
  Scene load(const json& document) {
    requireObject(document, "");
    allowOnlyKeys(document,
                  {"frontmost", "systemWide", "applications", "elements", "hitTest", "screen", "timeline",
                   "defaultTimeoutMs"},
                  "");
    declareApplications(document);
    declareFreeElements(document);
    declareTimelineElements(document);
    for (const auto& pending : pendingAttributes_) pending.node->attrs = attributesAt(*pending.attrs, pending.path);
    readSystemWide(document);
    readFrontmostAndTimeouts(document);
    readHitTest(document);
    readScreen(document);
    readTimeline(document);
    return std::move(scene_);
  }

 private:
  struct PendingAttributes {
    Node* node;
    const json* attrs;
    std::string path;
  };

  // ---- elements ------------------------------------------------------------

  Node* newNode(Node::Presence presence) {
    auto& node = scene_.nodes.emplace_back(std::make_unique<Node>());
    node->presence = presence;
    node->handle = std::make_shared<const NodeHandle>(node.get());
    return node.get();
  }

  void registerId(Node* node, const json& element, const std::string& path) {
    auto found = element.find("id");
    if (found == element.end()) return;
    const std::string& id = textAt(*found, member(path, "id"));
    if (!ids_.emplace(id, node).second) fail(member(path, "id"), "duplicate id \"" + id + "\"");
    node->id = id;
  }

  // Attributes may name any element, so they are read once every element is declared.
  void rememberAttributes(Node* node, const json& element, const std::string& path) {
    if (auto attrs = element.find("attrs"); attrs != element.end()) {
      pendingAttributes_.push_back({node, &*attrs, member(path, "attrs")});
    }
  }

  void declareChildren(Node* parent, const json& element, std::string_view key, const std::string& path) {
    auto found = element.find(key);
    if (found == element.end()) return;
    const std::string listPath = member(path, key);
    if (!found->is_array()) fail(listPath, "expected an array of elements");
    parent->listsChildren = true;
    for (std::size_t i = 0; i < found->size(); ++i) {
      Node* child = declareElement((*found)[i], item(listPath, i), parent->presence, parent->application);
      child->parent = parent;
      parent->children.push_back(child);
    }
  }

  Node* declareElement(const json& element, const std::string& path, Node::Presence presence, Application* application) {
    requireObject(element, path);
    allowOnlyKeys(element, {"id", "attrs", "children"}, path);
    Node* node = newNode(presence);
    node->application = application;
    registerId(node, element, path);
    rememberAttributes(node, element, path);
    declareChildren(node, element, "children", path);
    return node;
  }

  void declareApplications(const json& document) {
    auto found = document.find("applications");
    if (found == document.end()) return;
    if (!found->is_array()) fail("applications", "expected an array of applications");
    for (std::size_t i = 0; i < found->size(); ++i) {
      const json& entry = (*found)[i];
      const std::string path = item("applications", i);
      requireObject(entry, path);
      allowOnlyKeys(entry, {"id", "attrs", "children", "pid", "windows", "responseDelayMs"}, path);
      if (!entry.contains("pid")) fail(member(path, "pid"), "required");

      auto& record = scene_.applicationRecords.emplace_back(std::make_unique<Application>());
      record->pid = static_cast<std::int32_t>(integerAt(entry["pid"], member(path, "pid"), INT32_MIN, INT32_MAX));
      if (entry.contains("responseDelayMs")) {
        record->responseDelayMs = nonNegativeNumberAt(entry["responseDelayMs"], member(path, "responseDelayMs"));
      }
      Node* node = newNode(Node::Presence::Live);
      node->isApplication = true;
      node->application = record.get();
      registerId(node, entry, path);
      rememberAttributes(node, entry, path);
      declareChildren(node, entry, "windows", path);
      declareChildren(node, entry, "children", path);
      scene_.applications.push_back(node);
    }
  }

  void declareFreeElements(const json& document) {
    auto found = document.find("elements");
    if (found == document.end()) return;
    if (!found->is_array()) fail("elements", "expected an array of elements");
    for (std::size_t i = 0; i < found->size(); ++i) {
      declareElement((*found)[i], item("elements", i), Node::Presence::Live, nullptr);
    }
  }

  // Elements that a timeline step adds exist from the start, waiting.
  void declareTimelineElements(const json& document) {
    auto found = document.find("timeline");
    if (found == document.end()) return;
    if (!found->is_array()) fail("timeline", "expected an array of steps");
    for (std::size_t i = 0; i < found->size(); ++i) {
      const json& step = (*found)[i];
      const std::string path = item("timeline", i);
      requireObject(step, path);
      auto add = step.find("add");
      if (add == step.end()) continue;
      const std::string addPath = member(path, "add");
      requireObject(*add, addPath);
      allowOnlyKeys(*add, {"parent", "index", "element"}, addPath);
      if (!add->contains("element")) fail(member(addPath, "element"), "required");
      addedElements_[i] = declareElement((*add)["element"], member(addPath, "element"), Node::Presence::Pending, nullptr);
    }
  }

  Node* nodeById(const json& value, const std::string& path) {
    const std::string& id = textAt(value, path);
    auto found = ids_.find(id);
    if (found == ids_.end()) fail(path, "no element has the id \"" + id + "\"");
    return found->second;
  }

  // ---- values --------------------------------------------------------------

  StoredValue valueAt(const json& value, const std::string& path, bool insideArray) {
    switch (value.type()) {
      case json::value_t::string:
        return present(value.get<std::string>());
      case json::value_t::boolean:
        return present(value.get<bool>());
      case json::value_t::number_integer:
      case json::value_t::number_unsigned:
        return present(integerAt(value, path, INT64_MIN, INT64_MAX));
      case json::value_t::number_float:
        return present(value.get<double>());
      case json::value_t::array:
        return present(arrayAt(value, path));
      case json::value_t::null:
        if (insideArray) fail(path, "null cannot be an array item");
        return {StoredValue::Outcome::NoValue, std::nullopt};
      case json::value_t::object:
        return formAt(value, path, insideArray);
      default:
        fail(path, "unknown value form");
    }
  }

  static StoredValue present(ax::AttrValue value) { return {StoredValue::Outcome::Value, std::move(value)}; }

  ax::AttrArray arrayAt(const json& value, const std::string& path) {
    ax::AttrArray items;
    for (std::size_t i = 0; i < value.size(); ++i) items.push_back(*valueAt(value[i], item(path, i), true).value);
    return items;
  }

  StoredValue formAt(const json& value, const std::string& path, bool insideArray) {
    if (value.size() != 1) fail(path, "unknown value form: expected one of ref, point, size, rect, other, error");
    // The entry is kept by value: the proxy that items() hands out dies with the expression.
    const auto entry = value.items().begin();
    const std::string& form = entry.key();
    const json& content = entry.value();
    const std::string formPath = member(path, form);
    if (form == "ref") return present(nodeById(content, formPath)->element());
    if (form == "point") {
      auto n = numbersAt(content, 2, formPath);
      return present(ax::Point{n[0], n[1]});
    }
    if (form == "size") {
      auto n = numbersAt(content, 2, formPath);
      return present(ax::Size{n[0], n[1]});
    }
    if (form == "rect") return present(rectAt(content, formPath));
    if (form == "other") return present(ax::OtherKind{});
    if (form == "error") {
      if (insideArray) fail(path, "an error cannot be an array item");
      return {StoredValue::Outcome::Error, std::nullopt};
    }
    fail(path, "unknown value form \"" + std::string(form) + "\"");
  }

  Attributes attributesAt(const json& attrs, const std::string& path) {
    requireObject(attrs, path);
    Attributes result;
    for (const auto& [name, value] : attrs.items()) result[name] = valueAt(value, member(path, name), false);
    return result;
  }

  // ---- the rest of the desktop ---------------------------------------------

  void readSystemWide(const json& document) {
    auto found = document.find("systemWide");
    if (found == document.end() || found->is_null()) return;
    requireObject(*found, "systemWide");
    allowOnlyKeys(*found, {"attrs"}, "systemWide");
    scene_.systemWide = Attributes{};
    if (auto attrs = found->find("attrs"); attrs != found->end()) {
      scene_.systemWide = attributesAt(*attrs, "systemWide.attrs");
    }
  }

  std::optional<Frontmost> frontmostAt(const json& value, const std::string& path) {
    if (value.is_null()) return std::nullopt;
    requireObject(value, path);
    allowOnlyKeys(value, {"pid", "bundleId"}, path);
    if (!value.contains("pid")) fail(member(path, "pid"), "required");
    Frontmost frontmost;
    frontmost.pid = static_cast<std::int32_t>(integerAt(value["pid"], member(path, "pid"), INT32_MIN, INT32_MAX));
    if (auto bundle = value.find("bundleId"); bundle != value.end() && !bundle->is_null()) {
      frontmost.bundleId = textAt(*bundle, member(path, "bundleId"));
    }
    return frontmost;
  }

  void readFrontmostAndTimeouts(const json& document) {
    if (auto found = document.find("frontmost"); found != document.end()) {
      scene_.frontmost = frontmostAt(*found, "frontmost");
    }
    if (auto found = document.find("defaultTimeoutMs"); found != document.end()) {
      scene_.defaultTimeoutMs = nonNegativeNumberAt(*found, "defaultTimeoutMs");
    }
  }

  void readHitTest(const json& document) {
    auto found = document.find("hitTest");
    if (found == document.end() || found->is_null()) return;
    if (!found->is_array()) fail("hitTest", "expected an array of entries");
    scene_.hitTest.emplace();
    for (std::size_t i = 0; i < found->size(); ++i) {
      const json& entry = (*found)[i];
      const std::string path = item("hitTest", i);
      requireObject(entry, path);
      allowOnlyKeys(entry, {"rect", "element", "fail"}, path);
      if (!entry.contains("rect")) fail(member(path, "rect"), "required");
      HitTestEntry hit{rectAt(entry["rect"], member(path, "rect")), nullptr};
      const bool fails = entry.contains("fail") && booleanAt(entry["fail"], member(path, "fail"));
      if (entry.contains("element")) {
        if (fails) fail(path, "an entry names an element or fails, not both");
        hit.element = nodeById(entry["element"], member(path, "element"));
      } else if (!fails) {
        fail(path, "expected \"element\" or \"fail\": true");
      }
      scene_.hitTest->push_back(hit);
    }
  }

  void readScreen(const json& document) {
    auto found = document.find("screen");
    if (found == document.end() || found->is_null()) return;
    requireObject(*found, "screen");
    allowOnlyKeys(*found, {"scale", "captureFails", "recognizerFails", "lines"}, "screen");
    ScreenModel screen;
    if (auto scale = found->find("scale"); scale != found->end()) {
      screen.scale = numberAt(*scale, "screen.scale");
      if (!(screen.scale > 0)) fail("screen.scale", "expected a number greater than 0");
    }
    if (auto flag = found->find("captureFails"); flag != found->end()) {
      screen.captureFails = booleanAt(*flag, "screen.captureFails");
    }
    if (auto flag = found->find("recognizerFails"); flag != found->end()) {
      screen.recognizerFails = booleanAt(*flag, "screen.recognizerFails");
    }
    if (auto lines = found->find("lines"); lines != found->end()) {
      if (!lines->is_array()) fail("screen.lines", "expected an array of lines");
      for (std::size_t i = 0; i < lines->size(); ++i) screen.lines.push_back(screenLineAt((*lines)[i], item("screen.lines", i)));
    }
    scene_.screen = std::move(screen);
  }

  static ScreenLine screenLineAt(const json& line, const std::string& path) {
    requireObject(line, path);
    allowOnlyKeys(line, {"text", "confidence", "rect", "noCandidate"}, path);
    if (!line.contains("rect")) fail(member(path, "rect"), "required");
    ScreenLine result;
    result.rect = rectAt(line["rect"], member(path, "rect"));
    if (auto confidence = line.find("confidence"); confidence != line.end()) {
      result.confidence = numberAt(*confidence, member(path, "confidence"));
    }
    const bool noCandidate = line.contains("noCandidate") && booleanAt(line["noCandidate"], member(path, "noCandidate"));
    if (!noCandidate) {
      if (!line.contains("text")) fail(member(path, "text"), "required unless \"noCandidate\" is true");
      result.text = textAt(line["text"], member(path, "text"));
    }
    return result;
  }

  void readTimeline(const json& document) {
    auto found = document.find("timeline");
    if (found == document.end()) return;
    for (std::size_t i = 0; i < found->size(); ++i) scene_.timeline.push_back(stepAt((*found)[i], item("timeline", i), i));
    std::stable_sort(scene_.timeline.begin(), scene_.timeline.end(),
                     [](const TimelineStep& a, const TimelineStep& b) { return a.atMs < b.atMs; });
  }

  TimelineStep stepAt(const json& step, const std::string& path, std::size_t position) {
    allowOnlyKeys(step, {"atMs", "set", "add", "remove", "frontmost"}, path);
    if (!step.contains("atMs")) fail(member(path, "atMs"), "required");
    TimelineStep result;
    result.atMs = nonNegativeNumberAt(step["atMs"], member(path, "atMs"));
    if (auto set = step.find("set"); set != step.end()) {
      const std::string setPath = member(path, "set");
      requireObject(*set, setPath);
      for (const auto& [id, attrs] : set->items()) {
        const std::string targetPath = member(setPath, id);
        result.sets.emplace_back(nodeById(json(id), targetPath), attributesAt(attrs, targetPath));
      }
    }
    if (auto add = step.find("add"); add != step.end()) {
      const std::string addPath = member(path, "add");
      if (!add->contains("parent")) fail(member(addPath, "parent"), "required");
      AddStep addStep{nodeById((*add)["parent"], member(addPath, "parent")), std::nullopt, addedElements_.at(position)};
      if (auto index = add->find("index"); index != add->end()) {
        addStep.index = static_cast<std::size_t>(integerAt(*index, member(addPath, "index"), 0, INT64_MAX));
      }
      result.add = addStep;
    }
    if (auto remove = step.find("remove"); remove != step.end()) result.remove = nodeById(*remove, member(path, "remove"));
    if (auto frontmost = step.find("frontmost"); frontmost != step.end()) {
      result.changesFrontmost = true;
      result.frontmost = frontmostAt(*frontmost, member(path, "frontmost"));
    }
    return result;
  }

  Scene scene_;
  std::map<std::string, Node*, std::less<>> ids_;
  std::vector<PendingAttributes> pendingAttributes_;
  std::map<std::size_t, Node*> addedElements_;  // by timeline position
};

}  // namespace

Scene loadScene(const nlohmann::json& document) { return Loader().load(document); }

}  // namespace morvel::sim
