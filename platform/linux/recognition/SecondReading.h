#pragma once

// Which lines and words read in the first language are read again in the
// other configured languages, the pixels that second reading sees, and the line its
// words make up.
//
// Read with English alone, accented words come out with stand-ins: "Gré®e" for
// "Größe", "Sefor" for "Señor", digits amid letters; or as words its dictionary
// does not know ("Andern"), or with a lower confidence. Reading every line with
// all the languages costs English text about twice the processor time, and so
// did reading again every line with any such word: lines with stand-ins are read
// again whole, and of the others only the doubtful words.

#include "platform/linux/image/GreyImage.h"
#include "platform/linux/recognition/TesseractEngine.h"

#include <string>

namespace morvel::linux_ax {

// "eng" of "eng+deu+fra": the language every line is read in first.
std::string firstLanguage(const std::string& languages);

// Whether the first reading of `word` holds what the first language makes of
// letters it does not know: characters beyond ASCII, digits amid letters.
bool showsStandIns(const FoundWord& word);

// Whether the first reading of `word` shows any sign of letters it does not
// know: stand-ins, a low confidence, letters that make no word of its dictionary.
bool worthReadingAgain(const FoundWord& word);

// Whether `second` is what the first reading `first` says with some of its
// letters accented: the same where `second`'s letters carry no accent, each
// accented letter read as one other character ("Não" for "Nao", "Cœur" for
// "Coeur"), or, where `first` is no word of its dictionary, as none or two
// ("Nol" for "Noël", "Contrasefia"). Of the second reading only such words are
// taken: without its word list, the Latin model misreads plain English words
// ("avañable" for "available").
bool accentedVariant(const std::string& second, const FoundWord& first);

// The pixels of the box `left`-`right`, `top`-`bottom` in `image` (dark text
// on white), framed by `margin` pixels of white.
GreyImage boxImage(const GreyImage& image, int left, int top, int right, int bottom, int margin);

// The line's text and confidence from its words, as they read now.
void rejoinWords(FoundLine& line);

}  // namespace morvel::linux_ax
