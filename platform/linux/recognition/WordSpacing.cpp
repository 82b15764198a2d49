#include "platform/linux/recognition/WordSpacing.h"

#include "platform/linux/recognition/SecondReading.h"

#include <algorithm>

namespace morvel::linux_ax {
namespace {

// Lighter than this is ground once the text is dark: the faint fringe of a
// glyph's smoothing counts as its ink.
constexpr std::uint8_t groundShade = 224;
// Gaps in a cell's width (the line's width over its characters), in blank
// columns between inks: measured after a monospaced full stop 0.41-0.55 and for
// a space in monospaced text 1.3-1.6; a space in proportional text comes to
// about 0.7 (a space's advance and the bearings beside it over the mean advance).
constexpr double widestGapAfterStop = 0.58;
// A row of ink longer than this, in cells, is a rule: no letter is so wide.
constexpr double longestInkOfLetters = 1.5;

// The line's width over its characters, spaces included but for those after a
// full stop, which may be none: the cell of monospaced text.
double cellWidth(const FoundLine& line) {
  const std::string& text = *line.text;
  std::size_t characters = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const bool continuation = (text[at] & 0xC0) == 0x80;
    const bool spaceAfterStop = text[at] == ' ' && at > 0 && text[at - 1] == '.';
    characters += !continuation && !spaceAfterStop;
  }
  return characters == 0 ? 0.0 : static_cast<double>(line.right - line.left) / static_cast<double>(characters);
}

bool inkAt(const GreyImage& image, int x, int y) { return image.at(x, y) < groundShade; }

// The widest run of blank columns between inks, from column `from` to `to`, in the rows
// of the line, leaving out rows that hold a rule (an underline beneath both
// words).
int widestBlankRun(const GreyImage& image, const FoundLine& line, int from, int to, double cell) {
  std::vector<int> rows;
  for (int y = std::max(line.top, 0); y < std::min(line.bottom, image.height); ++y) {
    int longest = 0;
    for (int x = from, run = 0; x <= to; ++x) longest = std::max(longest, run = inkAt(image, x, y) ? run + 1 : 0);
    if (longest <= longestInkOfLetters * cell) rows.push_back(y);
  }
  int widest = 0;
  int run = -1;  // no ink yet: blank columns before the first ink are no gap
  for (int x = from; x <= to; ++x) {
    const bool blank = std::none_of(rows.begin(), rows.end(), [&](int y) { return inkAt(image, x, y); });
    if (!blank) {
      widest = std::max(widest, run);
      run = 0;
    } else if (run >= 0) {
      ++run;
    }
  }
  return widest;  // blank columns after the last ink are no gap either
}

bool endsInStop(const FoundWord& word) { return word.text.size() > 1 && word.text.back() == '.'; }

bool beginsInLowerCaseOrDigit(const FoundWord& word) {
  const char first = word.text.empty() ? '\0' : word.text.front();
  return (first >= 'a' && first <= 'z') || (first >= '0' && first <= '9');
}

bool splitAfterStop(const GreyImage& image, const FoundLine& line, const FoundWord& word, const FoundWord& next,
                    double cell) {
  if (!endsInStop(word) || !beginsInLowerCaseOrDigit(next)) return false;
  // The recogniser's boxes place letters only roughly: the gap is looked for
  // within a cell of where they say it is, and their boxes may overlap.
  const int reach = static_cast<int>(cell + 0.5);
  const int from = std::clamp(std::max(std::min(word.right, next.left) - reach, word.left), 0, image.width - 1);
  const int to = std::clamp(std::min(std::max(word.right, next.left) + reach, next.right), 0, image.width - 1);
  return from < to && widestBlankRun(image, line, from, to, cell) < widestGapAfterStop * cell;
}

}  // namespace

bool joinWordsSplitAfterStops(const GreyImage& image, FoundLine& line) {
  if (!line.text || line.words.size() < 2 || image.width <= 0) return false;
  const double cell = cellWidth(line);
  bool joined = false;
  for (std::size_t at = 0; at + 1 < line.words.size();) {
    FoundWord& word = line.words[at];
    FoundWord& next = line.words[at + 1];
    if (!splitAfterStop(image, line, word, next, cell)) {
      ++at;
      continue;
    }
    word.text += next.text;
    word.confidence = std::min(word.confidence, next.confidence);
    word.inDictionary = false;
    word.right = std::max(word.right, next.right);
    word.top = std::min(word.top, next.top);
    word.bottom = std::max(word.bottom, next.bottom);
    word.letters.insert(word.letters.end(), next.letters.begin(), next.letters.end());
    line.words.erase(line.words.begin() + static_cast<std::ptrdiff_t>(at) + 1);
    joined = true;
  }
  if (joined) rejoinWords(line);
  return joined;
}

}  // namespace morvel::linux_ax
