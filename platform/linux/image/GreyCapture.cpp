#include "platform/linux/image/GreyCapture.h"

#include <algorithm>
#include <cmath>

namespace morvel::linux_ax {
namespace {

// No X screen is larger than this on either side (the protocol's own limit).
constexpr double largestScreenSide = 32767;

}  // namespace

ocr::GreyPixels GreyCapture::greyPixels() const {
  ocr::GreyPixels whole{fullWidth_, fullHeight_, std::vector<std::uint8_t>(static_cast<std::size_t>(fullWidth_) * fullHeight_)};
  for (int row = 0; row < visible_.height; ++row) {
    const auto from = visible_.pixels.begin() + static_cast<std::ptrdiff_t>(row) * visible_.width;
    std::copy(from, from + visible_.width,
              whole.bytes.begin() + static_cast<std::ptrdiff_t>(clipY_ + row) * fullWidth_ + clipX_);
  }
  return whole;
}

std::optional<PixelRect> pixelRectOf(const ax::Rect& region) {
  const double left = std::floor(region.x);
  const double top = std::floor(region.y);
  const double right = std::ceil(region.x + region.width);
  const double bottom = std::ceil(region.y + region.height);
  if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom)) return std::nullopt;
  if (!(region.width > 0) || !(region.height > 0)) return std::nullopt;
  if (std::fabs(left) > largestScreenSide || std::fabs(top) > largestScreenSide ||
      right - left > 2 * largestScreenSide || bottom - top > 2 * largestScreenSide) {
    return std::nullopt;
  }
  return PixelRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                   static_cast<int>(bottom - top)};
}

std::optional<PixelRect> clipToScreen(const PixelRect& wanted, int screenWidth, int screenHeight) {
  const int left = std::max(wanted.x, 0);
  const int top = std::max(wanted.y, 0);
  const int right = std::min(wanted.x + wanted.width, screenWidth);
  const int bottom = std::min(wanted.y + wanted.height, screenHeight);
  if (right <= left || bottom <= top) return std::nullopt;
  return PixelRect{left, top, right - left, bottom - top};
}

}  // namespace morvel::linux_ax
