#pragma once

// Text recognition of a screen rectangle: capture it, recognise its lines, and
// place each line either in the captured image (pixels) or on the screen
// (points). Every failure gives an empty result; callers cannot tell a failed
// capture from a rectangle without text.

#include "accessibility/Accessibility.h"
#include "ocr/Screen.h"

#include <string>
#include <vector>

namespace morvel::ocr {

// One recognised line: its best candidate's text exactly as recognised (not
// trimmed, possibly empty), that candidate's confidence widened exactly from
// single precision, and where the line lies.
struct OCRLine {
  std::string text;
  double confidence = 0;
  ax::Rect frame;
};

// The lines in the recogniser's order, and their texts joined by line feeds.
struct OCRResult {
  std::string text;
  std::vector<OCRLine> lines;
};

// Frames in pixels of the captured image, from the image's top-left corner (the
// rectangle's top-left corner), not offset by the rectangle's place on screen.
OCRResult runOCR(Screen& screen, const ax::Rect& region);

// Frames in global screen points, whatever the pixel density: the rectangle is
// taken in its standardised form (negative sizes flipped to the minimum corner).
std::vector<OCRLine> ocrScreenLines(Screen& screen, const ax::Rect& region);

}  // namespace morvel::ocr
