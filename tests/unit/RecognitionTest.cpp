// Recognition through the screen boundary: boxes and lines, "ocr-region", and
// the pictures "screenshot" takes.

#include "app/Dispatcher.h"
#include "commands/ScreenshotCommand.h"
#include "ocr/VisionOCR.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

json screenScene(json screen) { return {{"screen", std::move(screen)}}; }

// Region (500, 300, 100, 50); the line's box in it is minX 0.1, minY 0.2,
// width 0.5, height 0.3.
json boxExampleScreen(double scale) {
  return {{"scale", scale}, {"lines", {{{"text", "Total"}, {"confidence", 0.5}, {"rect", {510, 325, 50, 15}}}}}};
}
constexpr ax::Rect boxExampleRegion{500, 300, 100, 50};

// Each line as its text, its confidence and its frame.
std::vector<std::string> described(const std::vector<ocr::OCRLine>& lines) {
  std::vector<std::string> texts;
  for (const auto& [text, confidence, frame] : lines) {
    texts.push_back(text + " " + json(confidence).dump() + " " + json{frame.x, frame.y, frame.width, frame.height}.dump());
  }
  return texts;
}

TEST(RunOCR, KeepsEveryCandidateInRecognizerOrderUntrimmedAndScreenLinesToo) {
  SimDesktopFixture fixture(screenScene({{"lines",
                                          {{{"text", "Name"}, {"confidence", 0.3}, {"rect", {60, 60, 10, 10}}},
                                           {{"noCandidate", true}, {"rect", {0, 20, 10, 10}}},
                                           {{"text", ""}, {"confidence", 0.5}, {"rect", {0, 40, 10, 10}}},
                                           {{"text", " Email "}, {"rect", {0, 60, 10, 10}}}}}}));
  auto result = ocr::runOCR(fixture.platform().screen, {0, 0, 100, 100});
  // Not sorted by position; no line and no empty segment for the observation
  // without candidate; single precision widened exactly.
  EXPECT_EQ(result.text, "Name\n\n Email ");
  const std::vector<std::string> expected = {"Name 0.30000001192092896 [60.0,60.0,10.0,10.0]", " 0.5 [0.0,40.0,10.0,10.0]",
                                             " Email  1.0 [0.0,60.0,10.0,10.0]"};
  EXPECT_EQ(described(result.lines), expected);
  // Words on one visual line stay lines of their own, in the same order.
  EXPECT_EQ(described(ocr::ocrScreenLines(fixture.platform().screen, {0, 0, 100, 100})), expected);
}

TEST(RunOCR, GivesTheEmptyResultForARegionWithoutAreaOrAFailedCaptureOrRecognition) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  json failingCapture = boxExampleScreen(1);
  failingCapture["captureFails"] = true;
  json failingRecognizer = boxExampleScreen(1);
  failingRecognizer["recognizerFails"] = true;
  const struct {
    json screen;
    ax::Rect region;
    int captures;
    int recognitions;
  } cases[] = {
      {boxExampleScreen(1), {500, 300, 0, 50}, 0, 0},    {boxExampleScreen(1), {500, 300, 10, 0}, 0, 0},
      {boxExampleScreen(1), {500, 300, -0.0, 5}, 0, 0},  {boxExampleScreen(1), {500, 300, nan, 50}, 0, 0},
      {boxExampleScreen(1), {500, 300, 100, nan}, 0, 0}, {failingCapture, boxExampleRegion, 2, 0},
      {failingRecognizer, boxExampleRegion, 2, 2},
  };
  for (const auto& c : cases) {
    SimDesktopFixture fixture(screenScene(c.screen));
    auto result = ocr::runOCR(fixture.platform().screen, c.region);
    EXPECT_EQ(result.text, "");
    EXPECT_TRUE(result.lines.empty());
    EXPECT_TRUE(ocr::ocrScreenLines(fixture.platform().screen, c.region).empty());
    EXPECT_EQ(fixture.stats(), json({{"reads", 0}, {"hitTests", 0}, {"captures", c.captures},
                                     {"recognitions", c.recognitions}, {"sleeps", 0}})) << c.screen;
  }
}

// Region (100, 200, 400, 100); the line's box is minX 0.25, minY 0.5, width 0.5,
// height 0.25.
json screenLinesExample(double scale) {
  return {{"scale", scale},
          {"lines",
           {{{"text", "Name"}, {"rect", {200, 225, 200, 25}}},
            {{"text", "top"}, {"rect", {100, 200, 50, 10}}},
            {{"text", "bottom"}, {"rect", {450, 290, 50, 10}}}}}};
}

