#include "platform/linux/LinuxScreen.h"

namespace morvel::linux_ax {

std::unique_ptr<ocr::CapturedImage> LinuxScreen::capture(const ax::Rect& region) { return windows_.capture(region); }

std::optional<std::vector<ocr::Observation>> LinuxScreen::recognize(const ocr::CapturedImage& image) {
  const auto* grey = dynamic_cast<const GreyCapture*>(&image);
  if (grey == nullptr) return std::nullopt;  // captured by another screen
  return recognizer_.recognize(*grey);
}

}  // namespace morvel::linux_ax
