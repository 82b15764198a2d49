// How well the helper reads screen text: pages of known text painted on the
// virtual desktop, dark on light and light on dark, read with "ocr-region" and
// scored by character error rate against what was painted.

#include "platform/linux/recognition/TesseractRecognizer.h"
#include "platform/linux/x11/X11Capture.h"
#include "support/PaintedText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

namespace morvel::testing {
namespace {

// The rate at which UI text must be read.
constexpr double mostCharacterErrors = 0.02;

Json regionRequest(const ScreenRect& region) {
  return {{"cmd", "ocr-region"}, {"x", region.x}, {"y", region.y}, {"w", region.width}, {"h", region.height}};
}

ScreenRect boundingBox(const ScreenRect& one, const ScreenRect& other) {
  const int left = std::min(one.x, other.x);
  const int top = std::min(one.y, other.y);
  return {left, top, std::max(one.x + one.width, other.x + other.width) - left,
          std::max(one.y + one.height, other.y + other.height) - top};
}

bool onDark(const PaintedLine& line) { return line.darkGround; }
bool onLight(const PaintedLine& line) { return !line.darkGround; }

// A page fixture on screen, the lines it painted, and a helper to read it.
class Page {
 public:
  Page(const std::string& width, const std::string& height, std::vector<std::string> sizes = {},
       const std::map<std::string, std::optional<std::string>>& helperEnvironment = {})
      : helper_(helperEnvironment) {
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
    auto reply = helper_.ask(regionRequest(region), untilReplied);
    return reply ? readLinesOf(*reply, region) : std::vector<ReadLine>{};
  }

