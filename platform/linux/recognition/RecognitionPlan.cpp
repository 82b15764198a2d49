#include "platform/linux/recognition/RecognitionPlan.h"

#include <algorithm>
#include <cstdlib>

namespace morvel::linux_ax {
namespace {

constexpr int inkStrip = 16;
// Darker than this is the body of a stroke, not the fringe of its smoothing.
constexpr std::uint8_t inkShade = 100;
// Runs of one row are rules and underlines; runs taller than this are pictures
// and borders, not text.
constexpr int shortestTextRun = 2;
constexpr int tallestTextRun = 48;
// Measured on rendered UI text read at its own size: 8-pixel text lost a
// fifth of its characters, 9-pixel text 1.5 %, 10-pixel text under 1 % and
// larger text under 0.6 %; at twice the size all of them under 1.5 %, at
// nearly twice the cost. An ink run of 8 rows is typical of 11-pixel text.
constexpr int smallestInkHeightReadAsIs = 8;
// Bold text up to 14 pixels (ink runs up to 10 rows) loses 1-14 % of its
// characters at its own size, where letters touch and lines split around an
// "i"; at twice its size it is read without errors.
constexpr int tallestInkOfBoldEnlarged = 10;
// Larger bold text with short small letters (18-pixel monospace: runs of 10 rows
// for its small letters, 13 and more for capitals and ascenders) read worse
// enlarged (2.4 % of its characters lost against 1.2 %): what is enlarged is
// also short in the runs of its capitals, the upper quarter of the runs.
constexpr double upperQuarter = 0.75;
constexpr int tallestCapitalsOfBoldEnlarged = 12;
// Stems of regular UI text from 11 to 14 pixels have a mean ink width of 1.4 to
// 1.7 pixels, bold ones 1.8 to 3; larger text has wider stems whatever its
// weight, hence the height limit above.
constexpr double narrowestBoldStem = 1.75;
// Horizontal runs of ink wider than this cross a letter (a bar, a rule): no stem.
constexpr int widestStem = 6;

// Lighter than this is ground: every ground is white once the text is dark.
// The borders of fields and lists stay darker, so that no band is cut through a
// box: a cut through one leaves stubs of its sides beside the text of both
// bands, and the recogniser reads stubs as letters.
constexpr std::uint8_t blankShade = 224;

// By hand: Leptonica's threshold and row counts took 8-10x as long for the same
// rows (copying into its image costs more than the scan, which stops at the
// first ink of a row).
bool blankRow(const GreyImage& image, int row) {
  const auto* first = image.pixels.data() + static_cast<std::size_t>(row) * image.width;
  return std::all_of(first, first + image.width, [](std::uint8_t pixel) { return pixel >= blankShade; });
}

// A gap between text lines is at least this many blank rows.
constexpr int narrowestGap = 3;

// The gap whose middle is nearest to `ideal`, within `reach` rows of it and
// leaving `shortestBand` rows on either side: the row in its middle, or -1.
int gapNear(const GreyImage& image, int ideal, int after, int shortestBand, int reach) {
  const int first = std::max({ideal - reach, after + shortestBand + 1, 1});
  const int last = std::min(ideal + reach, image.height - shortestBand);
  int bestMiddle = -1;
  int runStart = first;
  for (int row = first; row <= last + 1; ++row) {
    if (row <= last && blankRow(image, row)) continue;
    // Rows runStart .. row - 1 are all blank.
    const int length = row - runStart;
    const int middle = runStart + length / 2;
    if (length >= narrowestGap && (bestMiddle < 0 || std::abs(middle - ideal) < std::abs(bestMiddle - ideal))) {
      bestMiddle = middle;
    }
    runStart = row + 1;
  }
  return bestMiddle;
}

// The heights of the vertical runs of ink within narrow strips of the image,
// leaving out rules and pictures.
std::vector<int> inkRuns(const GreyImage& darkOnLight) {
  std::vector<int> runs;
  for (int left = 0; left < darkOnLight.width; left += inkStrip) {
    const int right = std::min(left + inkStrip, darkOnLight.width);
    int run = 0;
    for (int y = 0; y <= darkOnLight.height; ++y) {
      bool ink = false;
      for (int x = left; y < darkOnLight.height && x < right && !ink; ++x) ink = darkOnLight.at(x, y) < inkShade;
      if (ink) {
        ++run;
        continue;
      }
      if (run >= shortestTextRun && run <= tallestTextRun) runs.push_back(run);
      run = 0;
    }
  }
  return runs;
}

// The run that `share` of the runs are no taller than.
int inkRunAt(std::vector<int> runs, double share) {
  if (runs.empty()) return 0;
  const auto at = runs.begin() + static_cast<std::ptrdiff_t>(static_cast<double>(runs.size() - 1) * share + 0.5);
  std::nth_element(runs.begin(), at, runs.end());
  return *at;
}

}  // namespace

int typicalInkHeight(const GreyImage& darkOnLight) { return inkRunAt(inkRuns(darkOnLight), 0.5); }

double meanStemWidth(const GreyImage& darkOnLight) {
  long long inkPixels = 0;
  long long stems = 0;
  for (int y = 0; y < darkOnLight.height; ++y) {
    int run = 0;
    for (int x = 0; x <= darkOnLight.width; ++x) {
      if (x < darkOnLight.width && darkOnLight.at(x, y) < inkShade) {
        ++run;
        continue;
      }
      if (run > 0 && run <= widestStem) {
        inkPixels += run;
        ++stems;
      }
      run = 0;
    }
  }
  return stems == 0 ? 0.0 : static_cast<double>(inkPixels) / static_cast<double>(stems);
}

bool worthEnlarging(const GreyImage& darkOnLight) {
  const std::vector<int> runs = inkRuns(darkOnLight);
  const int inkHeight = inkRunAt(runs, 0.5);
  if (inkHeight <= 0) return false;
  if (inkHeight < smallestInkHeightReadAsIs) return true;
  return inkHeight <= tallestInkOfBoldEnlarged && inkRunAt(runs, upperQuarter) <= tallestCapitalsOfBoldEnlarged &&
         meanStemWidth(darkOnLight) >= narrowestBoldStem;
}

std::vector<RowBand> rowBands(const GreyImage& image, int most, int shortestBand) {
  const int count = std::clamp(shortestBand > 0 ? image.height / shortestBand : most, 1, std::max(most, 1));
  std::vector<RowBand> bands;
  int top = 0;
  for (int cut = 1; cut < count; ++cut) {
    const int ideal = static_cast<int>(static_cast<long long>(image.height) * cut / count);
    const int gap = gapNear(image, ideal, top, shortestBand, image.height / (2 * count));
    if (gap < 0) continue;
    bands.push_back({top, gap});
    top = gap;
  }
  bands.push_back({top, image.height});
  return bands;
}

BandImage bandImage(const GreyImage& image, RowBand band, int margin) {
  const int above = band.top > 0 ? margin : 0;
  const int below = band.bottom < image.height ? margin : 0;
  BandImage cut;
  cut.firstRow = band.top - above;
  cut.image.width = image.width;
  cut.image.height = above + (band.bottom - band.top) + below;
  cut.image.pixels.reserve(static_cast<std::size_t>(cut.image.width) * cut.image.height);
  auto appendRow = [&](int row) {
    const auto start = image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.width;
    cut.image.pixels.insert(cut.image.pixels.end(), start, start + image.width);
  };
  for (int copy = 0; copy < above; ++copy) appendRow(band.top);
  for (int row = band.top; row < band.bottom; ++row) appendRow(row);
  for (int copy = 0; copy < below; ++copy) appendRow(band.bottom - 1);
  return cut;
}

}  // namespace morvel::linux_ax
