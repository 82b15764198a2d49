// "structure" of morvel_ax_helper on the virtual desktop: from the accessible
// table of the sample contacts application, and from recognised text on a
// window that only paints its list.

#include "accessibility/AXNames.h"
#include "support/AppSuite.h"
#include "support/PaintedText.h"

#include <algorithm>
#include <cmath>

namespace morvel::testing {
namespace {

ScreenRect rectOf(const Json& frame) {
  return {static_cast<int>(std::lround(frame["x"].get<double>())), static_cast<int>(std::lround(frame["y"].get<double>())),
          static_cast<int>(std::lround(frame["w"].get<double>())), static_cast<int>(std::lround(frame["h"].get<double>()))};
}

std::vector<std::string> cellValues(const Json& row) {
  std::vector<std::string> values;
  for (const Json& cell : row["cells"]) values.push_back(cell.value("value", ""));
  return values;
}

const Json* rowWith(const Json& reply, const std::string& text) {
  for (const Json& row : reply["rows"]) {
    for (const std::string& value : cellValues(row)) {
      if (value.find(text) != std::string::npos) return &row;
    }
  }
  return nullptr;
}

using StructureOnContacts = OnSampleApp;

// The accessible table and its add button; and the reads asked many at once
// answer exactly as single reads do.
TEST_F(StructureOnContacts, ReadsTheAccessibleTableAndItsAddButtonAsWithEveryReadAskedOnItsOwn) {
  HelperProcess helper;
  auto reply = helper.ask({{"cmd", "structure"}});
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)["found"], true) << *reply;
  EXPECT_EQ((*reply)["containerRole"], ax::AXTable);
  EXPECT_EQ((*reply)["rowCount"], 3);
  const Json* grace = rowWith(*reply, "Grace Hopper");
  ASSERT_NE(grace, nullptr) << *reply;
  EXPECT_EQ(cellValues(*grace), (std::vector<std::string>{"Grace Hopper", "grace@example.org"}));
  ASSERT_TRUE(reply->contains("addAffordance")) << *reply;
  EXPECT_EQ((*reply)["addAffordance"]["title"], "Add");
  EXPECT_EQ((*reply)["addAffordance"]["frame"], frameJson(fixture_->frameOf("add")));

  const Json add = {{"role", ax::AXButton}, {"title", "Add"}};
  const Json find = {{"cmd", "find"}, {"selector", {{"path", Json::array({add})}}}, {"timeoutMs", 0}};
  expectSameAsSerialReads(helper, {Json{{"cmd", "structure"}}, Json{{"cmd", "fields"}}, Json{{"cmd", "fingerprint"}}, find});
}

class StructureOnPaintedList : public OnSampleApp {
 protected:
  static void SetUpTestSuite() {
    fixture_ = std::make_unique<FixtureApplication>(std::vector<std::string>{MORVEL_PAINTED_TEXT_APP_PATH, "list"});
  }
  HelperProcess helper_;
};

TEST_F(StructureOnPaintedList, RowsComeFromRecognisedLinesInScreenPoints) {
  auto reply = helper_.ask({{"cmd", "structure"}}, untilReplied);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)["found"], true) << *reply;
  EXPECT_EQ((*reply)["source"], "ocr");
  EXPECT_EQ((*reply)["containerRole"], "OCR");
  EXPECT_EQ((*reply)["rowCount"], (*reply)["rows"].size());

  const auto framed = framedWindowOf(fixture_->pid());
  ASSERT_TRUE(framed);
  const auto painted = paintedLinesOf(*fixture_, fixture_->pid());
  for (const char* name : {"Ada Lovelace", "Alan Turing", "Grace Hopper"}) {
    const Json* row = rowWith(*reply, name);
    ASSERT_NE(row, nullptr) << name << " in " << *reply;
    EXPECT_EQ((*row)["cells"].size(), 1u);
    EXPECT_EQ((*row)["cells"][0]["role"], ax::AXStaticText);
    EXPECT_EQ((*row)["cells"][0]["frame"], (*row)["frame"]);
    // Where the fixture painted the name, on the screen.
    auto line = std::find_if(painted.begin(), painted.end(), [&](const PaintedLine& p) { return p.text == name; });
    ASSERT_NE(line, painted.end());
    const ScreenRect found = rectOf((*row)["frame"]);
    constexpr int slack = 4;
    EXPECT_NEAR(found.x, line->box.x, slack) << name;
    EXPECT_NEAR(found.y + found.height / 2.0, line->box.y + line->box.height / 2.0, slack) << name;
    EXPECT_GE(found.x, framed->x);
    EXPECT_LE(found.y + found.height, framed->y + framed->height);
  }
  ASSERT_TRUE(reply->contains("addAffordance")) << *reply;
  EXPECT_EQ((*reply)["addAffordance"]["title"], "Add contact");
  auto addLine =
      std::find_if(painted.begin(), painted.end(), [](const PaintedLine& p) { return p.text == "Add contact"; });
  ASSERT_NE(addLine, painted.end());
  EXPECT_NEAR(rectOf((*reply)["addAffordance"]["frame"]).y, addLine->box.y, 4);
}

}  // namespace
}  // namespace morvel::testing
