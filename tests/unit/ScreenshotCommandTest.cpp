#include "commands/ScreenshotCommand.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

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
