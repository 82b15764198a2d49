// How well the helper reads screen text: pages of known text painted on the
// virtual desktop, dark on light and light on dark, read with "ocr-region" and
// scored by character error rate against what was painted.

#include "platform/linux/recognition/TesseractRecognizer.h"
#include "platform/linux/x11/X11Capture.h"
#include "support/PaintedText.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvel::testing {
namespace {

// The rate at which UI text must be read.
constexpr double mostCharacterErrors = 0.02;

Json regionRequest(const ScreenRect& region) {
  return {{"cmd", "ocr-region"}, {"x", region.x}, {"y", region.y}, {"w", region.width}, {"h", region.height}};
}

bool onDark(const PaintedLine& line) { return line.darkGround; }
bool onLight(const PaintedLine& line) { return !line.darkGround; }

// A page fixture on screen, the lines it painted, and a helper to read it.
class Page {
 public:
  Page(const std::string& width, const std::string& height, std::vector<std::string> sizes = {}) {
    std::vector<std::string> argv = {MORVEL_PAINTED_TEXT_APP_PATH, "page", width, height};
    argv.insert(argv.end(), sizes.begin(), sizes.end());
    fixture_ = std::make_unique<FixtureApplication>(argv);
    if (!fixture_->started()) return;
    window_ = clientWindowOf(fixture_->pid()).value_or(ScreenRect{});
    painted_ = paintedLinesOf(*fixture_, fixture_->pid());
  }
  bool ready() const { return !painted_.empty() && window_.width > 0; }
  const ScreenRect& window() const { return window_; }
  const std::vector<PaintedLine>& painted() const { return painted_; }

  std::vector<ReadLine> read(const ScreenRect& region) {
    auto reply = helper_.ask(regionRequest(region));
    return reply ? readLinesOf(*reply, region) : std::vector<ReadLine>{};
  }

 private:
  std::unique_ptr<FixtureApplication> fixture_;
  ScreenRect window_;
  std::vector<PaintedLine> painted_;
  HelperProcess helper_;
};

TEST(RecognitionAccuracy, UiTextOnLightAndDarkGroundsIsReadAlmostWithoutErrors) {
  Page page("960", "540");
  ASSERT_TRUE(page.ready()) << "the painted page did not come up";
  const auto read = page.read(page.window());

  const TextScore all = scoreReading(page.painted(), read, page.window());
  EXPECT_GT(all.characters, 1000u);
  EXPECT_LT(all.rate(), mostCharacterErrors) << all.report;
  const TextScore dark = scoreReading(page.painted(), read, page.window(), onDark);
  const TextScore light = scoreReading(page.painted(), read, page.window(), onLight);
  EXPECT_GT(dark.characters, 300u);
  EXPECT_GT(light.characters, 300u);
  EXPECT_LT(dark.rate(), mostCharacterErrors) << dark.report;
  EXPECT_LT(light.rate(), mostCharacterErrors) << light.report;
  for (int size = 11; size <= 14; ++size) {
    const TextScore ofSize =
        scoreReading(page.painted(), read, page.window(), [size](const PaintedLine& line) { return line.pixelSize == size; });
    EXPECT_GT(ofSize.characters, 0u) << size;
  }
}

TEST(RecognitionAccuracy, ARectangleThatIsAllDarkGroundIsReadAsWell) {
  Page page("960", "540");
  ASSERT_TRUE(page.ready()) << "the painted page did not come up";
  // The page's second panel on its top row has a dark ground; take it alone.
  const ScreenRect panel{page.window().x + 320, page.window().y, 320, 270};
  const auto read = page.read(panel);
  const TextScore score = scoreReading(page.painted(), read, panel);
  EXPECT_GT(score.characters, 150u);
  EXPECT_EQ(scoreReading(page.painted(), read, panel, onLight).characters, 0u);
  EXPECT_LT(score.rate(), mostCharacterErrors) << score.report;
}

TEST(RecognitionAccuracy, SmallTextIsEnlargedAndReadAsWell) {
  Page page("960", "540", {"8", "9"});
  ASSERT_TRUE(page.ready()) << "the painted page did not come up";
  const auto read = page.read(page.window());
  const TextScore score = scoreReading(page.painted(), read, page.window());
  EXPECT_GT(score.characters, 1000u);
  EXPECT_LT(score.rate(), mostCharacterErrors) << score.report;
}

// Reading in bands side by side must find the lines one engine finds, where
// it finds them.
TEST(RecognitionAccuracy, BandsReadSideBySideFindWhatOneReadFinds) {
  Page page("960", "540");
  ASSERT_TRUE(page.ready()) << "the painted page did not come up";
  linux_ax::X11Capture capture;
  auto image = capture.capture({double(page.window().x), double(page.window().y), double(page.window().width),
                                double(page.window().height)});
  ASSERT_TRUE(image);
  linux_ax::TesseractRecognizer oneEngine(1);
  linux_ax::TesseractRecognizer twoEngines(2);
  const auto whole = oneEngine.recognize(*image);
  const auto banded = twoEngines.recognize(*image);
  ASSERT_TRUE(whole);
  ASSERT_TRUE(banded);
  ASSERT_FALSE(whole->empty());
  EXPECT_EQ(banded->size(), whole->size());
  constexpr double onePixel = 1.0;
  std::size_t sameText = 0;
  for (const ocr::Observation& line : *banded) {
    auto twin = std::find_if(whole->begin(), whole->end(), [&](const ocr::Observation& other) {
      return std::fabs(other.box.minX - line.box.minX) * image->widthPx() <= onePixel &&
             std::fabs(other.box.minY - line.box.minY) * image->heightPx() <= onePixel &&
             std::fabs(other.box.width - line.box.width) * image->widthPx() <= onePixel &&
             std::fabs(other.box.height - line.box.height) * image->heightPx() <= onePixel;
    });
    ASSERT_NE(twin, whole->end()) << line.text.value_or("(no text)");
    if (twin->text == line.text) ++sameText;
  }
  // The recogniser sees a line's surroundings a little differently in a band.
  EXPECT_GE(sameText + 2, banded->size());
}

}  // namespace
}  // namespace morvel::testing
