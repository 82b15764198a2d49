#pragma once

// The screen boundary on Linux: capture from the X server, recognition with
// Tesseract.

#include "ocr/Screen.h"
#include "platform/linux/recognition/TesseractRecognizer.h"
#include "platform/linux/x11/X11Capture.h"

namespace morvel::linux_ax {

class LinuxScreen final : public ocr::Screen {
 public:
  std::unique_ptr<ocr::CapturedImage> capture(const ax::Rect& region) override;
  std::optional<std::vector<ocr::Observation>> recognize(const ocr::CapturedImage& image) override;

 private:
  X11Capture capture_;
  TesseractRecognizer recognizer_;
};

}  // namespace morvel::linux_ax
