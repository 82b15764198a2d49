#pragma once

// The simulated desktop: an in-memory desktop built from a scene file (see
// docs/scene-format.md). It serves both boundaries, accessibility and screen, and
// counts the platform calls made on it.

#include "accessibility/Accessibility.h"
#include "accessibility/Clock.h"
#include "ocr/Screen.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace morvel::sim {

// A scene that cannot be read. The message names the problem and its JSON path,
// for example "applications[0].windows[1].children[3].attrs.AXFrame: ...".
class SceneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SimDesktop final : public ax::Accessibility, public ocr::Screen {
 public:
  // `clock` is the time of the desktop: response delays pass on it and the
  // timeline follows it. It must outlive the desktop.
  static std::unique_ptr<SimDesktop> fromJson(const nlohmann::json& scene, ax::Clock& clock);
  static std::unique_ptr<SimDesktop> fromFile(const std::filesystem::path& path, ax::Clock& clock);
  ~SimDesktop() override;

  // The clock the core should use: the desktop's clock, with its sleeps counted.
  ax::Clock& clock();

  // The element that has this id in the scene, whatever its presence; counts no read.
  std::optional<ax::Element> elementWithId(std::string_view id) const;

  // {"reads", "hitTests", "captures", "recognitions", "sleeps"} since the
  // previous call (or since start), then reset.
  nlohmann::json takeStats();

  // ax::Accessibility
  ax::Element createSystemWide() override;
  ax::Element createApplication(std::int32_t pid) override;
  std::optional<ax::AttrValue> copyAttributeValue(const ax::Element& element, std::string_view attribute) override;
  std::optional<ax::Element> copyElementAtPosition(const ax::Element& systemWide, float x, float y) override;
  void setMessagingTimeout(const ax::Element& element, double seconds) override;
  bool isSameElement(const ax::Element& a, const ax::Element& b) override;
  std::optional<ax::RunningApplication> frontmostApplication() override;
  void requestStarted() override;
  void replyWritten() override;

  // ocr::Screen
  std::unique_ptr<ocr::CapturedImage> capture(const ax::Rect& region) override;
  std::optional<std::vector<ocr::Observation>> recognize(const ocr::CapturedImage& image) override;

 private:
  struct State;
  explicit SimDesktop(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace morvel::sim
