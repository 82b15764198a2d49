// The steps between a captured grey image and the recogniser: dark text on
// white, the choice of size, the bands read side by side. Images are drawn
// here pixel by pixel.

#include "platform/linux/recognition/DarkText.h"
#include "platform/linux/recognition/HyphenOrStop.h"
#include "platform/linux/image/FlatAreas.h"
#include "platform/linux/image/GreyImage.h"
#include "platform/linux/recognition/RecognitionCache.h"
#include "platform/linux/recognition/RecognitionPlan.h"
#include "platform/linux/recognition/WordSpacing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <random>
#include <utility>

namespace morvel::testing {
namespace {

using linux_ax::GreyImage;
using linux_ax::RowBand;

GreyImage filled(int width, int height, std::uint8_t shade) {
  return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, shade)};
}

void paint(GreyImage& image, int left, int top, int width, int height, std::uint8_t shade) {
  for (int y = top; y < top + height; ++y) {
    for (int x = left; x < left + width; ++x) image.pixels[static_cast<std::size_t>(y) * image.width + x] = shade;
  }
}

std::uint8_t at(const GreyImage& image, int x, int y) { return image.at(x, y); }

// Strokes two pixels wide, three apart, across a span: the look of a word.
void paintWord(GreyImage& image, int left, int top, int width, int height, std::uint8_t ink) {
  for (int x = left; x + 2 <= left + width; x += 5) paint(image, x, top, 2, height, ink);
}

constexpr std::uint8_t darkInk = 30;
constexpr std::uint8_t nearlyBlack = 40;

TEST(DarkText, TextIsJudgedAgainstItsOwnGroundNotByBrightness) {
  GreyImage image = filled(160, 90, 245);
  // A grey title bar with white text.
  paint(image, 0, 0, 160, 20, 170);
  paintWord(image, 40, 4, 60, 12, 255);
  // A selected row with light text; near its left edge a small closed glyph
  // walls off a piece of the row's ground, nearer to the window's ground than
  // to the rest of the row's.
  paint(image, 20, 38, 100, 22, 110);
  paint(image, 21, 42, 11, 1, 250);
  paint(image, 21, 52, 11, 1, 250);
  paint(image, 21, 42, 1, 11, 250);
  paint(image, 31, 42, 1, 11, 250);
  paintWord(image, 40, 43, 70, 10, 250);
  // Ordinary text below.
  paintWord(image, 20, 70, 60, 12, darkInk);
  linux_ax::makeTextDark(image);

  EXPECT_EQ(at(image, 5, 10), 255);
  EXPECT_LT(at(image, 40, 10), nearlyBlack);
  EXPECT_EQ(at(image, 60, 56), 255);
  EXPECT_LT(at(image, 40, 47), nearlyBlack);
  EXPECT_EQ(at(image, 25, 47), 255);  // the walled-off piece of the row's ground
  EXPECT_LT(at(image, 21, 47), nearlyBlack);
  EXPECT_LT(at(image, 20, 75), nearlyBlack);
  EXPECT_EQ(at(image, 150, 85), 255);
}

TEST(DarkText, ThickStrokesStayInkAndPicturesFollowTheirCommonestShade) {
  GreyImage image = filled(100, 60, 240);
  paint(image, 10, 10, 6, 40, 20);  // the stem of a large bold letter
  // A bold "O": its flat core rings 30 by 40 pixels but is 4 pixels wide.
  paint(image, 50, 10, 30, 40, 20);
  paint(image, 56, 16, 18, 28, 240);
  linux_ax::makeTextDark(image);
  EXPECT_LT(at(image, 12, 30), nearlyBlack);
  EXPECT_EQ(at(image, 30, 30), 255);
  for (const auto& [x, y] : {std::pair{52, 30}, std::pair{65, 12}, std::pair{77, 30}, std::pair{65, 47}}) {
    EXPECT_LT(at(image, x, y), nearlyBlack) << x << "," << y;
  }
  EXPECT_EQ(at(image, 65, 30), 255);  // its counter

  // A bold white stem on a dark bar, a few rows below a light page: its flat
  // core is of the page's shade and close to it, but across the bar.
  GreyImage bar = filled(60, 40, 250);
  paint(bar, 0, 14, 60, 26, 84);
  paint(bar, 20, 18, 5, 12, 250);
  linux_ax::makeTextDark(bar);
  EXPECT_LT(at(bar, 22, 24), nearlyBlack);
  EXPECT_EQ(at(bar, 50, 30), 255);
  EXPECT_EQ(at(bar, 50, 5), 255);

  // No flat area at all: a dark, noisy picture is inverted as a whole.
  GreyImage picture = filled(8, 8, 0);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) picture.pixels[static_cast<std::size_t>(y) * 8 + x] = (x + y) % 2 == 0 ? 10 : 60;
  }
  linux_ax::makeTextDark(picture);
  EXPECT_EQ(at(picture, 0, 0), 255);
  EXPECT_LT(at(picture, 1, 0), 255);

  GreyImage empty;
  linux_ax::makeTextDark(empty);  // nothing to do, nothing to break
  EXPECT_TRUE(empty.pixels.empty());
}

