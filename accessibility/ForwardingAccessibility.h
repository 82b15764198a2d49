#pragma once

// An accessibility boundary that hands every call to another one. Wrappers that
// watch or time a desktop derive from it and override only what they watch, so
// that a call added to the boundary reaches the desktop through all of them.

#include "accessibility/Accessibility.h"

namespace morvel::ax {

class ForwardingAccessibility : public Accessibility {
 public:
  explicit ForwardingAccessibility(Accessibility& desktop) : desktop_(desktop) {}

  Element createSystemWide() override { return desktop_.createSystemWide(); }
  Element createApplication(std::int32_t pid) override { return desktop_.createApplication(pid); }
  std::optional<AttrValue> copyAttributeValue(const Element& element, std::string_view attribute) override {
    return desktop_.copyAttributeValue(element, attribute);
  }
  std::optional<AttrValue> copyAttributeValues(const Element& element, std::string_view attribute,
                                               std::size_t maxCount) override {
    return desktop_.copyAttributeValues(element, attribute, maxCount);
  }
  std::optional<Element> copyElementAtPosition(const Element& systemWide, float x, float y) override {
    return desktop_.copyElementAtPosition(systemWide, x, y);
  }
  void setMessagingTimeout(const Element& element, double seconds) override {
    desktop_.setMessagingTimeout(element, seconds);
  }
  bool isSameElement(const Element& a, const Element& b) override { return desktop_.isSameElement(a, b); }
  std::optional<RunningApplication> frontmostApplication() override { return desktop_.frontmostApplication(); }
  void requestStarted() override { desktop_.requestStarted(); }
  void replyWritten() override { desktop_.replyWritten(); }
  void desktopMayHaveChanged() override { desktop_.desktopMayHaveChanged(); }
  void walkAhead(const Element& root, int budget) override { desktop_.walkAhead(root, budget); }
  void readAhead(const std::vector<Element>& elements, std::initializer_list<std::string_view> attributes) override {
    desktop_.readAhead(elements, attributes);
  }

 private:
  Accessibility& desktop_;
};

}  // namespace morvel::ax
