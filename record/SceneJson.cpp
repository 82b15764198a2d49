#include "record/SceneJson.h"

#include "accessibility/AXNames.h"
#include "record/ElementKey.h"

#include <algorithm>
#include <cmath>

namespace morvel::record {
namespace {

using nlohmann::json;

// Elements met outside the tree are recorded up to this many; a reference to any
// further one reads as failing.
constexpr std::size_t freeElementLimit = 256;

bool finite(std::initializer_list<double> numbers) {
  return std::ranges::all_of(numbers, [](double n) { return std::isfinite(n); });
}

class TreeWriter {
 public:
  TreeWriter(ax::Accessibility& ax, TreeRecorder& recorder, RecordedTree& tree)
      : ax_(ax), recorder_(recorder), tree_(tree) {
    for (std::size_t index = 0; index < tree_.nodes.size(); ++index) addToIndex(index_, tree_, index);
  }

  json elementJson(std::size_t index) {
    json element = {{"id", tree_.nodes[index].id}, {"attrs", attributesJson(index)}};
    if (const auto& children = tree_.nodes[index].children) {
      element["children"] = json::array();
      for (std::size_t child : *children) element["children"].push_back(elementJson(child));
    }
    return element;
  }

  // The elements met outside the tree (those without a parent, the application
  // aside), including those met while writing them.
  json freeElementsJson() {
    json elements = json::array();
    for (std::size_t index = 1; index < tree_.nodes.size(); ++index) {
      if (!tree_.nodes[index].parent) elements.push_back(elementJson(index));
    }
    return elements;
  }

  json attributesJson(const std::vector<RecordedAttribute>& attributes) {
    json attrs = json::object();
    for (const auto& [name, value] : attributes) {
      if (auto written = valueJson(value)) attrs[std::string(name)] = std::move(*written);
    }
    return attrs;
  }

 private:
  json attributesJson(std::size_t index) {
    // Copied: writing a reference may record new elements and move the nodes.
    const std::vector<RecordedAttribute> attributes = tree_.nodes[index].attributes;
    const std::optional<std::size_t> parent = tree_.nodes[index].parent;
    std::vector<RecordedAttribute> written;
    for (const auto& attribute : attributes) {
      if (attribute.name == ax::AXParent && parent && isNode(attribute.value, *parent)) continue;
      written.push_back(attribute);
    }
    json attrs = attributesJson(written);
    // Without an explicit value the scene makes the structural parent the parent.
    if (parent && !tree_.nodes[index].parentRead) attrs[ax::AXParent] = {{"error", "no parent"}};
    return attrs;
  }

  bool isNode(const ax::AttrValue& value, std::size_t index) {
    const auto* element = value.get<ax::Element>();
    return element && ax_.isSameElement(*element, tree_.nodes[index].element);
  }

  std::optional<std::string> idOf(const ax::Element& element) {
    const ElementKey key = keyOf(ax_, element);
    if (auto found = index_.find(key); found != index_.end()) {
      for (std::size_t index : found->second) {
        if (ax_.isSameElement(element, tree_.nodes[index].element)) return tree_.nodes[index].id;
      }
    }
    if (freeCount_ == freeElementLimit) return std::nullopt;
    const std::size_t added =
        recorder_.recordFreeElement(tree_, element, "free." + std::to_string(freeCount_++));
    for (std::size_t index = added; index < tree_.nodes.size(); ++index) addToIndex(index_, tree_, index);
    return tree_.nodes[added].id;
  }

  std::optional<json> valueJson(const ax::AttrValue& value) {
    return std::visit([this](const auto& item) { return itemJson(item); }, value.storage());
  }

  std::optional<json> itemJson(const std::string& text) { return json(text); }
  std::optional<json> itemJson(std::int64_t number) { return json(number); }
  std::optional<json> itemJson(double number) {
    if (!std::isfinite(number)) return json{{"other", "non-finite number"}};
    return json(number);
  }
  std::optional<json> itemJson(bool flag) { return json(flag); }
  std::optional<json> itemJson(const ax::AttrArray& items) {
    json array = json::array();
    for (const auto& item : items) {
      auto written = valueJson(item);
      if (written && !written->is_null() && !(written->is_object() && written->contains("error"))) {
        array.push_back(std::move(*written));
      }
    }
    return array;
  }
  std::optional<json> itemJson(const ax::Element& element) {
    auto id = idOf(element);
    if (!id) return json{{"error", "element not recorded"}};
    return json{{"ref", *id}};
  }
  std::optional<json> itemJson(const ax::Point& point) {
    if (!finite({point.x, point.y})) return json{{"other", "non-finite point"}};
    return json{{"point", {point.x, point.y}}};
  }
  std::optional<json> itemJson(const ax::Size& size) {
    if (!finite({size.width, size.height})) return json{{"other", "non-finite size"}};
    return json{{"size", {size.width, size.height}}};
  }
  std::optional<json> itemJson(const ax::Rect& rect) {
    if (!finite({rect.x, rect.y, rect.width, rect.height})) return json{{"other", "non-finite rectangle"}};
    return json{{"rect", {rect.x, rect.y, rect.width, rect.height}}};
  }
  std::optional<json> itemJson(const ax::OtherKind&) { return json{{"other", "a value of another kind"}}; }

  ax::Accessibility& ax_;
  TreeRecorder& recorder_;
  RecordedTree& tree_;
  ElementIndex index_;
  std::size_t freeCount_ = 0;
};

}  // namespace

void writeTree(ax::Accessibility& ax, TreeRecorder& recorder, RecordedTree& tree, std::int32_t pid, json& scene) {
  TreeWriter writer(ax, recorder, tree);
  json application = writer.elementJson(0);
  application["pid"] = pid;
  scene["applications"] = json::array({std::move(application)});
  scene["systemWide"] = {{"attrs", writer.attributesJson(tree.systemWide)}};
  json elements = writer.freeElementsJson();
  if (!elements.empty()) scene["elements"] = std::move(elements);
}

}  // namespace morvel::record