// The flat areas found the plain way: each pixel's four neighbours compared,
// each area flooded, every square of the image tried.
struct PlainFlatAreas {
  std::vector<int> area;  // per pixel, -1 where not flat
  std::vector<bool> large;  // per area
};

PlainFlatAreas plainFlatAreas(const GreyImage& image, int side, int tolerance) {
  auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < image.width && y < image.height; };
  auto flat = [&](int x, int y) {
    for (const auto& [dx, dy] : {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
      if (inside(x + dx, y + dy) && std::abs(at(image, x + dx, y + dy) - at(image, x, y)) > tolerance) return false;
    }
    return true;
  };
  PlainFlatAreas plain{std::vector<int>(image.pixels.size(), -1), {}};
  auto areaAt = [&](int x, int y) -> int& { return plain.area[static_cast<std::size_t>(y) * image.width + x]; };
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (areaAt(x, y) >= 0 || !flat(x, y)) continue;
      const int area = static_cast<int>(plain.large.size());
      plain.large.push_back(false);
      std::deque<std::pair<int, int>> flood{{x, y}};
      areaAt(x, y) = area;
      for (; !flood.empty(); flood.pop_front()) {
        const auto [fx, fy] = flood.front();
        for (const auto& [nx, ny] : {std::pair{fx - 1, fy}, std::pair{fx + 1, fy}, std::pair{fx, fy - 1}, std::pair{fx, fy + 1}}) {
          if (!inside(nx, ny) || areaAt(nx, ny) >= 0 || !flat(nx, ny)) continue;
          areaAt(nx, ny) = area;
          flood.emplace_back(nx, ny);
        }
      }
    }
  }
  for (int y = 0; y + side <= image.height; ++y) {
    for (int x = 0; x + side <= image.width; ++x) {
      bool whole = true;
      for (int cell = 0; cell < side * side && whole; ++cell) whole = areaAt(x + cell % side, y + cell / side) >= 0;
      if (whole) plain.large[static_cast<std::size_t>(areaAt(x, y))] = true;
    }
  }
  return plain;
}

