// The X11 capture and the Tesseract recogniser through the screen boundary,
// on the fixture window; and the pure steps around them.

#include "platform/linux/GreyImage.h"
#include "platform/linux/LinuxScreen.h"
#include "support/Desktop.h"

#include <gtest/gtest.h>

namespace morvel::testing {
namespace {

using linux_ax::GreyCapture;
using linux_ax::GreyImage;
using linux_ax::LinuxScreen;

struct Found {
  std::string text;
  ScreenRect inRegion;  // pixels from the captured rectangle's top-left corner
};

std::vector<Found> linesIn(const ocr::CapturedImage& image, const std::vector<ocr::Observation>& observations) {
  std::vector<Found> lines;
  for (const ocr::Observation& line : observations) {
    if (!line.text) continue;
    const double width = image.widthPx();
    const double height = image.heightPx();
    lines.push_back({*line.text,
                     {static_cast<int>(line.box.minX * width),
                      static_cast<int>((1.0 - line.box.minY - line.box.height) * height),
                      static_cast<int>(line.box.width * width), static_cast<int>(line.box.height * height)}});
  }
  return lines;
}

const Found* lineWith(const std::vector<Found>& lines, const std::string& text) {
  for (const Found& line : lines) {
    if (line.text.find(text) != std::string::npos) return &line;
  }
  return nullptr;
}

class ScreenOnFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fixture_ = std::make_unique<FixtureApplication>(); }
  static void TearDownTestSuite() { fixture_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(fixture_->started());
    ASSERT_TRUE(eventually([] { return activeWindowPid() == fixture_->pid(); }, startupTimeout));
  }
  static std::unique_ptr<FixtureApplication> fixture_;
  LinuxScreen screen_;
};

std::unique_ptr<FixtureApplication> ScreenOnFixture::fixture_;

TEST_F(ScreenOnFixture, RecognisesTheWindowsLabelsAndCellsWhereTheyAre) {
  const ScreenRect window = fixture_->frameOf("window");
  const ScreenRect button = fixture_->frameOf("add");
  auto image = screen_.capture({double(window.x), double(window.y), double(window.width), double(window.height)});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->widthPx(), window.width);
  EXPECT_EQ(image->heightPx(), window.height);
  auto observations = screen_.recognize(*image);
  ASSERT_TRUE(observations);
  const auto lines = linesIn(*image, *observations);
  for (const char* expected : {"Name", "Email", "Grace Hopper", "alan@example.org", "Subscribe to news"}) {
    EXPECT_NE(lineWith(lines, expected), nullptr) << expected;
  }
  const Found* add = lineWith(lines, "Add");
  ASSERT_NE(add, nullptr);
  // The line lies inside the button, in pixels of the captured rectangle.
  EXPECT_GE(add->inRegion.x, button.x - window.x);
  EXPECT_LE(add->inRegion.x + add->inRegion.width, button.x - window.x + button.width);
  EXPECT_GE(add->inRegion.y, button.y - window.y);
  EXPECT_LE(add->inRegion.y + add->inRegion.height, button.y - window.y + button.height);
  for (const ocr::Observation& line : *observations) {
    EXPECT_GE(line.confidence, 0.0F);
    EXPECT_LE(line.confidence, 1.0F);
  }
}

TEST_F(ScreenOnFixture, ARectanglePartlyOffScreenKeepsItsSizeAndPlacesLinesBack) {
  const ScreenRect window = fixture_->frameOf("window");
  const ScreenRect button = fixture_->frameOf("add");
  // Starts above the screen's top edge and ends with the window.
  constexpr int offScreen = 300;
  const double top = -offScreen;
  const int height = window.y + window.height + offScreen;
  auto image = screen_.capture({double(window.x), top, double(window.width), double(height)});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->heightPx(), height);
  auto observations = screen_.recognize(*image);
  ASSERT_TRUE(observations);
  const std::vector<Found> lines = linesIn(*image, *observations);
  const Found* add = lineWith(lines, "Add");
  ASSERT_NE(add, nullptr);
  EXPECT_GE(add->inRegion.y, button.y + offScreen);
  EXPECT_LE(add->inRegion.y + add->inRegion.height, button.y + offScreen + button.height);
}

TEST_F(ScreenOnFixture, EmptyNegativeAndOffScreenRectanglesCaptureNothing) {
  EXPECT_FALSE(screen_.capture({10, 10, 0, 50}));
  EXPECT_FALSE(screen_.capture({10, 10, 50, 0}));
  EXPECT_FALSE(screen_.capture({10, 10, -40, 50}));
  EXPECT_FALSE(screen_.capture({-500, -500, 100, 100}));
  EXPECT_FALSE(screen_.capture({5000, 10, 100, 100}));
  EXPECT_FALSE(screen_.capture({std::nan(""), 10, 100, 100}));
  EXPECT_FALSE(screen_.capture({1e300, 10, 1e300, 100}));
  // A one-pixel rectangle is a capture, and recognising it is no failure.
  auto tiny = screen_.capture({0, 0, 1, 1});
  ASSERT_TRUE(tiny);
  auto nothing = screen_.recognize(*tiny);
  ASSERT_TRUE(nothing);
  EXPECT_TRUE(nothing->empty());
}

TEST(CaptureGeometry, RectanglesRoundOutwardAndClipToTheScreen) {
  auto rect = linux_ax::pixelRectOf({10.5, 20.25, 5.0, 4.5});
  ASSERT_TRUE(rect);
  EXPECT_EQ(rect->x, 10);
  EXPECT_EQ(rect->y, 20);
  EXPECT_EQ(rect->width, 6);
  EXPECT_EQ(rect->height, 5);
  auto clipped = linux_ax::clipToScreen({-10, 1070, 50, 50}, 1920, 1080);
  ASSERT_TRUE(clipped);
  EXPECT_EQ(clipped->x, 0);
  EXPECT_EQ(clipped->y, 1070);
  EXPECT_EQ(clipped->width, 40);
  EXPECT_EQ(clipped->height, 10);
  EXPECT_FALSE(linux_ax::clipToScreen({1920, 0, 10, 10}, 1920, 1080));
}

TEST(CaptureGeometry, BoxesAreNormalisedToTheWholeRectangleFromTheBottomLeft) {
  // 100 x 50 rectangle whose visible part starts 20 px in; a line found at
  // (10, 4)-(30, 14) in the twice-enlarged visible part.
  const GreyCapture capture(100, 50, 20, 0, GreyImage{80, 50, std::vector<std::uint8_t>(80 * 50, 255)});
  const ocr::NormalizedBox box = linux_ax::normalizedBox(capture, 2, 10, 4, 30, 14);
  EXPECT_DOUBLE_EQ(box.minX, 25.0 / 100);
  EXPECT_DOUBLE_EQ(box.width, 10.0 / 100);
  EXPECT_DOUBLE_EQ(box.height, 5.0 / 50);
  EXPECT_DOUBLE_EQ(box.minY, (50.0 - 7.0) / 50);
}

}  // namespace
}  // namespace morvel::testing
