#pragma once

// The accessibility boundary: the only way the core reaches a desktop's
// accessibility tree and workspace. Backends (the simulated desktop, AT-SPI2 on
// Linux) implement `Accessibility`; the core never sees their types.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace morvel::ax {

struct Point {
  double x = 0;
  double y = 0;
};

struct Size {
  double width = 0;
  double height = 0;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

// A backend's own representation of one element. Backends derive from it; the
// core only holds it through `Element`.
class ElementNode {
 public:
  virtual ~ElementNode() = default;
};

// An owned, reference-counted handle to one accessibility element. Copies share
// the element; the last copy releases it. Two handles may denote the same element
// without sharing a node: identity is `Accessibility::isSameElement`, never
// pointer equality.
class Element {
 public:
  explicit Element(std::shared_ptr<const ElementNode> node) : node_(std::move(node)) {}

  template <class Node>
  const Node* nodeAs() const {
    return dynamic_cast<const Node*>(node_.get());
  }

 private:
  std::shared_ptr<const ElementNode> node_;
};

// A value of some kind that no reader accepts (attributed text, a URL, ...).
struct OtherKind {};

class AttrValue;
using AttrArray = std::vector<AttrValue>;

// One attribute value as the platform hands it over. Integers and floating
// numbers are kept apart; a boolean is never a number.
class AttrValue {
 public:
  using Storage = std::variant<std::string, std::int64_t, double, bool, AttrArray, Element, Point, Size, Rect, OtherKind>;

  // Implicit on purpose: attribute values are plain data and read best as literals.
  AttrValue(std::string text) : storage_(std::move(text)) {}
  AttrValue(const char* text) : storage_(std::string(text)) {}
  AttrValue(std::int64_t number) : storage_(number) {}
  AttrValue(int number) : storage_(std::int64_t{number}) {}
  AttrValue(double number) : storage_(number) {}
  AttrValue(bool flag) : storage_(flag) {}
  AttrValue(AttrArray items) : storage_(std::move(items)) {}
  AttrValue(Element element) : storage_(std::move(element)) {}
  AttrValue(Point point) : storage_(point) {}
  AttrValue(Size size) : storage_(size) {}
  AttrValue(Rect rect) : storage_(rect) {}
  AttrValue(OtherKind other) : storage_(other) {}

  template <class T>
  const T* get() const {
    return std::get_if<T>(&storage_);
  }
  // For readers that take a value apart once they own it.
  template <class T>
  T* get() {
    return std::get_if<T>(&storage_);
  }
  const Storage& storage() const { return storage_; }

 private:
  Storage storage_;
};

struct RunningApplication {
  std::int32_t pid = 0;
  std::optional<std::string> bundleId;
};

// Not an attribute: beside AXChildren among readAhead's attributes, it tells
// that the children read will have their own children read next.
inline constexpr char childrenWalkedNext[] = "children walked next";

class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // The element that stands for the whole desktop.
  virtual Element createSystemWide() = 0;
  // The element of the application with this process id; used without a test,
  // so for a process that does not answer every read on it fails.
  virtual Element createApplication(std::int32_t pid) = 0;
  // One attribute: a value, or nothing when the read fails or has no value.
  virtual std::optional<AttrValue> copyAttributeValue(const Element& element, std::string_view attribute) = 0;
  // The first `maxCount` items of an array attribute (a table's rows): a backend
  // may stop reading there. By default the whole value, cut.
  virtual std::optional<AttrValue> copyAttributeValues(const Element& element, std::string_view attribute,
                                                       std::size_t maxCount) {
    auto value = copyAttributeValue(element, attribute);
    auto* items = value ? value->get<AttrArray>() : nullptr;
    if (items != nullptr && items->size() > maxCount) {
      items->erase(items->begin() + static_cast<std::ptrdiff_t>(maxCount), items->end());
    }
    return value;
  }
  // The deepest element of any application at a screen point (global points,
  // origin top-left of the main display), asked of the system-wide element.
  virtual std::optional<Element> copyElementAtPosition(const Element& systemWide, float x, float y) = 0;
  // Later reads through this element give up after `seconds`; set on the
  // system-wide element, it holds for every element without its own.
  virtual void setMessagingTimeout(const Element& element, double seconds) = 0;
  virtual bool isSameElement(const Element& a, const Element& b) = 0;
  // The application the workspace reports as frontmost, or none.
  virtual std::optional<RunningApplication> frontmostApplication() = 0;

  // Request lifecycle: called before a request is handled and after its reply
  // has been written. Backends use them to refresh caches and to forget which
  // applications stopped answering during the request.
  virtual void requestStarted() {}
  virtual void replyWritten() {}
  // A command has paused to let the desktop change (between the attempts of a
  // wait): nothing read before the pause may be served again.
  virtual void desktopMayHaveChanged() {}
  // A walk is about to examine up to `budget` elements below `root`: a backend
  // may read the subtree ahead in bulk. Only a hint: every answer must be what
  // it would have been without it.
  virtual void walkAhead(const Element& /*root*/, int /*budget*/) {}
  // The core is about to read `attributes` of each of `elements`: a backend may
  // ask for them all at once. A hint too; with AXChildren, `childrenWalkedNext`
  // says that the children's own children will be read after.
  virtual void readAhead(const std::vector<Element>& /*elements*/,
                         std::initializer_list<std::string_view> /*attributes*/) {}
};

}  // namespace morvel::ax