// On varied content the same areas, large and small, as the plain way finds:
// strips along every edge one row short of, and just as tall as, the square;
// a diagonal of dots that parts two grounds touching only at corners between
// them; gradients in steps just within and just beyond the tolerance;
// rectangles and noise at random.
TEST(FlatAreas, AreTheLargeAndSmallAreasFoundThePlainWay) {
  constexpr int side = 9;
  constexpr int tolerance = 4;
  std::vector<GreyImage> images;
  GreyImage edges = filled(70, 60, 240);  // a painted strip's row beside another shade is not flat
  paint(edges, 0, 0, 70, 9, 100);
  paint(edges, 0, 50, 70, 10, 160);
  paint(edges, 0, 9, 10, 41, 60);
  paint(edges, 61, 9, 9, 41, 200);
  images.push_back(edges);
  GreyImage diagonal = filled(60, 60, 100);
  for (int step = 0; step < 60; step += 2) paint(diagonal, step, step, 1, 1, 255);
  images.push_back(diagonal);
  GreyImage gradients = filled(80, 30, 0);
  for (int x = 0; x < 40; ++x) paint(gradients, x, 0, 1, 30, static_cast<std::uint8_t>(4 * x));
  for (int x = 40; x < 80; ++x) paint(gradients, x, 0, 1, 30, static_cast<std::uint8_t>(5 * (x - 40)));
  images.push_back(gradients);
  std::minstd_rand random(7);
  for (int count = 0; count < 4; ++count) {
    GreyImage varied = filled(150, 110, static_cast<std::uint8_t>(random() % 256));
    for (int shape = 0; shape < 40; ++shape) {
      const int width = 1 + static_cast<int>(random() % 30), height = 1 + static_cast<int>(random() % 30);
      paint(varied, static_cast<int>(random() % (150 - width)), static_cast<int>(random() % (110 - height)), width,
            height, static_cast<std::uint8_t>(random() % 256));
    }
    for (int dot = 0; dot < 600; ++dot) varied.pixels[random() % varied.pixels.size()] = static_cast<std::uint8_t>(random());
    images.push_back(varied);
  }
  for (std::size_t which = 0; which < images.size(); ++which) {
    const GreyImage& image = images[which];
    const PlainFlatAreas plain = plainFlatAreas(image, side, tolerance);
    const linux_ax::FlatAreas found = linux_ax::findFlatAreas(image, side, tolerance);
    EXPECT_EQ(found.largeCount, std::count(plain.large.begin(), plain.large.end(), true)) << which;
    std::map<int, int> foundOfPlain, plainOfFound;  // one to one
    for (std::size_t pixel = 0; pixel < image.pixels.size(); ++pixel) {
      const int area = plain.area[pixel];
      const bool large = area >= 0 && plain.large[static_cast<std::size_t>(area)];
      ASSERT_EQ(found.inSmall[pixel], area >= 0 && !large) << which << " pixel " << pixel;
      ASSERT_EQ(found.large[pixel] != linux_ax::FlatAreas::none, large) << which << " pixel " << pixel;
      if (!large) continue;
      ASSERT_EQ(foundOfPlain.emplace(area, found.large[pixel]).first->second, found.large[pixel]) << which;
      ASSERT_EQ(plainOfFound.emplace(found.large[pixel], area).first->second, area) << which;
    }
  }
}

TEST(GreyImage, UpscalingDoublesTheSizeAndKeepsFlatAreasFlat) {
  GreyImage flat{3, 2, std::vector<std::uint8_t>(6, 200)};
  const GreyImage larger = linux_ax::upscaleTwice(flat);
  EXPECT_EQ(larger.width, 6);
  EXPECT_EQ(larger.height, 4);
  for (auto pixel : larger.pixels) EXPECT_EQ(pixel, 200);

  // A width that is no multiple of four: rows are copied into and out of
  // Leptonica's padded words in their order.
  GreyImage ramp{5, 2, {0, 60, 120, 180, 240, 0, 60, 120, 180, 240}};
  const GreyImage smooth = linux_ax::upscaleTwice(ramp);
  ASSERT_EQ(smooth.width, 10);
  ASSERT_EQ(smooth.height, 4);
  for (int y = 0; y < smooth.height; ++y) {
    EXPECT_EQ(smooth.at(0, y), 0);
    EXPECT_EQ(smooth.at(9, y), 240);
    for (int x = 1; x < smooth.width; ++x) EXPECT_LE(smooth.at(x - 1, y), smooth.at(x, y)) << x << "," << y;
  }
  EXPECT_GT(smooth.at(1, 0), 0);  // blended towards the brighter neighbour
  EXPECT_LT(smooth.at(1, 0), 60);
}

// Lines of text `inkHeight` rows tall every `pitch` rows, each row of a line
// different from the next (as rows through glyphs are), with stems `stem`
// pixels wide.
GreyImage linesOfText(int width, int height, int inkHeight, int pitch, int stem = 1) {
  GreyImage image = filled(width, height, 255);
  for (int top = pitch / 2; top + inkHeight <= height; top += pitch) {
    for (int row = 0; row < inkHeight; ++row) {
      for (int x = (row * 7) % 5; x + stem <= width; x += 5) paint(image, x, top + row, stem, 1, darkInk);
    }
  }
  return image;
}