 private:
  std::unique_ptr<FixtureApplication> fixture_;
  ScreenRect window_;
  std::vector<PaintedLine> painted_;
  HelperProcess helper_;
};

bool sameReading(const std::vector<ocr::Observation>& first, const std::vector<ocr::Observation>& second) {
  return std::equal(first.begin(), first.end(), second.begin(), second.end(), [](const auto& one, const auto& other) {
    return one.text == other.text && one.confidence == other.confidence && one.box.minX == other.box.minX &&
           one.box.minY == other.box.minY && one.box.width == other.box.width && one.box.height == other.box.height;
  });
}

// The rows of `image` from `from` copied over those from `to`: other lines
// where some lines were, the rest of the image as it was.
linux_ax::GreyCapture withRowsCopied(const linux_ax::GreyCapture& capture, int from, int to, int rows) {
  linux_ax::GreyImage image = capture.visible();
  const auto width = static_cast<std::ptrdiff_t>(image.width);
  std::copy_n(capture.visible().pixels.begin() + from * width, rows * width, image.pixels.begin() + to * width);
  return {image.width, image.height, 0, 0, std::move(image)};
}

// Whatever is kept between reads, and however many engines read side by side,
// a read gives what one engine reading afresh gives: on a page of varied text,
// on the same page again, and after some of its lines changed.
void expectReadingsOfAFreshRead(const Page& page) {
  linux_ax::X11Capture capture;
  auto image = capture.capture({double(page.window().x), double(page.window().y), double(page.window().width),
                                double(page.window().height)});
  ASSERT_TRUE(image);
  const linux_ax::GreyCapture changed = withRowsCopied(*image, 60, 20, 30);

  linux_ax::TesseractRecognizer fresh(1, 0);
  linux_ax::TesseractRecognizer keeping(2);
  const auto first = fresh.recognize(*image);
  ASSERT_TRUE(first);
  EXPECT_GT(first->size(), 20u);
  for (int round = 0; round < 2; ++round) {
    const auto kept = keeping.recognize(*image);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(sameReading(*kept, *first)) << "round " << round;
  }
  const auto afterChange = keeping.recognize(changed);
  const auto freshAfterChange = fresh.recognize(changed);
  ASSERT_TRUE(afterChange);
  ASSERT_TRUE(freshAfterChange);
  EXPECT_TRUE(sameReading(*afterChange, *freshAfterChange));
  EXPECT_FALSE(sameReading(*afterChange, *first));
}

// One page of varied UI text, read whole, by its all-dark panel, and past the
// helper straight from the capture.
TEST(RecognitionAccuracy, UiTextOnLightAndDarkGroundsIsReadAlmostWithoutErrors) {
  Page page("960", "540");
  ASSERT_TRUE(page.ready()) << "the painted page did not come up";
  const auto read = page.read(page.window());

  const TextScore all = scoreReading(page.painted(), read, page.window());
  EXPECT_GT(all.characters, 1000u);  // its rate is that of its dark and light lines together
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

  // The second panel on the top row has a dark ground; a rectangle of it alone.
  const ScreenRect panel{page.window().x + 320, page.window().y, 320, 270};
  const auto panelRead = page.read(panel);
  const TextScore panelScore = scoreReading(page.painted(), panelRead, panel);
  EXPECT_GT(panelScore.characters, 150u);
  EXPECT_EQ(scoreReading(page.painted(), panelRead, panel, onLight).characters, 0u);
  EXPECT_LT(panelScore.rate(), mostCharacterErrors) << panelScore.report;

  expectReadingsOfAFreshRead(page);
}

// Small text is enlarged, and its doubtful English words are not replaced by
// the Latin script's misreadings ("avañable"); bold text up to 14 pixels is
// enlarged too (at its own size it lost up to 14 %); the flat inside of a bold stroke
// is ink, not a ground of its own (one panel wide: text this large in panels
// side by side is read as one line across them); accented words are read with
// the Latin script's model and checked with the languages' word lists (English
// alone lost 15 % of such a page's characters, English and Latin 3.3 %, all of
// the default languages 1.8 % while the marks above capitals were cut off the
// lines read again, none since); sans, serif and monospace text, regular and
// bold, on buttons, selected rows and title bars is read as on plain grounds.
TEST(RecognitionAccuracy, SmallLargeBoldAndAccentedTextIsReadAsWell) {
  // English alone reads the small page at 0.5 %; taking every word the Latin
  // model read again gave 0.9 %.
  constexpr double smallTextErrors = 0.008;
  constexpr double accentedTextErrors = 0.01;
  struct Case {
    const char* width;
    const char* height;
    std::vector<std::string> sizes;
    std::size_t leastCharacters;
    double mostErrors;
  };
  const Case cases[] = {{"960", "540", {"8", "9"}, 1000, smallTextErrors},
                        {"320", "810", {"22", "48", "bold"}, 100, mostCharacterErrors},
                        {"640", "270", {"11", "14", "accented"}, 300, accentedTextErrors},
                        {"960", "540", {"18", "18", "styles"}, 250, mostCharacterErrors}};
  for (const Case& kind : cases) {
    Page page(kind.width, kind.height, kind.sizes, {{"MORVEL_OCR_LANGUAGES", std::nullopt}});
    ASSERT_TRUE(page.ready()) << "the painted page did not come up: " << kind.sizes.back();
    const TextScore score = scoreReading(page.painted(), page.read(page.window()), page.window());
    EXPECT_GT(score.characters, kind.leastCharacters) << kind.sizes.back();
    EXPECT_LT(score.rate(), kind.mostErrors) << kind.sizes.back() << score.report;
  }

  // Bold sans text at 14 pixels read cell by cell, as a button or a row is:
  // read at its own size it lost 4-22 % of its characters.
  Page styles("960", "540", {"14", "14", "styles"}, {{"MORVEL_OCR_LANGUAGES", std::nullopt}});
  ASSERT_TRUE(styles.ready()) << "the painted grid of styles did not come up";
  TextScore bold;
  for (const std::string ground : {"light", "button", "selected", "title"}) {
    const std::string style = ground + "/sans/bold";
    auto ofStyle = [&style](const PaintedLine& line) { return line.ground == style; };
    ScreenRect cell{};
    for (const PaintedLine& line : styles.painted()) {
      if (ofStyle(line)) cell = cell.width == 0 ? line.box : boundingBox(cell, line.box);
    }
    constexpr int groundAround = 8;
    const ScreenRect region{cell.x - groundAround, cell.y - groundAround, cell.width + 2 * groundAround,
                            cell.height + 2 * groundAround};
    const TextScore score = scoreReading(styles.painted(), styles.read(region), region, ofStyle);
    bold.errors += score.errors;
    bold.characters += score.characters;
    bold.report += score.report;
  }
  EXPECT_GT(bold.characters, 60u);
  EXPECT_LT(bold.rate(), mostCharacterErrors) << bold.report;
}

}  // namespace
}  // namespace morvel::testing
