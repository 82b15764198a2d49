#pragma once

// One Tesseract engine set up for screen text: the LSTM recogniser, page
// segmentation for sparse text (a window is scattered labels, cells and
// buttons, each its own line), and no OpenMP threads of its own.

#include "platform/linux/image/GreyImage.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

namespace morvel::linux_ax {

// A recognised text line, its box in pixels of the image read.
struct FoundLine {
  std::optional<std::string> text;  // absent when the line holds no text
  float confidence = 0;             // 0 to 1
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

class TesseractEngine {
 public:
  TesseractEngine();
  ~TesseractEngine();
  TesseractEngine(const TesseractEngine&) = delete;
  TesseractEngine& operator=(const TesseractEngine&) = delete;

  // Loads the English model; false when it cannot be loaded.
  bool load();
  // The model and modes every engine reads with: what besides the pixels
  // decides what is read.
  static std::string settings();
  // The lines of `image`, which shows the screen at `scale` times its size.
  // Nothing when recognition fails. Nothing of the image is kept.
  std::optional<std::vector<FoundLine>> read(const GreyImage& image, int scale);

 private:
  std::unique_ptr<tesseract::TessBaseAPI> api_;
};

}  // namespace morvel::linux_ax
