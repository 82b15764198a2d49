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

void expectFrame(const ax::Rect& frame, double x, double y, double w, double h) {
  EXPECT_EQ((std::array{frame.x, frame.y, frame.width, frame.height}), (std::array{x, y, w, h}));
}

// Region (500, 300, 100, 50); the line's box in it is minX 0.1, minY 0.2,
// width 0.5, height 0.3.
json boxExampleScreen(double scale) {
  return {{"scale", scale}, {"lines", {{{"text", "Total"}, {"confidence", 0.5}, {"rect", {510, 325, 50, 15}}}}}};
}
constexpr ax::Rect boxExampleRegion{500, 300, 100, 50};

TEST(RunOCR, FramesAreInImagePixelsFromTheRegionCorner) {
  // (At two pixels a point: OcrRegionCommand below.)
  SimDesktopFixture plain(screenScene(boxExampleScreen(1)));
  // A region with a negative size counts as its standardised form.
  for (const ax::Rect& region : {boxExampleRegion, ax::Rect{600, 350, -100, -50}}) {
    auto result = ocr::runOCR(plain.platform().screen, region);
    ASSERT_EQ(result.lines.size(), 1u);
    expectFrame(result.lines[0].frame, 10, 25, 50, 15);
  }
}

TEST(RunOCR, KeepsEveryCandidateInRecognizerOrderUntrimmedAndScreenLinesToo) {
  SimDesktopFixture fixture(screenScene({{"lines",
                                          {{{"text", "Name"}, {"confidence", 0.3}, {"rect", {60, 60, 10, 10}}},
                                           {{"noCandidate", true}, {"rect", {0, 20, 10, 10}}},
                                           {{"text", ""}, {"confidence", 0.5}, {"rect", {0, 40, 10, 10}}},
                                           {{"text", " Email "}, {"rect", {0, 60, 10, 10}}}}}}));
  auto result = ocr::runOCR(fixture.platform().screen, {0, 0, 100, 100});
  // Not sorted by position; no line and no empty segment for the observation without candidate.
  EXPECT_EQ(result.text, "Name\n\n Email ");
  ASSERT_EQ(result.lines.size(), 3u);
  EXPECT_EQ(result.lines[1].text, "");
  expectFrame(result.lines[1].frame, 0, 40, 10, 10);
  // Single precision widened exactly.
  EXPECT_EQ(result.lines[0].confidence, 0.30000001192092896);
  EXPECT_EQ(result.lines[1].confidence, 0.5);
  EXPECT_EQ(result.lines[2].confidence, 1.0);
  // Words on one visual line stay lines of their own, in the same order.
  auto lines = ocr::ocrScreenLines(fixture.platform().screen, {0, 0, 100, 100});
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "Name");
  EXPECT_EQ(lines[0].confidence, 0.30000001192092896);
  EXPECT_EQ(lines[2].text, " Email ");
  expectFrame(lines[2].frame, 0, 60, 10, 10);
}

TEST(RunOCR, RegionWithoutAreaIsNeverCaptured) {
  SimDesktopFixture fixture(screenScene(boxExampleScreen(1)));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const ax::Rect& region : {ax::Rect{500, 300, 0, 50}, ax::Rect{500, 300, 10, 0}, ax::Rect{500, 300, -0.0, 5},
                                 ax::Rect{500, 300, nan, 50}, ax::Rect{500, 300, 100, nan}}) {
    auto result = ocr::runOCR(fixture.platform().screen, region);
    EXPECT_EQ(result.text, "");
    EXPECT_TRUE(result.lines.empty());
    EXPECT_TRUE(ocr::ocrScreenLines(fixture.platform().screen, region).empty());
  }
  EXPECT_EQ(fixture.stats()["captures"], 0);
}

TEST(RunOCR, FailedCaptureOrRecognitionGivesTheEmptyResult) {
  json failingCapture = boxExampleScreen(1);
  failingCapture["captureFails"] = true;
  SimDesktopFixture noImage(screenScene(failingCapture));
  auto result = ocr::runOCR(noImage.platform().screen, boxExampleRegion);
  EXPECT_EQ(result.text, "");
  EXPECT_TRUE(result.lines.empty());
  EXPECT_EQ(noImage.stats(), json::parse(R"({"reads": 0, "hitTests": 0, "captures": 1, "recognitions": 0, "sleeps": 0})"));

  json failingRecognizer = boxExampleScreen(1);
  failingRecognizer["recognizerFails"] = true;
  SimDesktopFixture noResults(screenScene(failingRecognizer));
  result = ocr::runOCR(noResults.platform().screen, boxExampleRegion);
  EXPECT_TRUE(result.lines.empty());
  EXPECT_TRUE(ocr::ocrScreenLines(noResults.platform().screen, boxExampleRegion).empty());
  EXPECT_EQ(noResults.stats()["recognitions"], 2);
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
      expectFrame(lines[0].frame, 200, 225, 200, 25);
      expectFrame(lines[1].frame, 100, 200, 50, 10);                    // at the top edge
      EXPECT_DOUBLE_EQ(lines[2].frame.y + lines[2].frame.height, 300);  // ends at the bottom edge
    }
  }
}

TEST(OcrRegionCommand, RepliesWithTheJoinedTextAndPixelLinesOrEmptyWithoutAnArea) {
  SimDesktopFixture fixture(screenScene(boxExampleScreen(2)));
  auto request = [](json h) { return json{{"cmd", "ocr-region"}, {"x", 500}, {"y", 300}, {"w", 100}, {"h", std::move(h)}}; };
  const json reply = handle(request(50), fixture.platform());
  EXPECT_EQ(reply, json({{"ok", true},
                         {"text", "Total"},
                         {"lines", {{{"text", "Total"}, {"confidence", 0.5},
                                     {"frame", {{"x", 20.0}, {"y", 50.0}, {"w", 100.0}, {"h", 30.0}}}}}}}));
  EXPECT_EQ(handle(request(false), fixture.platform()), json({{"ok", true}, {"text", ""}, {"lines", json::array()}}));
  EXPECT_EQ(fixture.stats()["captures"], 1);
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