TEST(RecognitionPlan, TextHeightIsTheTypicalInkRunAndDecidesEnlarging) {
  GreyImage image = linesOfText(200, 200, 9, 20);
  paint(image, 0, 3, 200, 1, darkInk);     // a rule across the image
  paint(image, 150, 30, 40, 120, darkInk);  // a picture
  EXPECT_EQ(linux_ax::typicalInkHeight(image), 9);
  EXPECT_FALSE(linux_ax::worthEnlarging(image));

  EXPECT_TRUE(linux_ax::worthEnlarging(linesOfText(200, 200, 5, 12)));
  EXPECT_FALSE(linux_ax::worthEnlarging(linesOfText(200, 200, 8, 16)));
  // Bold text is enlarged up to the height of 14-pixel text; rules and
  // pictures beside it are no stems.
  GreyImage bold = linesOfText(200, 200, 10, 20, 2);
  paint(bold, 0, 3, 200, 1, darkInk);
  paint(bold, 150, 30, 40, 120, darkInk);
  EXPECT_DOUBLE_EQ(linux_ax::meanStemWidth(bold), 2.0);
  EXPECT_TRUE(linux_ax::worthEnlarging(bold));
  EXPECT_FALSE(linux_ax::worthEnlarging(linesOfText(200, 200, 12, 24, 2)));
  // Larger bold text may have short small letters too: its capitals, in every
  // third strip of the image, tell.
  auto withCapitals = [](int capitalHeight) {
    GreyImage text = linesOfText(192, 200, 10, 20, 2);
    for (int top = 10 - (capitalHeight - 10); top + capitalHeight <= 200; top += 20) {
      for (int left = 0; left < 192; left += 48) paint(text, left, top, 2, capitalHeight, darkInk);
    }
    return text;
  };
  EXPECT_TRUE(linux_ax::worthEnlarging(withCapitals(12)));
  EXPECT_FALSE(linux_ax::worthEnlarging(withCapitals(14)));
  EXPECT_FALSE(linux_ax::worthEnlarging(linesOfText(200, 200, 10, 20, 1)));
  EXPECT_EQ(linux_ax::typicalInkHeight(filled(50, 50, 255)), 0);
  EXPECT_FALSE(linux_ax::worthEnlarging(filled(50, 50, 255)));
}

bool blankRows(const GreyImage& image, int first, int last) {
  return std::all_of(image.pixels.begin() + static_cast<std::ptrdiff_t>(first) * image.width,
                     image.pixels.begin() + static_cast<std::ptrdiff_t>(last + 1) * image.width,
                     [](std::uint8_t pixel) { return pixel == 255; });
}

TEST(RecognitionPlan, BandsAreCutInTheMiddleOfGapsBetweenLinesAndBoxes) {
  const GreyImage page = linesOfText(300, 600, 12, 30);  // gaps of 18 blank rows
  const auto bands = linux_ax::rowBands(page, 2, 160);
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_EQ(bands[0].top, 0);
  EXPECT_EQ(bands[0].bottom, bands[1].top);
  EXPECT_EQ(bands[1].bottom, 600);
  const int cut = bands[1].top;
  EXPECT_GE(cut, 160);
  EXPECT_LE(cut, 600 - 160);
  EXPECT_TRUE(blankRows(page, cut - 8, cut + 8)) << cut;  // the middle of the gap

  EXPECT_EQ(linux_ax::rowBands(page, 4, 160).size(), 3u);  // 600 rows hold three bands of 160
  EXPECT_EQ(linux_ax::rowBands(page, 1, 160).size(), 1u);
  EXPECT_EQ(linux_ax::rowBands(linesOfText(300, 300, 12, 30), 2, 160).size(), 1u);

  // Identical rows inside a box are no gap: its sides would be cut into stubs.
  GreyImage boxed = filled(300, 600, 255);
  paint(boxed, 10, 100, 280, 1, 200);
  paint(boxed, 10, 500, 280, 1, 200);
  paint(boxed, 10, 100, 1, 400, 200);
  paint(boxed, 289, 100, 1, 400, 200);
  // Every row different: nowhere to cut without splitting something.
  GreyImage noise = filled(64, 600, 0);
  for (std::size_t index = 0; index < noise.pixels.size(); ++index) {
    noise.pixels[index] = static_cast<std::uint8_t>((index * 2654435761u) >> 24);
  }
  for (const GreyImage* uncut : {&boxed, &noise}) {
    const auto whole = linux_ax::rowBands(*uncut, 2, 160);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].top, 0);
    EXPECT_EQ(whole[0].bottom, 600);
  }
}

