#include "platform/linux/recognition/HyphenOrStop.h"

#include "platform/linux/recognition/SecondReading.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace morvel::linux_ax {
namespace {

// A hyphen's ink ends about 0.4 of the x-height above the baseline, a full
// stop's on it: ink that ends nearer than this to the baseline, and lies wholly
// in the lower half of the x-height, is a stop.
constexpr double stopsHighestBottom = 0.25;
constexpr double stopsHighestTop = 0.5;
// Lighter than this is ground once the text is dark: a faint stop's lighter
// column (159 where its ground is white) is ink.
constexpr std::uint8_t groundShade = 224;

bool isAsciiLetter(char character) { return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z'); }

bool isHyphenBetweenLetters(const std::string& text, std::size_t at) {
  return text[at] == '-' && at > 0 && at + 1 < text.size() && isAsciiLetter(text[at - 1]) && isAsciiLetter(text[at + 1]);
}

bool isHyphenBetweenLetters(const std::vector<FoundLetter>& letters, std::size_t at) {
  auto letter = [&](std::size_t index) { return letters[index].text.size() == 1 && isAsciiLetter(letters[index].text[0]); };
  return letters[at].text == "-" && at > 0 && at + 1 < letters.size() && letter(at - 1) && letter(at + 1);
}

// Small letters that reach neither above the x-height nor below the baseline.
bool isXHeightLetter(const std::string& text) {
  return text.size() == 1 && std::string_view("acemnorsuvwxz").find(text[0]) != std::string_view::npos;
}

// Letters and figures that stand on the baseline, none reaching below it.
bool standsOnBaseline(const std::string& text) {
  if (text.size() != 1) return false;
  const char character = text[0];
  const bool figure = character >= '0' && character <= '9';
  return figure || (isAsciiLetter(character) && std::string_view("gjpqy").find(character) == std::string_view::npos);
}

int median(std::vector<int> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
  return values[values.size() / 2];
}

struct Baseline {
  int row = 0;      // the bottom of the letters that stand on it
  int xHeight = 0;  // in rows
};

std::optional<Baseline> baselineOf(const std::vector<FoundLetter>& letters) {
  std::vector<int> bottoms;
  std::vector<int> xTops;
  for (const FoundLetter& letter : letters) {
    if (standsOnBaseline(letter.text)) bottoms.push_back(letter.bottom);
    if (isXHeightLetter(letter.text)) xTops.push_back(letter.top);
  }
  if (bottoms.empty() || xTops.empty()) return std::nullopt;
  const int row = median(std::move(bottoms));
  const Baseline baseline{row, row - median(std::move(xTops))};
  if (baseline.xHeight <= 0) return std::nullopt;
  return baseline;
}

struct InkRows {
  int top = 0;
  int bottom = 0;  // past the last row, as the engine's boxes end
};

// The ink of the symbol at `at` in the word's rows, in the columns of its box
// that its neighbours' boxes leave free: the engine boxes a hyphen or stop as
// tall as the word, so its box tells only where it stands along the line.
std::optional<InkRows> inkOfSymbol(const GreyImage& image, const FoundWord& word, std::size_t at) {
  const FoundLetter& symbol = word.letters[at];
  const int left = std::max({symbol.left, word.letters[at - 1].right, 0});
  const int right = std::min({symbol.right, word.letters[at + 1].left, image.width});
  std::optional<InkRows> ink;
  for (int y = std::max(word.top, 0); y < std::min(word.bottom, image.height); ++y) {
    for (int x = left; x < right; ++x) {
      if (image.at(x, y) >= groundShade) continue;
      if (!ink) ink = InkRows{y, y + 1};
      ink->bottom = y + 1;
      break;
    }
  }
  return ink;
}

bool sitsOnBaseline(const InkRows& ink, const Baseline& baseline) {
  return baseline.row - ink.bottom < stopsHighestBottom * baseline.xHeight &&
         baseline.row - ink.top <= stopsHighestTop * baseline.xHeight;
}

std::string spelled(const std::vector<FoundLetter>& letters) {
  std::string text;
  for (const FoundLetter& letter : letters) text += letter.text;
  return text;
}

// The word's text is made again of its letters, which must spell it.
bool readStopsInWord(const GreyImage& image, FoundWord& word) {
  if (!holdsHyphenBetweenLetters(word.text) || spelled(word.letters) != word.text) return false;
  const std::optional<Baseline> baseline = baselineOf(word.letters);
  if (!baseline) return false;
  bool changed = false;
  for (std::size_t at = 0; at < word.letters.size(); ++at) {
    if (!isHyphenBetweenLetters(word.letters, at)) continue;
    const std::optional<InkRows> ink = inkOfSymbol(image, word, at);
    if (!ink || !sitsOnBaseline(*ink, *baseline)) continue;
    word.letters[at].text.assign(1, '.');
    changed = true;
  }
  if (!changed) return false;
  word.text = spelled(word.letters);
  word.inDictionary = false;
  return true;
}

}  // namespace

bool holdsHyphenBetweenLetters(const std::string& word) {
  for (std::size_t at = 0; at < word.size(); ++at) {
    if (isHyphenBetweenLetters(word, at)) return true;
  }
  return false;
}

bool readStopsReadAsHyphens(const GreyImage& image, FoundLine& line) {
  if (!line.text || line.text->find('-') == std::string::npos) return false;
  bool changed = false;
  for (FoundWord& word : line.words) changed = readStopsInWord(image, word) || changed;
  if (changed) rejoinWords(line);
  return changed;
}

}  // namespace morvel::linux_ax
