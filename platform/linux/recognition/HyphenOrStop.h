#pragma once

// Full stops read as hyphens.
//
// A faint full stop between two letters ("grace.hopper" in small monospaced
// text on a coloured row, once made dark on white) can come out of the line
// reader as a hyphen. The two differ in where they sit: a hyphen about half
// the x-height above the baseline, a full stop on it. The ink between the
// letters beside the symbol tells which.

#include "platform/linux/image/GreyImage.h"
#include "platform/linux/recognition/TesseractEngine.h"

#include <string>

namespace morvel::linux_ax {

// Whether `word` holds a hyphen between two letters: the only words whose
// letters' boxes are looked at.
bool holdsHyphenBetweenLetters(const std::string& word);

// Reads as a full stop each hyphen between two letters, in the words of `line`
// that hold their letters' boxes, whose ink in `image` (dark text on white,
// which the line was read from) sits on the baseline of the word's letters.
// The line's text is then made of its words again. True when a hyphen was read
// as a stop.
bool readStopsReadAsHyphens(const GreyImage& image, FoundLine& line);

}  // namespace morvel::linux_ax