TEST(RecognitionPlan, BandImagesRepeatTheirCutRowsAsMargins) {
  GreyImage image = filled(4, 300, 0);
  for (int y = 0; y < 300; ++y) paint(image, 0, y, 4, 1, static_cast<std::uint8_t>(y % 256));

  // A band's image starts `margin` rows above it and ends as far below, those
  // rows repeating its edges; the image's own edges get no margin.
  struct Case {
    RowBand band;
    int firstRow;
    int height;
    std::vector<std::pair<int, int>> rowsAndShades;
  };
  const Case cases[] = {{{100, 200}, 90, 120, {{0, 100}, {9, 100}, {10, 100}, {109, 199}, {119, 199}}},
                        {{0, 100}, 0, 110, {{0, 0}}},
                        {{200, 300}, 190, 110, {{109, 299 % 256}}}};
  for (const Case& wanted : cases) {
    const auto band = linux_ax::bandImage(image, wanted.band, 10);
    EXPECT_EQ(band.firstRow, wanted.firstRow);
    ASSERT_EQ(band.image.height, wanted.height);
    EXPECT_EQ(band.image.width, 4);
    for (const auto& [row, shade] : wanted.rowsAndShades) EXPECT_EQ(at(band.image, 3, row), shade) << wanted.band.top;
  }
}

// Monospaced letters in cells 8 pixels wide, 6 of ink each; a full stop as a
// 2-pixel square in the middle of its cell; a blank cell for a space. Returns
// the word as the recogniser would box it.
linux_ax::FoundWord paintMonospacedWord(GreyImage& image, int& cellLeft, const std::string& text) {
  constexpr int cell = 8;
  linux_ax::FoundWord word;
  word.text = text;
  word.left = cellLeft + 1;
  word.top = 6;
  word.bottom = 15;
  for (char letter : text) {
    if (letter == '.') {
      paint(image, cellLeft + 3, 13, 2, 2, darkInk);
    } else {
      paint(image, cellLeft + 1, 6, 6, 9, darkInk);
    }
    word.right = cellLeft + (letter == '.' ? 5 : 7);
    cellLeft += cell;
  }
  return word;
}

TEST(WordSpacing, AStopsHalfCellGapIsNoSpaceButAWholeCellIs) {
  auto lineOf = [](const std::vector<std::pair<std::string, int>>& words, bool underlined) {
    GreyImage image = filled(200, 22, 255);
    linux_ax::FoundLine line;
    line.top = 4;
    line.bottom = 18;
    int cellLeft = 10;
    std::string text;
    for (const auto& [word, blankCellsBefore] : words) {
      cellLeft += 8 * blankCellsBefore;
      line.words.push_back(paintMonospacedWord(image, cellLeft, word));
      text += (text.empty() ? "" : " ") + word;
    }
    line.text = text;
    line.left = line.words.front().left;
    line.right = line.words.back().right;
    if (underlined) paint(image, line.left, 16, line.right - line.left, 1, darkInk);
    return std::pair{image, line};
  };
  for (bool underlined : {false, true}) {
    // "grace.hopper@example.com" read with spaces where the stops leave gaps.
    auto [image, line] = lineOf({{"ab.", 0}, {"cd.", 0}, {"ef", 0}, {"Gh", 1}}, underlined);
    EXPECT_TRUE(linux_ax::joinWordsSplitAfterStops(image, line));
    EXPECT_EQ(line.text, "ab.cd.ef Gh") << underlined;
    ASSERT_EQ(line.words.size(), 2U);
    EXPECT_EQ(line.words[0].left, 11);
    EXPECT_EQ(line.words[0].right, 73);

    // Real spaces after a stop, and a capital after a stop's gap: a new sentence.
    auto [spaced, sentence] = lineOf({{"ab.", 0}, {"cd", 1}, {"ef.", 1}, {"Gh", 0}}, underlined);
    EXPECT_FALSE(linux_ax::joinWordsSplitAfterStops(spaced, sentence));
    EXPECT_EQ(sentence.text, "ab. cd ef. Gh");
  }
}

// A word as the engine boxes its letters, in cells of 8 pixels from `left`:
// x-height letters from row 10 to 15, ascenders from row 6, the baseline at row
// 15. A dash is boxed as tall as the word and painted from `dashTop` to `dashBottom`.
linux_ax::FoundWord wordWithDash(GreyImage& image, int left, const std::string& text, int dashTop, int dashBottom) {
  linux_ax::FoundWord word{.text = text, .left = left, .top = 6, .bottom = 17};
  for (char character : text) {
    const bool ascender = std::string_view("bdfhklt").find(character) != std::string_view::npos;
    const bool dash = character == '-';
    if (dash) paint(image, left + 2, dashTop, 3, dashBottom - dashTop, darkInk);
    word.letters.push_back({std::string(1, character), left, dash ? 6 : ascender ? 6 : 10, left + 6, dash ? 17 : 15});
    left += 8;
  }
  word.right = left;
  return word;
}

