#pragma once

// The screen boundary on Linux: capture from the window system, recognition
// with Tesseract.

#include "ocr/Screen.h"
#include "platform/linux/recognition/TesseractRecognizer.h"
#include "platform/linux/WindowSystem.h"

namespace morvel::linux_ax {

class LinuxScreen final : public ocr::Screen {
 public:
  // Reads MORVEL_OCR_CACHE_MB, the bound of the recognition cache, and
  // MORVEL_OCR_LANGUAGES, the languages read, once.
  explicit LinuxScreen(WindowSystem& windows);

  std::unique_ptr<ocr::CapturedImage> capture(const ax::Rect& region) override;
  std::optional<std::vector<ocr::Observation>> recognize(const ocr::CapturedImage& image) override;

 private:
  WindowSystem& windows_;
  TesseractRecognizer recognizer_;
};

}  // namespace morvel::linux_ax
