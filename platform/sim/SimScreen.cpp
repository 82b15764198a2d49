#include "platform/sim/SimState.h"

#include <algorithm>
#include <cmath>

namespace morvel::sim {
namespace {

// The simulated screen has no pixels of its own: its pictures show a light
// background with the text lines as dark bars where they are drawn.
constexpr std::uint8_t backgroundGrey = 0xF2;
constexpr std::uint8_t textGrey = 0x33;

// A capture of the simulated screen: the rectangle it shows and its pixel size.
class SimImage final : public ocr::CapturedImage {
 public:
  SimImage(const ax::Rect& region, const ScreenModel& screen)
      : region_(standardized(region)),
        scale_(screen.scale),
        widthPx_(std::round(region_.width * scale_)),
        heightPx_(std::round(region_.height * scale_)) {
    for (const ScreenLine& line : screen.lines) textRects_.push_back(line.rect);
  }

  double widthPx() const override { return widthPx_; }
  double heightPx() const override { return heightPx_; }
  const ax::Rect& region() const { return region_; }

  ocr::GreyPixels greyPixels() const override {
    ocr::GreyPixels image{static_cast<int>(widthPx_), static_cast<int>(heightPx_), {}};
    image.bytes.assign(static_cast<std::size_t>(image.width) * image.height, backgroundGrey);
    for (const ax::Rect& text : textRects_) {
      const int left = toPixel((text.x - region_.x) * scale_, image.width);
      const int right = toPixel((text.x + text.width - region_.x) * scale_, image.width);
      const int top = toPixel((text.y - region_.y) * scale_, image.height);
      const int bottom = toPixel((text.y + text.height - region_.y) * scale_, image.height);
      for (int row = top; row < bottom; ++row) {
        std::fill_n(image.bytes.begin() + static_cast<std::ptrdiff_t>(row) * image.width + left, right - left, textGrey);
      }
    }
    return image;
  }

 private:
  static ax::Rect standardized(const ax::Rect& rect) {
    return {std::fmin(rect.x, rect.x + rect.width), std::fmin(rect.y, rect.y + rect.height), std::fabs(rect.width),
            std::fabs(rect.height)};
  }

  static int toPixel(double offset, int limit) {
    if (!(offset > 0)) return 0;  // NaN included
    return static_cast<int>(std::clamp(std::round(offset), 0.0, static_cast<double>(limit)));
  }

  ax::Rect region_;
  double scale_;
  double widthPx_;
  double heightPx_;
  std::vector<ax::Rect> textRects_;
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
  return std::make_unique<SimImage>(region, *screen);
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
