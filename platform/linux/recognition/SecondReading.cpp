#include "platform/linux/recognition/SecondReading.h"

#include <unicode/normalizer2.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

namespace morvel::linux_ax {
namespace {

constexpr std::uint8_t white = 255;
// Below this confidence a word is read again whatever its letters.
constexpr float leastTrustedConfidence = 0.85F;
// Below this confidence the first reading of a word of an accented line is
// given up for any accented reading of it ("Nog!" for "Noël"); English text
// read well gave its words 0.6 and more, most of them over 0.85.
constexpr float doubtfulConfidence = 0.55F;
// How many letters an accented reading of a doubtful word may have more or
// fewer than the first reading of it.
constexpr std::size_t mostLettersApart = 2;

bool isAsciiLetter(char character) { return std::isalpha(static_cast<unsigned char>(character)) != 0; }
bool isAsciiDigit(char character) { return std::isdigit(static_cast<unsigned char>(character)) != 0; }

// English has no letters beyond ASCII; what it reads there ("®", "©", "€",
// "é" for "ê") stands for an accented letter more often than not.
bool holdsNonAscii(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char character) { return static_cast<unsigned char>(character) >= 0x80; });
}

// "Gr6e": a digit between two letters is a letter the model did not know.
bool holdsDigitAmidLetters(const std::string& text) {
  for (std::size_t at = 1; at + 1 < text.size(); ++at) {
    if (isAsciiDigit(text[at]) && isAsciiLetter(text[at - 1]) && isAsciiLetter(text[at + 1])) return true;
  }
  return false;
}

bool lettersOnly(const std::string& text) { return std::all_of(text.begin(), text.end(), isAsciiLetter); }

// One character of a word and the ASCII letters it is built on.
struct BaseLetter {
  std::string base;
  bool accented;
};

// Letters with no decomposition into a base letter and marks.
std::optional<std::string> ligatureBase(UChar32 character) {
  switch (character) {
    case U'ß': return "ss";
    case U'œ': return "oe";
    case U'Œ': return "OE";
    case U'æ': return "ae";
    case U'Æ': return "AE";
    default: return std::nullopt;
  }
}

// The marks of Western European letters: grave, acute, circumflex, tilde,
// diaeresis, ring and cedilla. The Latin model also reads others ("Gerāt")
// where Western European text has none.
bool westernMark(char16_t mark) {
  return (mark >= 0x0300 && mark <= 0x0303) || mark == 0x0308 || mark == 0x030A || mark == 0x0327;
}

std::u32string codePoints(const std::string& text) {
  std::u32string points;
  const auto length = static_cast<std::int32_t>(text.size());
  for (std::int32_t at = 0; at < length;) {
    UChar32 character = 0;
    U8_NEXT(text.data(), at, length, character);
    points.push_back(static_cast<char32_t>(character < 0 ? 0xFFFD : character));
  }
  return points;
}

std::string utf8(const std::u32string& points) {
  std::string text;
  for (const char32_t point : points) {
    char bytes[U8_MAX_LENGTH];
    std::int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, static_cast<UChar32>(point));
    text.append(bytes, static_cast<std::size_t>(length));
  }
  return text;
}

bool sameLetter(char32_t point, char letter) {
  return point < 0x80 && std::tolower(static_cast<int>(point)) == std::tolower(static_cast<unsigned char>(letter));
}

// `word` letter by letter as the ASCII letters each is built on; nothing when
// it holds a character that is neither ASCII nor a Latin letter (a symbol, a
// stand-in).
std::optional<std::vector<BaseLetter>> baseLetters(const std::string& word) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* decomposer = icu::Normalizer2::getNFDInstance(status);
  if (U_FAILURE(status)) return std::nullopt;
  std::vector<BaseLetter> letters;
  for (const char32_t character : codePoints(word)) {
    if (character < 0x80) {
      letters.push_back({std::string(1, static_cast<char>(character)), false});
      continue;
    }
    icu::UnicodeString decomposed;
    if (auto ligature = ligatureBase(static_cast<UChar32>(character))) {
      letters.push_back({*ligature, true});
    } else if (decomposer->getDecomposition(static_cast<UChar32>(character), decomposed) &&
               decomposed.length() == 2 && decomposed.charAt(0) < 0x80 &&
               isAsciiLetter(static_cast<char>(decomposed.charAt(0))) && westernMark(decomposed.charAt(1))) {
      letters.push_back({std::string(1, static_cast<char>(decomposed.charAt(0))), true});
    } else {
      return std::nullopt;
    }
  }
  return letters;
}

