#include "app/Dispatcher.h"
#include "ocr/VisionOCR.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

json screenScene(json screen) { return {{"screen", std::move(screen)}}; }

void expectFrame(const ax::Rect& frame, double x, double y, double w, double h) {
  EXPECT_DOUBLE_EQ(frame.x, x);
  EXPECT_DOUBLE_EQ(frame.y, y);
  EXPECT_DOUBLE_EQ(frame.width, w);
  EXPECT_DOUBLE_EQ(frame.height, h);
}

// Region (500, 300, 100, 50); the line's box in it is minX 0.1, minY 0.2,
// width 0.5, height 0.3.
json boxExampleScreen(double scale) {
  return {{"scale", scale}, {"lines", {{{"text", "Total"}, {"confidence", 0.5}, {"rect", {510, 325, 50, 15}}}}}};
}
constexpr ax::Rect boxExampleRegion{500, 300, 100, 50};

TEST(RunOCR, FramesAreInImagePixelsFromTheRegionCorner) {
  SimDesktopFixture retina(screenScene(boxExampleScreen(2)));
  auto result = ocr::runOCR(retina.platform().screen, boxExampleRegion);
  ASSERT_EQ(result.lines.size(), 1u);
  EXPECT_EQ(result.text, "Total");
  expectFrame(result.lines[0].frame, 20, 50, 100, 30);
  // A region with a negative size counts as its standardised form.
  result = ocr::runOCR(retina.platform().screen, {600, 350, -100, -50});
  ASSERT_EQ(result.lines.size(), 1u);
  expectFrame(result.lines[0].frame, 20, 50, 100, 30);

  SimDesktopFixture plain(screenScene(boxExampleScreen(1)));
  result = ocr::runOCR(plain.platform().screen, boxExampleRegion);
  ASSERT_EQ(result.lines.size(), 1u);
  expectFrame(result.lines[0].frame, 10, 25, 50, 15);
}

TEST(RunOCR, KeepsEveryCandidateInRecognizerOrderUntrimmed) {
  SimDesktopFixture fixture(screenScene({{"lines",
                                          {{{"text", "Name"}, {"confidence", 0.3}, {"rect", {0, 60, 10, 10}}},
                                           {{"noCandidate", true}, {"rect", {0, 20, 10, 10}}},
                                           {{"text", ""}, {"confidence", 0.5}, {"rect", {0, 40, 10, 10}}},
                                           {{"text", " Email "}, {"rect", {0, 0, 10, 10}}}}}}));
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
  auto stats = noImage.stats();
  EXPECT_EQ(stats["captures"], 1);
  EXPECT_EQ(stats["recognitions"], 0);

  json failingRecognizer = boxExampleScreen(1);
  failingRecognizer["recognizerFails"] = true;
  SimDesktopFixture noResults(screenScene(failingRecognizer));
  result = ocr::runOCR(noResults.platform().screen, boxExampleRegion);
  EXPECT_TRUE(result.lines.empty());
  EXPECT_TRUE(ocr::ocrScreenLines(noResults.platform().screen, boxExampleRegion).empty());
  EXPECT_EQ(noResults.stats()["recognitions"], 2);

  SimDesktopFixture blank(screenScene(boxExampleScreen(1)));
  EXPECT_TRUE(ocr::runOCR(blank.platform().screen, {0, 0, 100, 100}).lines.empty());
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
      EXPECT_EQ(lines[0].text, "Name");
      expectFrame(lines[0].frame, 200, 225, 200, 25);
      expectFrame(lines[1].frame, 100, 200, 50, 10);                    // at the top edge
      EXPECT_DOUBLE_EQ(lines[2].frame.y + lines[2].frame.height, 300);  // ends at the bottom edge
    }
  }
}

TEST(OcrScreenLines, WordsOnOneVisualLineStayTwoLinesWithoutCandidatelessOnes) {
  SimDesktopFixture fixture(screenScene({{"lines",
                                          {{{"text", "Last"}, {"confidence", 0.3}, {"rect", {60, 10, 30, 10}}},
                                           {{"noCandidate", true}, {"rect", {40, 10, 10, 10}}},
                                           {{"text", "First"}, {"rect", {10, 10, 30, 10}}}}}}));
  auto lines = ocr::ocrScreenLines(fixture.platform().screen, {0, 0, 100, 40});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "Last");
  EXPECT_EQ(lines[0].confidence, 0.30000001192092896);
  EXPECT_EQ(lines[1].text, "First");
  expectFrame(lines[1].frame, 10, 10, 30, 10);
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

}  // namespace
}  // namespace morvel
