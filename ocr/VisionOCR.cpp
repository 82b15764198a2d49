#include "ocr/VisionOCR.h"

#include <cmath>
#include <optional>
#include <utility>

namespace morvel::ocr {
namespace {

// A captured image and what the recogniser saw in it.
struct Recognition {
  std::unique_ptr<CapturedImage> image;
  std::vector<Observation> observations;
};

// A rectangle of no area is never captured; a size that is not a number fails
// the comparison and is not captured either.
bool hasArea(const ax::Rect& region) { return std::fabs(region.width) > 0 && std::fabs(region.height) > 0; }

std::optional<Recognition> captureAndRecognize(Screen& screen, const ax::Rect& region) {
  if (!hasArea(region)) return std::nullopt;
  auto image = screen.capture(region);
  if (!image) return std::nullopt;
  auto observations = screen.recognize(*image);
  if (!observations) return std::nullopt;
  return Recognition{std::move(image), std::move(*observations)};
}

// One line per observation that has a candidate, in the recogniser's order.
template <class FrameOfBox>
std::vector<OCRLine> linesOf(const std::vector<Observation>& observations, FrameOfBox frameOfBox) {
  std::vector<OCRLine> lines;
  lines.reserve(observations.size());
  for (const Observation& observation : observations) {
    if (!observation.text) continue;
    // float to double is exact: 0.3f stays 0.30000001192092896.
    lines.push_back({*observation.text, static_cast<double>(observation.confidence), frameOfBox(observation.box)});
  }
  return lines;
}

std::string joinedText(const std::vector<OCRLine>& lines) {
  std::string text;
  for (const OCRLine& line : lines) {
    if (&line != &lines.front()) text += '\n';
    text += line.text;
  }
  return text;
}

// The same rectangle with a non-negative size, its origin at the minimum corner.
ax::Rect standardized(ax::Rect rect) {
  if (rect.width < 0) {
    rect.x += rect.width;
    rect.width = -rect.width;
  }
  if (rect.height < 0) {
    rect.y += rect.height;
    rect.height = -rect.height;
  }
  return rect;
}

}  // namespace

OCRResult runOCR(Screen& screen, const ax::Rect& region) {
  auto recognition = captureAndRecognize(screen, region);
  if (!recognition) return {};

  const double widthPx = recognition->image->widthPx();
  const double heightPx = recognition->image->heightPx();
  // The box has its origin at the image's bottom-left corner; frames have theirs at the top-left.
  std::vector<OCRLine> lines = linesOf(recognition->observations, [&](const NormalizedBox& box) {
    const double maxY = box.minY + box.height;
    return ax::Rect{box.minX * widthPx, (1 - maxY) * heightPx, box.width * widthPx, box.height * heightPx};
  });
  std::string text = joinedText(lines);
  return {std::move(text), std::move(lines)};
}

std::vector<OCRLine> ocrScreenLines(Screen& screen, const ax::Rect& region) {
  auto recognition = captureAndRecognize(screen, region);
  if (!recognition) return {};

  const ax::Rect area = standardized(region);
  return linesOf(recognition->observations, [&area](const NormalizedBox& box) {
    const double maxY = box.minY + box.height;
    return ax::Rect{area.x + box.minX * area.width, area.y + (1 - maxY) * area.height, box.width * area.width,
                    box.height * area.height};
  });
}

}  // namespace morvel::ocr
