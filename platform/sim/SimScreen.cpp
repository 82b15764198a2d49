#include "platform/sim/SimState.h"

#include <cmath>

namespace morvel::sim {
namespace {

// A capture of the simulated screen: the rectangle it shows and its pixel size.
class SimImage final : public ocr::CapturedImage {
 public:
  SimImage(const ax::Rect& region, double scale)
      : region_(standardized(region)),
        widthPx_(std::round(region_.width * scale)),
        heightPx_(std::round(region_.height * scale)) {}

  double widthPx() const override { return widthPx_; }
  double heightPx() const override { return heightPx_; }
  const ax::Rect& region() const { return region_; }

 private:
  static ax::Rect standardized(const ax::Rect& rect) {
    return {std::fmin(rect.x, rect.x + rect.width), std::fmin(rect.y, rect.y + rect.height), std::fabs(rect.width),
            std::fabs(rect.height)};
  }

  ax::Rect region_;
  double widthPx_;
  double heightPx_;
};

bool liesWithin(const ax::Rect& line, const ax::Rect& region) {
  return region.x <= line.x && line.x + line.width <= region.x + region.width && region.y <= line.y &&
         line.y + line.height <= region.y + region.height;
}

// The line's rectangle normalised to the region, origin at the bottom-left corner.
ocr::NormalizedBox boxWithin(const ax::Rect& line, const ax::Rect& region) {
  return {(line.x - region.x) / region.width, 1 - (line.y + line.height - region.y) / region.height,
          line.width / region.width, line.height / region.height};
}

}  // namespace

std::unique_ptr<ocr::CapturedImage> SimDesktop::capture(const ax::Rect& region) {
  ++state_->counts.captures;
  const auto& screen = state_->scene.screen;
  if (!screen || screen->captureFails) return nullptr;
  return std::make_unique<SimImage>(region, screen->scale);
}

std::optional<std::vector<ocr::Observation>> SimDesktop::recognize(const ocr::CapturedImage& image) {
  ++state_->counts.recognitions;
  const auto& screen = state_->scene.screen;
  const auto* capture = dynamic_cast<const SimImage*>(&image);
  if (!screen || screen->recognizerFails || capture == nullptr) return std::nullopt;

  std::vector<ocr::Observation> observations;
  const ax::Rect& region = capture->region();
  if (!(region.width > 0 && region.height > 0)) return observations;
  for (const ScreenLine& line : screen->lines) {
    if (!liesWithin(line.rect, region)) continue;
    observations.push_back({line.text, static_cast<float>(line.confidence), boxWithin(line.rect, region)});
  }
  return observations;
}

}  // namespace morvel::sim
