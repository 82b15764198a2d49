#include "platform/linux/recognition/SecondReading.h"

#include <algorithm>
#include <cctype>

namespace morvel::linux_ax {
namespace {

constexpr std::uint8_t white = 255;
// Below this confidence a word is read again whatever its letters.
constexpr float leastTrustedConfidence = 0.85F;

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

}  // namespace

std::string firstLanguage(const std::string& languages) { return languages.substr(0, languages.find('+')); }

bool showsStandIns(const FoundWord& word) { return holdsNonAscii(word.text) || holdsDigitAmidLetters(word.text); }

bool worthReadingAgain(const FoundWord& word) {
  if (word.text.empty()) return false;
  // English's dictionary took "Andern" and "Gerat" for no word it knows, at
  // confidences as high as those of its own words.
  return word.confidence < leastTrustedConfidence || showsStandIns(word) ||
         (!word.inDictionary && lettersOnly(word.text));
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
