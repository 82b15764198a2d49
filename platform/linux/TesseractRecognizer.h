#pragma once

// Text lines of a captured image, recognised by Tesseract's LSTM engine. The
// engine is loaded once, on the first recognition, and its page is cleared after
// every recognition so that nothing of one image is left for the next.

#include "ocr/Screen.h"
#include "platform/linux/X11Capture.h"

#include <memory>
#include <optional>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

namespace morvel::linux_ax {

class TesseractRecognizer {
 public:
  TesseractRecognizer();
  ~TesseractRecognizer();
  TesseractRecognizer(const TesseractRecognizer&) = delete;
  TesseractRecognizer& operator=(const TesseractRecognizer&) = delete;

  std::optional<std::vector<ocr::Observation>> recognize(const GreyCapture& capture);

 private:
  bool ready();

  std::unique_ptr<tesseract::TessBaseAPI> engine_;
  enum class State { NotLoaded, Loaded, Failed } state_ = State::NotLoaded;
};

// Where a line found in the prepared (possibly enlarged) image lies in the whole
// captured rectangle, normalised with a bottom-left origin.
ocr::NormalizedBox normalizedBox(const GreyCapture& capture, int scale, int left, int top, int right, int bottom);

}  // namespace morvel::linux_ax