// Where a letter's body ends at the top, on the line's middle letter of a kind:
// most letters carry no accent. Capitals and figures: at the capitals' height;
// small letters: at the x-height.
std::optional<int> middleTop(const FoundLine& line, bool (*ofKind)(char)) {
  std::vector<int> tops;
  for (const FoundWord& word : line.words) {
    for (const FoundLetter& letter : word.letters) {
      if (letter.text.size() == 1 && ofKind(letter.text.front())) tops.push_back(letter.top);
    }
  }
  if (tops.empty()) return std::nullopt;
  std::nth_element(tops.begin(), tops.begin() + static_cast<std::ptrdiff_t>(tops.size() / 2), tops.end());
  return tops[tops.size() / 2];
}

bool capitalOrFigure(char character) {
  return std::isupper(static_cast<unsigned char>(character)) != 0 || isAsciiDigit(character);
}
bool smallWithoutAscender(char character) { return std::string_view("acemnorsuvwxz").find(character) != std::string_view::npos; }
// Small letters whose body runs up unbroken from the x-height, if at all: "i"
// and "j" have a dot, "f" and "t" a bar with an overhang.
bool smallWithoutDot(char character) {
  return smallWithoutAscender(character) || std::string_view("bdghklpqy").find(character) != std::string_view::npos;
}

bool inkInRow(const GreyImage& image, int row, int left, int right) {
  constexpr std::uint8_t darkest = 128;
  const auto start = image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.width;
  return std::any_of(start + left, start + right, [](std::uint8_t pixel) { return pixel < darkest; });
}

// Ink in columns `left`-`right` between `top` and `bodyTop` with a row of
// ground between it and the letter's body: an ascender ("d", "l") runs on
// unbroken.
bool markAbove(const GreyImage& image, int top, int bodyTop, int left, int right) {
  left = std::clamp(left, 0, image.width);
  right = std::clamp(right, left, image.width);
  int row = std::min(bodyTop, image.height) - 1;
  while (row >= top && inkInRow(image, row, left, right)) --row;  // the letter's own body
  for (; row >= top; --row) {
    if (inkInRow(image, row, left, right)) return true;
  }
  return false;
}

}  // namespace

LanguageRoles languageRoles(const std::string& languages) {
  LanguageRoles roles{languages.substr(0, languages.find('+')), "", ""};
  std::string models;
  std::string scripts;
  std::size_t start = roles.first.size() + 1;
  while (start < languages.size()) {
    const std::size_t end = std::min(languages.find('+', start), languages.size());
    const std::string language = languages.substr(start, end - start);
    start = end + 1;
    if (language.empty()) continue;
    std::string& kind = std::isupper(static_cast<unsigned char>(language.front())) != 0 ? scripts : models;
    kind += (kind.empty() ? "" : "+") + language;
  }
  if (scripts.empty()) {
    roles.second = models;
  } else {
    roles.second = scripts;
    roles.check = models;
  }
  return roles;
}

bool showsStandIns(const FoundWord& word) { return holdsNonAscii(word.text) || holdsDigitAmidLetters(word.text); }

bool worthReadingAgain(const FoundWord& word, const std::function<bool()>& marked) {
  if (word.text.empty()) return false;
  // English's dictionary took "Andern" and "Gerat" for no word it knows, at
  // confidences as high as those of its own words; "Reçu" and "Straße" show
  // no mark above.
  return showsStandIns(word) || (!word.inDictionary && lettersOnly(word.text)) ||
         (word.confidence < leastTrustedConfidence && marked());
}

int topWithMarks(const GreyImage& image, const FoundLine& line) {
  const int left = std::clamp(line.left, 0, image.width);
  const int right = std::clamp(line.right, left, image.width);
  const int highest = std::max(0, line.top - std::max(1, (line.bottom - line.top) / 2));
  int top = std::clamp(line.top, 0, image.height);
  // Runs of ink above the box, each below ground or the next run.
  for (int row = top - 1; row >= highest;) {
    while (row >= highest && !inkInRow(image, row, left, right)) --row;
    if (row < highest) break;
    while (row >= highest && inkInRow(image, row, left, right)) --row;
    if (row < highest) break;  // runs on beyond the reach of marks
    top = row + 1;
  }
  return top;
}

bool marksAboveLetters(const GreyImage& image, const FoundLine& line, const FoundWord& word) {
  const int top = topWithMarks(image, line);
  const auto capitalsTop = middleTop(line, capitalOrFigure);
  const auto smallTop = middleTop(line, smallWithoutAscender);
  for (const FoundLetter& letter : word.letters) {
    if (letter.text.size() != 1) continue;
    const char read = letter.text.front();
    // Capitals have bars and bows below their top ("E", "S"): only what
    // stands above it counts.
    const auto bodyTop = std::isupper(static_cast<unsigned char>(read)) != 0 ? capitalsTop
                         : smallWithoutDot(read)                             ? smallTop
                                                                             : std::nullopt;
    if (!bodyTop) continue;
    // Accents stand over the letter's middle; its edges may lie under a
    // neighbour's overhang ("To", "fo").
    const int inset = (letter.right - letter.left) / 4;
    if (markAbove(image, top, *bodyTop, letter.left + inset, letter.right - inset)) return true;
  }
  return false;
}

