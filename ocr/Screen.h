#pragma once

// The screen boundary: capture a rectangle of the screen and recognise the text
// lines of the captured image. Backends implement `Screen`; the recognition
// logic of the core only sees these types.

#include "accessibility/Accessibility.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel::ocr {

// Eight-bit grey pixels, row after row without padding, for images shown to people
// and agents.
struct GreyPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bytes;
};

// A captured image. Backends derive from it to carry their pixels; recognition
// reads only its size in pixels, the screenshot its pixels.
class CapturedImage {
 public:
  virtual ~CapturedImage() = default;
  virtual double widthPx() const = 0;
  virtual double heightPx() const = 0;
  // The whole captured rectangle, black where it lay off the screen.
  virtual GreyPixels greyPixels() const = 0;
};

// A box normalised to the image: 0 to 1, origin at the bottom-left corner, y upward.
struct NormalizedBox {
  double minX = 0;
  double minY = 0;
  double width = 0;
  double height = 0;
};

// One recognised text line: its best candidate (or none) and where it lies.
struct Observation {
  std::optional<std::string> text;  // absent when the recogniser offers no candidate
  float confidence = 0;             // single precision, as recognisers deliver it
  NormalizedBox box;
};

class Screen {
 public:
  virtual ~Screen() = default;
  // Everything visible inside the rectangle (global points, top-left origin), at
  // the display's full pixel resolution; nothing when the capture fails.
  virtual std::unique_ptr<CapturedImage> capture(const ax::Rect& region) = 0;
  // The recogniser's observations in its own order; nothing when it fails.
  virtual std::optional<std::vector<Observation>> recognize(const CapturedImage& image) = 0;
};

}  // namespace morvel::ocr