TEST(OcrScreenLines, FramesAreInScreenPointsWhateverThePixelDensityOrTheRegionsCorner) {
  for (double scale : {1.0, 2.0}) {
    SimDesktopFixture fixture(screenScene(screenLinesExample(scale)));
    // The same region, from its top-left corner or (negative size) its bottom-right one.
    for (const ax::Rect& region : {ax::Rect{100, 200, 400, 100}, ax::Rect{500, 300, -400, -100}}) {
      auto lines = ocr::ocrScreenLines(fixture.platform().screen, region);
      ASSERT_EQ(lines.size(), 3u);
      // The second at the top edge, the third ending at the bottom edge.
      EXPECT_EQ(described({lines[0], lines[1]}),
                (std::vector<std::string>{"Name 1.0 [200.0,225.0,200.0,25.0]", "top 1.0 [100.0,200.0,50.0,10.0]"}));
      EXPECT_DOUBLE_EQ(lines[2].frame.y + lines[2].frame.height, 300);
    }
  }
}

TEST(OcrRegionCommand, RepliesWithTheJoinedTextAndLinesInPixelsFromTheRegionCornerOrEmptyWithoutAnArea) {
  SimDesktopFixture fixture(screenScene(boxExampleScreen(2)));
  auto request = [](double x, double y, double w, json h) {
    return json{{"cmd", "ocr-region"}, {"x", x}, {"y", y}, {"w", w}, {"h", std::move(h)}};
  };
  const json reply = {{"ok", true},
                      {"text", "Total"},
                      {"lines", {{{"text", "Total"}, {"confidence", 0.5},
                                  {"frame", {{"x", 20.0}, {"y", 50.0}, {"w", 100.0}, {"h", 30.0}}}}}}};
  EXPECT_EQ(handle(request(500, 300, 100, 50), fixture.platform()), reply);
  // A region with a negative size counts as its standardised form.
  EXPECT_EQ(handle(request(600, 350, -100, -50), fixture.platform()), reply);
  EXPECT_EQ(handle(request(500, 300, 100, false), fixture.platform()), json({{"ok", true}, {"text", ""}, {"lines", json::array()}}));
  EXPECT_EQ(fixture.stats()["captures"], 2);
}

// One line of text at (510, 305), 40 by 10 points, on a display with three pixels per point.
json sceneWithOneLine(bool captureFails = false) {
  return {{"screen",
           {{"scale", 3}, {"captureFails", captureFails}, {"lines", {{{"text", "Name"}, {"rect", {510, 305, 40, 10}}}}}}}};
}

TEST(ScreenshotCommand, APictureOfOnePixelPerPointShowingWhatIsWhere) {
  SimDesktopFixture fixture(sceneWithOneLine());
  auto picture = cmdScreenshot(fixture.platform(), 500, 300, 60.4, 20);
  ASSERT_TRUE(std::holds_alternative<ocr::GreyPixels>(picture));
  const auto& grey = std::get<ocr::GreyPixels>(picture);
  ASSERT_EQ(grey.width, 60);
  ASSERT_EQ(grey.height, 20);
  ASSERT_EQ(grey.bytes.size(), 60u * 20u);
  auto at = [&grey](int x, int y) { return grey.bytes[static_cast<std::size_t>(y) * grey.width + x]; };
  const std::uint8_t background = at(0, 0);
  // The line's corners are inside it, the points just outside are not.
  for (auto [x, y] : {std::pair{10, 5}, {49, 5}, {10, 14}, {49, 14}}) EXPECT_LT(at(x, y), background) << x << "," << y;
  for (auto [x, y] : {std::pair{9, 5}, {50, 5}, {10, 4}, {10, 15}}) EXPECT_EQ(at(x, y), background) << x << "," << y;
}

TEST(ScreenshotCommand, RefusesRectanglesItCannotPictureAndFailedCaptures) {
  SimDesktopFixture fixture(sceneWithOneLine());
  const double nan = std::nan("");
  for (auto [x, y, w, h] : {std::array{0.0, 0.0, 0.4, 10.0}, {0.0, 0.0, 10.0, -10.0}, {nan, 0.0, 10.0, 10.0},
                            {0.0, 0.0, 8193.0, 1.0}, {0.0, 0.0, 10.0, std::numeric_limits<double>::infinity()}}) {
    EXPECT_TRUE(std::holds_alternative<std::string>(cmdScreenshot(fixture.platform(), x, y, w, h))) << w << "x" << h;
  }
  // Three pixels per point: the largest picture would hold too many captured pixels.
  EXPECT_TRUE(std::holds_alternative<std::string>(cmdScreenshot(fixture.platform(), 0, 0, 8192, 8192)));
  SimDesktopFixture failing(sceneWithOneLine(true));
  EXPECT_EQ(std::get<std::string>(cmdScreenshot(failing.platform(), 0, 0, 10, 10)), "the screen could not be captured");
}

}  // namespace
}  // namespace morvel
