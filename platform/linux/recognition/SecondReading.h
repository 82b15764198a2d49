#pragma once

// Which lines read in the first language are read again with every configured
// language, and the pixels that second reading sees.
//
// Read with English alone, accented words come out with stand-ins: "Gré®e" for
// "Größe", "Sefor" for "Señor", digits amid letters, and a lower confidence.
// Reading every line with all the languages costs English text about twice the
// processor time, so only such lines are read again.

#include "platform/linux/image/GreyImage.h"
#include "platform/linux/recognition/TesseractEngine.h"

#include <string>

namespace morvel::linux_ax {

// "eng" of "eng+deu+fra": the language every line is read in first.
std::string firstLanguage(const std::string& languages);

// Whether the first reading of `line` shows signs of letters it does not know.
bool worthReadingAgain(const FoundLine& line);

// The pixels of `line` in `image`, with `margin` rows and columns of the image
// around them where it has them.
GreyImage lineImage(const GreyImage& image, const FoundLine& line, int margin);

}  // namespace morvel::linux_ax