bool accentedVariant(const FoundWord& second, const FoundWord& first) {
  if (!showsAccents(second.text)) return false;
  const auto letters = baseLetters(second.text);
  const std::u32string read = codePoints(first.text);
  // How many characters of the first reading an accented letter may stand for:
  // English drops some ("Nol" for "Noël") and splits others ("Contrasefia"),
  // but a word of its dictionary it reads letter for letter, unless the second
  // reading's dictionary knows the accented word ("Più" for "Pi").
  const bool letterForLetter = first.inDictionary && !second.inDictionary;
  const std::size_t mostStandIns = letterForLetter ? 1 : 2;
  const std::size_t fewestStandIns = letterForLetter ? 1 : 0;
  // Which characters of the first reading the second's letters so far can stand for.
  std::vector<bool> reached(read.size() + 1, false);
  reached[0] = true;
  for (const BaseLetter& letter : *letters) {
    std::vector<bool> next(read.size() + 1, false);
    const std::u32string base(letter.base.begin(), letter.base.end());
    for (std::size_t at = 0; at <= read.size(); ++at) {
      if (!reached[at]) continue;
      if (!letter.accented) {
        // English reads some capitals small ("citta" for "Città").
        if (at < read.size() && read[at] < 0x80 &&
            std::tolower(static_cast<int>(read[at])) == std::tolower(static_cast<unsigned char>(letter.base[0]))) {
          next[at + 1] = true;
        }
        continue;
      }
      for (std::size_t count = fewestStandIns; count <= mostStandIns && at + count <= read.size(); ++count) {
        next[at + count] = true;
      }
      if (read.compare(at, base.size(), base) == 0) next[at + base.size()] = true;  // "oe" for "œ"
    }
    reached = std::move(next);
  }
  return reached[read.size()];
}

bool replacesDoubtfulWord(const FoundWord& later, const FoundWord& first) {
  if (first.confidence >= doubtfulConfidence || !showsAccents(later.text)) return false;
  const std::size_t read = codePoints(first.text).size();
  const std::size_t again = codePoints(later.text).size();
  return std::max(read, again) - std::min(read, again) <= mostLettersApart;
}

std::string withoutDoubledLigatureBase(const std::string& word) {
  const std::u32string points = codePoints(word);
  std::u32string kept;
  for (std::size_t at = 0; at < points.size(); ++at) {
    // "ß" is no pair of letters drawn as one: German compounds set "s" beside it ("Maßstab").
    const auto base = points[at] == U'ß' ? std::nullopt : ligatureBase(static_cast<UChar32>(points[at]));
    if (base) {
      if (!kept.empty() && sameLetter(kept.back(), base->front())) kept.pop_back();
      kept.push_back(points[at]);
      if (at + 1 < points.size() && sameLetter(points[at + 1], base->back())) ++at;
      continue;
    }
    kept.push_back(points[at]);
  }
  return utf8(kept);
}

bool showsAccents(const std::string& text) {
  const auto letters = baseLetters(text);
  return letters && std::any_of(letters->begin(), letters->end(), [](const BaseLetter& one) { return one.accented; });
}

bool checkedWordWins(const FoundWord& checked, const FoundWord& second, const FoundWord& first) {
  if (!checked.inDictionary || !accentedVariant(checked, first)) return false;
  return !accentedVariant(second, first) || codePoints(second.text).size() > codePoints(checked.text).size();
}

GreyImage boxImage(const GreyImage& image, int left, int top, int right, int bottom, int margin) {
  left = std::clamp(left, 0, image.width);
  right = std::clamp(right, left, image.width);
  top = std::clamp(top, 0, image.height);
  bottom = std::clamp(bottom, top, image.height);
  GreyImage framed;
  framed.width = right - left + 2 * margin;
  framed.height = bottom - top + 2 * margin;
  framed.pixels.assign(static_cast<std::size_t>(framed.width) * framed.height, white);
  for (int row = top; row < bottom; ++row) {
    const auto from = image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.width;
    const auto to = framed.pixels.begin() + static_cast<std::ptrdiff_t>(row - top + margin) * framed.width + margin;
    std::copy(from + left, from + right, to);
  }
  return framed;
}

void rejoinWords(FoundLine& line) {
  if (line.words.empty()) return;
  std::string text;
  float confidence = 0;
  for (const FoundWord& word : line.words) {
    text += (text.empty() ? "" : " ") + word.text;
    confidence += word.confidence;
  }
  line.text = text;
  line.confidence = confidence / static_cast<float>(line.words.size());
}

}  // namespace morvel::linux_ax
