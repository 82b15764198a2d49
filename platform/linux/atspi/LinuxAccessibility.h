#pragma once

// The accessibility boundary on Linux desktops: AT-SPI2 through libatspi for the
// elements, the window system for the workspace. Single
// threaded, on GLib's default main context.

#include "accessibility/Accessibility.h"
#include "platform/linux/atspi/AccessibilityBus.h"
#include "platform/linux/atspi/Applications.h"
#include "platform/linux/atspi/AtspiReader.h"
#include "platform/linux/atspi/CallGuard.h"
#include "platform/linux/atspi/FocusTracker.h"
#include "platform/linux/atspi/RequestMemo.h"
#include "platform/linux/WindowSystem.h"

#include <cstdint>

namespace morvel::linux_ax {

class LinuxAccessibility final : public ax::Accessibility {
 public:
  // Connects to the accessibility bus. Without one (or without a session bus)
  // the backend stays usable and every read fails; a request connects when the
  // bus is there again, and one that finds the connection broken lets go of
  // everything read through it. The window system tells which window is in
  // front and where windows are; while it is gone, nothing is read at all.
  explicit LinuxAccessibility(WindowSystem& windows);
  ~LinuxAccessibility() override;
  LinuxAccessibility(const LinuxAccessibility&) = delete;
  LinuxAccessibility& operator=(const LinuxAccessibility&) = delete;

  bool connected() const { return bus_.connected(); }
  // libatspi calls made so far that reached an application.
  std::uint64_t callCount() const { return guard_.callCount(); }
  // The reads themselves, for tests that compare two ways of making one.
  AtspiReader& reader() { return reader_; }

  ax::Element createSystemWide() override;
  ax::Element createApplication(std::int32_t pid) override;
  std::optional<ax::AttrValue> copyAttributeValue(const ax::Element& element, std::string_view attribute) override;
  std::optional<ax::AttrValue> copyAttributeValues(const ax::Element& element, std::string_view attribute,
                                                   std::size_t maxCount) override;
  std::optional<ax::Element> copyElementAtPosition(const ax::Element& systemWide, float x, float y) override;
  void setMessagingTimeout(const ax::Element& element, double seconds) override;
  bool isSameElement(const ax::Element& a, const ax::Element& b) override;
  std::optional<ax::RunningApplication> frontmostApplication() override;
  void requestStarted() override;
  void replyWritten() override;
  void desktopMayHaveChanged() override;
  void walkAhead(const ax::Element& root, int budget) override;
  void readAhead(const std::vector<ax::Element>& elements, std::initializer_list<std::string_view> attributes) override;

 private:
  // Whether the accessibility tree may be asked in this request.
  bool treeReachable() const { return bus_.connected() && !windowSystemGone_; }
  void useConnection();
  // Everything that came through the connection, before it is left.
  void forgetConnection();
  void readStatesAhead(const std::vector<AccessibleRef>& accessibles,
                       std::initializer_list<std::string_view> attributes);
  void readValuesAhead(const std::vector<AccessibleRef>& accessibles);

  AccessibilityBus bus_;
  CallGuard guard_;
  RequestMemo memo_;
  WindowSystem& workspace_;
  AtspiReader reader_;
  SurfacePlacement placement_;
  Applications applications_;
  FocusTracker focus_;
  bool windowSystemGone_ = false;
};

}  // namespace morvel::linux_ax
