#include "platform/linux/recognition/SecondReading.h"

#include <algorithm>
#include <cctype>

namespace morvel::linux_ax {
namespace {

// Below this confidence a line is read again whatever its letters.
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

}  // namespace

std::string firstLanguage(const std::string& languages) { return languages.substr(0, languages.find('+')); }

bool worthReadingAgain(const FoundLine& line) {
  if (!line.text) return false;
  return line.confidence < leastTrustedConfidence || holdsNonAscii(*line.text) || holdsDigitAmidLetters(*line.text);
}

GreyImage lineImage(const GreyImage& image, const FoundLine& line, int margin) {
  const int left = std::clamp(line.left - margin, 0, image.width);
  const int right = std::clamp(line.right + margin, left, image.width);
  const int top = std::clamp(line.top - margin, 0, image.height);
  const int bottom = std::clamp(line.bottom + margin, top, image.height);
  GreyImage cut;
  cut.width = right - left;
  cut.height = bottom - top;
  cut.pixels.reserve(static_cast<std::size_t>(cut.width) * cut.height);
  for (int row = top; row < bottom; ++row) {
    const auto start = image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.width;
    cut.pixels.insert(cut.pixels.end(), start + left, start + right);
  }
  return cut;
}

}  // namespace morvel::linux_ax
