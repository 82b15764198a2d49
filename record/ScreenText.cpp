#include "record/ScreenText.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace morvel::record {
namespace {

using nlohmann::json;

// Line rectangles are kept on a grid of 1/64 point: exact in binary, so that a
// replay finds every line inside the window it was recognised in.
constexpr double pointGrid = 64.0;

double onGrid(double value) { return std::round(value * pointGrid) / pointGrid; }

// The observation's box (normalised, origin bottom-left) as screen points,
// clamped to the window.
std::array<double, 4> pointsRect(const ocr::NormalizedBox& box, const ax::Rect& window) {
  const double right = window.x + window.width;
  const double bottom = window.y + window.height;
  const double left = std::clamp(onGrid(window.x + box.minX * window.width), window.x, right);
  const double top = std::clamp(onGrid(window.y + (1 - box.minY - box.height) * window.height), window.y, bottom);
  const double lineRight = std::clamp(onGrid(window.x + (box.minX + box.width) * window.width), left, right);
  const double lineBottom = std::clamp(onGrid(window.y + (1 - box.minY) * window.height), top, bottom);
  return {left, top, lineRight - left, lineBottom - top};
}

}  // namespace

std::optional<json> recordScreenText(ocr::Screen& screen, const ax::Rect& window) {
  const bool measurable = std::isfinite(window.x) && std::isfinite(window.y) && std::isfinite(window.width * window.height);
  if (!measurable || !(window.width > 0 && window.height > 0)) return std::nullopt;
  auto image = screen.capture(window);
  if (!image) return std::nullopt;
  auto observations = screen.recognize(*image);
  if (!observations) return std::nullopt;

  json lines = json::array();
  for (const auto& observation : *observations) {
    json line = {{"rect", pointsRect(observation.box, window)}};
    if (observation.text) {
      line["text"] = *observation.text;
      line["confidence"] = static_cast<double>(observation.confidence);
    } else {
      line["noCandidate"] = true;
    }
    lines.push_back(std::move(line));
  }
  json text = {{"lines", std::move(lines)}};
  const double scale = image->widthPx() / window.width;
  if (std::isfinite(scale) && scale != 1.0) text["scale"] = scale;
  return text;
}

}  // namespace morvel::record
