#include "commands/StructureViaOcr.h"

#include "support/FormScene.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

using testing::json;
using testing::rectValue;
using testing::SimDesktopFixture;
using testing::windowScene;

// The front window ("window", at 0, 0, 1000 × 800 points) with `lines` on screen.
json sceneWithLines(const json& lines) {
  json scene = windowScene(json::array());
  scene["screen"] = {{"lines", lines}};
  return scene;
}

json line(const std::string& text, double x, double y, double w, double h) {
  return {{"text", text}, {"rect", {x, y, w, h}}};
}

// Lines stacked down the window, 8 points apart.
json stackedLines(const std::vector<std::string>& texts) {
  json lines = json::array();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    lines.push_back(line(texts[i], 0, 8.0 * static_cast<double>(i), 400, 8));
  }
  return lines;
}

json structureOf(const json& scene) {
  SimDesktopFixture fixture(scene);
  return structureViaOCR(fixture.platform(), fixture.element("window"));
}

// The add line found among these lines, "-" when none.
std::string addLineOf(const std::vector<std::string>& texts) {
  const json reply = structureOf(sceneWithLines(stackedLines(texts)));
  return reply.contains("addAffordance") ? reply["addAffordance"]["title"].get<std::string>() : "-";
}

TEST(StructureViaOcr, GivesOneRowOfOneStaticTextCellPerLineInScreenPoints) {
  const json reply = structureOf(sceneWithLines(json::array({
      line("  Inbox  ", 250, 100, 250, 50),
      line("Drafts", 0, 400, 125, 100),
      line("", 500, 0, 125, 100),
  })));
  const json frame = {{"x", 250.0}, {"y", 100.0}, {"w", 250.0}, {"h", 50.0}};
  EXPECT_EQ(reply["found"], true);
  EXPECT_EQ(reply["source"], "ocr");
  EXPECT_EQ(reply["containerRole"], "OCR");
  EXPECT_EQ(reply["rowCount"], 3);
  ASSERT_EQ(reply["rows"].size(), 3u);
  EXPECT_EQ(reply["rows"][0],
            json({{"index", 0},
                  {"cells", json::array({{{"role", "AXStaticText"}, {"value", "  Inbox  "}, {"frame", frame}}})},
                  {"frame", frame}}));
  EXPECT_EQ(reply["rows"][1]["frame"], json({{"x", 0.0}, {"y", 400.0}, {"w", 125.0}, {"h", 100.0}}));
  EXPECT_EQ(reply["rows"][2]["index"], 2);
  EXPECT_EQ(reply["rows"][2]["cells"][0]["value"], "");
  EXPECT_FALSE(reply.contains("addAffordance"));
}

TEST(StructureViaOcr, ShowsTheFirst80LinesButSearchesAllForTheAddLine) {
  std::vector<std::string> texts;
  for (int i = 0; i < 100; ++i) texts.push_back(i == 90 ? "New message" : "Message " + std::to_string(i));
  const json reply = structureOf(sceneWithLines(stackedLines(texts)));
  EXPECT_EQ(reply["rowCount"], 80);
  ASSERT_EQ(reply["rows"].size(), 80u);
  EXPECT_EQ(reply["rows"][79]["index"], 79);
  EXPECT_EQ(reply["rows"][79]["cells"][0]["value"], "Message 79");
  EXPECT_EQ(reply["addAffordance"]["title"], "New message");
  EXPECT_NEAR(reply["addAffordance"]["frame"]["y"].get<double>(), 720.0, 1e-9);
}

TEST(StructureViaOcr, TakesTheFirstLineWithOneOfTheFourWordsOrALonePlusSign) {
  EXPECT_EQ(addLineOf({"Inbox", "Add contact", "New"}), "Add contact");
  EXPECT_EQ(addLineOf({"NEW"}), "NEW");
  EXPECT_EQ(addLineOf({"Create a folder"}), "Create a folder");
  EXPECT_EQ(addLineOf({"+"}), "+");
  EXPECT_EQ(addLineOf({"  +  "}), "  +  ");
  for (const char* text : {"Address", "Added", "Renew", "Adder", "Addition", "++", "+ more", "plus", "Surplus"}) {
    EXPECT_EQ(addLineOf({text}), "-") << text;
  }
}

TEST(StructureViaOcr, CapturesNothingForAWindowOfFourPointsOrLessOrWithoutAFrame) {
  auto withWindowFrame = [](const json& frame) {
    json scene = sceneWithLines(stackedLines({"Add"}));
    scene["applications"][0]["windows"][0]["attrs"]["AXFrame"] = frame;
    return scene;
  };
  for (const json& frame : {rectValue(0, 0, 300, 4), rectValue(0, 0, 4, 300), rectValue(0, 0, -300, 300),
                            json({{"error", "unreadable"}})}) {
    SimDesktopFixture fixture(withWindowFrame(frame));
    EXPECT_EQ(structureViaOCR(fixture.platform(), fixture.element("window")), json({{"found", false}})) << frame;
    EXPECT_EQ(fixture.stats()["captures"], 0) << frame;
  }
  SimDesktopFixture justLarger(withWindowFrame(rectValue(0, 0, 4.5, 4.5)));
  structureViaOCR(justLarger.platform(), justLarger.element("window"));
  EXPECT_EQ(justLarger.stats()["captures"], 1);
}

TEST(StructureViaOcr, AnswersFoundFalseWhenNoTextIsRecognised) {
  EXPECT_EQ(structureOf(windowScene(json::array())), json({{"found", false}}));  // no screen: no image
  EXPECT_EQ(structureOf(sceneWithLines(json::array())), json({{"found", false}}));
  EXPECT_EQ(structureOf(sceneWithLines(json::array({line("Outside", 990, 0, 20, 8)}))), json({{"found", false}}));
  json failing = sceneWithLines(stackedLines({"Add"}));
  failing["screen"]["recognizerFails"] = true;
  EXPECT_EQ(structureOf(failing), json({{"found", false}}));
}

}  // namespace
}  // namespace morvel
