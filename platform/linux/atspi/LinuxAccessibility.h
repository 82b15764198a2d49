#pragma once

// The accessibility boundary on Linux desktops: AT-SPI2 through libatspi for the
// elements, the window system for the workspace. Single
// threaded, on GLib's default main context.

#include "accessibility/Accessibility.h"
#include "platform/linux/atspi/Applications.h"
#include "platform/linux/atspi/AtspiReader.h"
#include "platform/linux/atspi/CallGuard.h"
#include "platform/linux/atspi/RequestMemo.h"
#include "platform/linux/WindowSystem.h"

#include <cstdint>

namespace morvel::linux_ax {

class LinuxAccessibility final : public ax::Accessibility {
 public:
  // Connects to the accessibility bus. Without one (or without a session bus)
  // the backend stays usable and every read fails. The window system tells
  // which window is in front and where windows are.
  explicit LinuxAccessibility(WindowSystem& windows);
  ~LinuxAccessibility() override;
  LinuxAccessibility(const LinuxAccessibility&) = delete;
  LinuxAccessibility& operator=(const LinuxAccessibility&) = delete;

  bool connected() const { return connected_; }
  // libatspi calls made so far that reached an application.
  std::uint64_t callCount() const { return guard_.callCount(); }
  // The reads themselves, for tests that compare two ways of making one.
  AtspiReader& reader() { return reader_; }

  ax::Element createSystemWide() override;
  ax::Element createApplication(std::int32_t pid) override;
  std::optional<ax::AttrValue> copyAttributeValue(const ax::Element& element, std::string_view attribute) override;
  std::optional<ax::Element> copyElementAtPosition(const ax::Element& systemWide, float x, float y) override;
  void setMessagingTimeout(const ax::Element& element, double seconds) override;
  bool isSameElement(const ax::Element& a, const ax::Element& b) override;
  std::optional<ax::RunningApplication> frontmostApplication() override;
  void requestStarted() override;
  void replyWritten() override;
  void desktopMayHaveChanged() override;

 private:
  bool connected_ = false;
  CallGuard guard_;
  RequestMemo memo_;
  WindowSystem& workspace_;
  AtspiReader reader_;
  Applications applications_;
};

}  // namespace morvel::linux_ax