TEST(HyphenOrStop, ADashOnTheBaselineIsAStopAndOneAtHalfTheXHeightAHyphen) {
  EXPECT_TRUE(linux_ax::holdsHyphenBetweenLetters("grace-hopper@example.com"));
  for (const char* text : {"2024-03-15", "-x", "x-", "a -b", "grace.hopper"}) {
    EXPECT_FALSE(linux_ax::holdsHyphenBetweenLetters(text)) << text;
  }
  GreyImage image = filled(400, 20, 255);
  linux_ax::FoundLine line{.text = "grace-hopper read-only x-2 ab-"};
  line.words = {wordWithDash(image, 0, "grace-hopper", 13, 15), wordWithDash(image, 100, "read-only", 12, 13),
                wordWithDash(image, 200, "x-2", 13, 15), wordWithDash(image, 240, "ab-", 13, 15)};
  EXPECT_TRUE(linux_ax::readStopsReadAsHyphens(image, line));
  EXPECT_EQ(line.text, "grace.hopper read-only x-2 ab-");

  // No ink between the letters, and letters that do not spell their word:
  // nothing to go by.
  GreyImage blank = filled(400, 20, 255);
  linux_ax::FoundLine unsure{.text = "grace-hopper grace-hopper"};
  unsure.words = {wordWithDash(blank, 0, "grace-hopper", 13, 15), wordWithDash(blank, 100, "grace-hopper", 13, 15)};
  blank = filled(400, 20, 255);
  paint(blank, 140, 13, 3, 2, darkInk);
  unsure.words[1].letters.pop_back();
  EXPECT_FALSE(linux_ax::readStopsReadAsHyphens(blank, unsure));
  EXPECT_EQ(unsure.text, "grace-hopper grace-hopper");
}

TEST(RecognitionCache, KeysCoverPixelsSizeAndSettings) {
  const GreyImage image = filled(6, 4, 200);
  GreyImage onePixelOff = image;
  onePixelOff.pixels[13] = 201;
  const auto key = linux_ax::pixelKey(image, "eng scale 1");
  EXPECT_EQ(key, linux_ax::pixelKey(filled(6, 4, 200), "eng scale 1"));
  for (const auto& other : {linux_ax::pixelKey(onePixelOff, "eng scale 1"),
                            linux_ax::pixelKey(filled(4, 6, 200), "eng scale 1"), linux_ax::pixelKey(image, "eng scale 2")}) {
    EXPECT_NE(key, other);
  }
}

TEST(RecognitionCache, TheLeastRecentlyUsedLeaveFirstAndNothingStaysBeyondTheBound) {
  auto reading = [](const std::string& text) {
    return linux_ax::Reading{{linux_ax::FoundLine{.text = text, .confidence = 0.9F, .left = 1, .top = 2, .right = 3, .bottom = 4}}, 1};
  };
  auto key = [](std::uint64_t number) { return linux_ax::PixelKey{number, ~number}; };
  linux_ax::RecognitionCache probe;
  probe.store(key(0), reading("Save"));
  const std::size_t oneEntry = probe.bytes();

  linux_ax::RecognitionCache cache(2 * oneEntry);
  cache.store(key(1), reading("Save"));
  cache.store(key(2), reading("Open"));
  ASSERT_TRUE(cache.find(key(1)));  // now the most recently used
  cache.store(key(3), reading("Quit"));
  EXPECT_FALSE(cache.find(key(2)));
  ASSERT_TRUE(cache.find(key(1)));
  EXPECT_EQ(cache.find(key(1))->lines.at(0).text, "Save");
  EXPECT_EQ(cache.find(key(3))->lines.at(0).text, "Quit");
  cache.store(key(3), reading("Close"));  // a key stored again replaces its reading
  EXPECT_EQ(cache.find(key(3))->lines.at(0).text, "Close");
  EXPECT_EQ(cache.size(), 2u);
  EXPECT_LE(cache.bytes(), 2 * oneEntry);

  linux_ax::RecognitionCache off(0);
  off.store(key(1), reading("Save"));
  EXPECT_FALSE(off.find(key(1)));
  EXPECT_EQ(off.bytes(), 0u);
}

}  // namespace
}  // namespace morvel::testing
