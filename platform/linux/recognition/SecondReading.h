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

#include <functional>
#include <string>

namespace morvel::linux_ax {

// The configured languages ("eng+Latin+deu+fra") by the part each plays.
struct LanguageRoles {
  std::string first;   // "eng": every line is read in it
  std::string second;  // "Latin": what the first reads poorly, read again without word lists
  std::string check;   // "deu+fra": lines the second proved accented, read with their word lists
};

// Script models (Tesseract names them with a capital: "Latin") read the second
// time; their word lists hold the words of every language of the script, and
// Latin's took 260 MB once loaded. Language models check their readings with
// their own, smaller, word lists. Without a script model the languages read
// the second time, without word lists, and nothing checks them.
LanguageRoles languageRoles(const std::string& languages);

// Whether the first reading of `word` holds what the first language makes of
// letters it does not know: characters beyond ASCII, digits amid letters.
bool showsStandIns(const FoundWord& word);

// Whether the first reading of `word` shows any sign of letters it does not
// know: stand-ins, letters that make no word of its dictionary, or a low
// confidence where `marked` (a mark stands above one of its letters). `marked`
// looks at pixels: it is asked only of words of low confidence.
bool worthReadingAgain(const FoundWord& word, const std::function<bool()>& marked);

// The top row of `line` in `image` (dark text on white) with the marks above
// its capitals: the engine's box of a line ends at the top of its letters and
// leaves out the dots of "Ä" and "Ü", so that a line or word read again from
// that box reads "Andern". Ink within half the line's height above its box is
// taken for marks, unless it runs on beyond that: the line above.
int topWithMarks(const GreyImage& image, const FoundLine& line);

// Whether, in `image` (dark text on white), a mark stands above a letter of
// `word`, one of the words of `line`: ink over the letter's middle, above the
// top of the line's capitals or small letters and apart from the letter below
// ("Ä", "é", "ñ"), up to the line's top with its marks. Letters read as "i", "j", "f" or "t" and other characters are
// not looked at. Low confidences are common in English text (three in ten words
// of a page of window labels); an accent English reads as another letter
// still shows ("Mend" for "Menú").
bool marksAboveLetters(const GreyImage& image, const FoundLine& line, const FoundWord& word);

// Whether `second` is what the first reading `first` says with some of its
// letters accented: the same where `second`'s letters carry no accent, each
// accented letter read as one other character ("Não" for "Nao", "Cœur" for
// "Coeur"), or, where `first` is no word of its dictionary or `second` is one
// of its own, as none or two ("Nol" for "Noël", "Contrasefia", "Pi" for "Più").
// Of the second reading only such words are taken: without its word list, the
// Latin model misreads plain English words ("avañable" for "available").
bool accentedVariant(const FoundWord& second, const FoundWord& first);

// Whether a word the first reading doubts, `first`, of a line that proved
// accented is replaced by `later`, the script or language models' reading of
// it: one with accents, of about its length ("Noël" for "Nog!"). Such a word
// was read with a confidence under 0.55, and the other readings' letters stood
// for no letters of it.
bool replacesDoubtfulWord(const FoundWord& later, const FoundWord& first);

// `word` as the script model reads it with a ligature's base letter that it
// also read beside the ligature taken off: "Cœur" for its "Coœur".
std::string withoutDoubledLigatureBase(const std::string& word);

// Whether `text` holds a letter with a Western European accent ("é", "ß", "œ").
bool showsAccents(const std::string& text);

// Whether `checked`, the word the language models read with their word lists,
// is taken for the first reading `first` rather than the script model's
// `second`: a word of their dictionaries that is `first` with accents, unless
// `second` is one too and no longer. The script model's misreads of accents add
// characters ("Contrasefñia", "Opçöões"); the language models' keep the count
// but may take the accent of another language ("Menü" for "Menú").
bool checkedWordWins(const FoundWord& checked, const FoundWord& second, const FoundWord& first);

// The pixels of the box `left`-`right`, `top`-`bottom` in `image` (dark text
// on white), framed by `margin` pixels of white.
GreyImage boxImage(const GreyImage& image, int left, int top, int right, int bottom, int margin);

// The line's text and confidence from its words, as they read now.
void rejoinWords(FoundLine& line);

}  // namespace morvel::linux_ax
