#include "commands/FieldsCommand.h"

#include "app/Dispatcher.h"
#include "support/FormScene.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace morvel {
namespace {

using testing::element;
using testing::group;
using testing::json;
using testing::rectValue;
using testing::SimDesktopFixture;
using testing::staticText;
using testing::windowScene;
using testing::withId;

json textField(const std::string& title, const json& frame) {
  return element("AXTextField", {{"AXTitle", title}, {"AXFrame", frame}});
}

json labelsOf(const json& reply) {
  json labels = json::array();
  for (const auto& record : reply["fields"]) labels.push_back(record.value("label", "-") + " / " + record.value("labelSource", "-"));
  return labels;
}

TEST(FieldsCommand, AnswersOnlyFoundFalseWithoutAFrontWindow) {
  SimDesktopFixture empty(json::object());
  EXPECT_EQ(cmdFields(empty.platform()), json({{"found", false}}));

  SimDesktopFixture windowless({{"frontmost", {{"pid", 1}}}, {"applications", {{{"pid", 1}}}}});
  EXPECT_EQ(cmdFields(windowless.platform()), json({{"found", false}}));
}

TEST(FieldsCommand, ReportsTheWindowEvenWhenItHasNoFields) {
  SimDesktopFixture fixture(windowScene(json::array({element("AXButton", {{"AXFrame", rectValue(0, 0, 20, 20)}})})));
  EXPECT_EQ(cmdFields(fixture.platform()), json({{"found", false},
                                                 {"source", "ax"},
                                                 {"fieldCount", 0},
                                                 {"fields", json::array()},
                                                 {"windowTitle", "Form"},
                                                 {"appBundleId", "com.example.form"},
                                                 {"windowFrame", {{"x", 0.0}, {"y", 0.0}, {"w", 1000.0}, {"h", 800.0}}}}));
}

TEST(FieldsCommand, DescribesValuesStatesAndAOneEntryPathForEachField) {
  const json frame = rectValue(200, 100, 200, 20);
  SimDesktopFixture fixture(windowScene(json::array({
      element("AXTextField", {{"AXSubrole", "AXSecureTextField"}, {"AXValue", "hunter2"}, {"AXFrame", frame},
                              {"AXEnabled", false}, {"AXIdentifier", "password"}}),
      element("AXTextField", {{"AXValue", "plain"}, {"AXEnabled", 1}}),
      element("AXCheckBox", {{"AXValue", 1}, {"AXTitle", "Remember me"}}),
      element("AXTextField", {{"AXSubrole", "axsecuretextfield"}}),
  })));
  const json reply = cmdFields(fixture.platform());
  ASSERT_EQ(reply["fieldCount"], 4);
  const json& fields = reply["fields"];

  EXPECT_EQ(fields[0], json({{"role", "AXTextField"},
                             {"subrole", "AXSecureTextField"},
                             {"value", "hunter2"},
                             {"frame", {{"x", 200.0}, {"y", 100.0}, {"w", 200.0}, {"h", 20.0}}},
                             {"enabled", false},
                             {"secure", true},
                             {"path", {{{"role", "AXTextField"},
                                        {"subrole", "AXSecureTextField"},
                                        {"identifier", "password"},
                                        {"index", 0}}}}}));
  // No subrole, and an "AXEnabled" that is a number rather than a boolean.
  EXPECT_EQ(fields[1], json({{"role", "AXTextField"},
                             {"value", "plain"},
                             {"enabled", true},
                             {"secure", false},
                             {"path", {{{"role", "AXTextField"}, {"index", 1}}}}}));
  EXPECT_EQ(fields[2]["value"], "1");
  EXPECT_EQ(fields[2]["label"], "Remember me");
  EXPECT_EQ(fields[2]["path"], json::array({{{"role", "AXCheckBox"}, {"title", "Remember me"}, {"index", 0}}}));
  EXPECT_EQ(fields[3]["secure"], false);
}

TEST(FieldsCommand, ListsFieldsOfAtLeastTwoPointsEachWayAndFramelessOnes) {
  SimDesktopFixture fixture(windowScene(json::array({
      textField("One high", rectValue(0, 0, 100, 1)),
      textField("Narrow", rectValue(0, 0, 1.5, 20)),
      textField("Negative", rectValue(100, 0, -100, 20)),
      textField("Two by two", rectValue(0, 0, 2, 2)),
      element("AXTextField", {{"AXTitle", "Frameless"}}),
  })));
  const json reply = cmdFields(fixture.platform());
  EXPECT_EQ(reply["fieldCount"], 2);
  EXPECT_EQ(labelsOf(reply), json({"Two by two / title", "Frameless / title"}));
  EXPECT_FALSE(reply["fields"][1].contains("frame"));
}

TEST(FieldsCommand, NeverLabelsAFramelessFieldFromNearbyText) {
  SimDesktopFixture fixture(windowScene(
      json::array({
          staticText("Beside", rectValue(100, 102, 90, 16)),
          element("AXTextField", {{"AXPosition", {{"point", {200, 100}}}}}),  // a position but no size
          element("AXTextField", {{"AXTitleUIElement", {{"ref", "caption"}}}}),
          element("AXTextField", {{"AXFrame", rectValue(200, 100, 200, 20)}}),
      }),
      json::array({withId(element("AXStaticText", {{"AXValue", "Caption"}}), "caption")})));
  EXPECT_EQ(labelsOf(cmdFields(fixture.platform())),
            json({"- / -", "Caption / titleElement", "Beside / nearby"}));
}

TEST(FieldsCommand, CutsToTheFirst120FieldsBeforeDroppingSmallOnes) {
  json fields = json::array();
  for (int i = 0; i < 150; ++i) {
    const bool small = i % 12 == 5;  // ten of the first 120
    fields.push_back(textField("Field " + std::to_string(i), rectValue(0, 30.0 * i, 100, small ? 1 : 20)));
  }
  SimDesktopFixture fixture(windowScene(fields));
  const json reply = cmdFields(fixture.platform());
  EXPECT_EQ(reply["fieldCount"], 110);
  ASSERT_EQ(reply["fields"].size(), 110u);
  EXPECT_EQ(reply["fields"][5]["label"], "Field 6");
  EXPECT_EQ(reply["fields"][109]["label"], "Field 119");
}

TEST(FieldsCommand, WalksFieldsOnly35LevelsDeepWithABudgetOf9000Elements) {
  auto nestedBelow = [](int groups, json leaf) {
    for (int i = 0; i < groups; ++i) leaf = group(json::array({leaf}));
    return leaf;
  };
  // Examined before the filler: the window, 34 groups and a field, 35 groups.
  constexpr int examinedBeforeFiller = 1 + 35 + 35;
  json filler = json::array();
  for (int i = 0; i < 9000 - examinedBeforeFiller - 2; ++i) filler.push_back(element("AXImage"));
  SimDesktopFixture fixture(windowScene(json::array({
      nestedBelow(34, textField("Depth 35", rectValue(0, 0, 10, 10))),
      nestedBelow(35, textField("Depth 36", rectValue(0, 0, 10, 10))),
      group(filler),
      textField("Last examined", rectValue(0, 0, 10, 10)),
      textField("Beyond the budget", rectValue(0, 0, 10, 10)),
  })));
  EXPECT_EQ(labelsOf(cmdFields(fixture.platform())), json({"Depth 35 / title", "Last examined / title"}));
}

TEST(FieldsCommand, BoundsReadsOnAHungWindowByTwoSeconds) {
  json scene = windowScene(json::array({textField("Name", rectValue(0, 0, 100, 20))}));
  scene["applications"][0]["responseDelayMs"] = 3000;  // answers, but slower than the time-out
  SimDesktopFixture fixture(scene);
  const json reply = cmdFields(fixture.platform());
  // Finding the window takes two slow reads; the first read through the window
  // then gives up after 2 s and the application counts as hung for the request.
  EXPECT_EQ(fixture.elapsedMs(), 3000 + 3000 + 2000);
  EXPECT_EQ(reply["fieldCount"], 0);
  EXPECT_EQ(reply["windowTitle"], "Form");
  EXPECT_FALSE(reply.contains("windowFrame"));
}

TEST(FieldsCommand, BuildsTheLabelCandidatesOncePerRequest) {
  // The reads one more field adds must not grow with the number of static texts.
  auto readsFor = [](int staticTexts, int fields) {
    json texts = json::array();
    for (int i = 0; i < staticTexts; ++i) texts.push_back(staticText("Text " + std::to_string(i), rectValue(0, 0, 10, 10)));
    json form = json::array();
    for (int i = 0; i < fields; ++i) form.push_back(element("AXTextField", {{"AXFrame", rectValue(500, 30.0 * i, 100, 20)}}));
    SimDesktopFixture fixture(windowScene(json::array({group(texts), group(form)})));
    fixture.stats();
    cmdFields(fixture.platform());
    return fixture.stats()["reads"].get<int>();
  };
  const int extraFieldAmongFew = readsFor(10, 2) - readsFor(10, 1);
  const int extraFieldAmongMany = readsFor(300, 2) - readsFor(300, 1);
  EXPECT_EQ(extraFieldAmongFew, extraFieldAmongMany);
  EXPECT_LT(extraFieldAmongMany, 30);
}

TEST(FieldsCommand, LabelsTheExampleContactFormAsAPersonReadsIt) {
  std::ifstream file(MORVEL_EXAMPLES_DIR "/contacts.json");
  SimDesktopFixture fixture(json::parse(file));
  const json reply = handle({{"cmd", "fields"}, {"unused", 1}}, fixture.platform());

  EXPECT_EQ(reply["ok"], true);
  EXPECT_EQ(reply["found"], true);
  EXPECT_EQ(reply["windowTitle"], "Contacts");
  EXPECT_EQ(reply["appBundleId"], "com.example.contacts");
  EXPECT_EQ(labelsOf(reply),
            json({"Name / nearby", "Email / titleElement", "Phone number / placeholder", "Favorite / title"}));
  EXPECT_EQ(reply["fields"][0]["value"], "Ada Lovelace");
  EXPECT_EQ(reply["fields"][3]["value"], "1");
  EXPECT_EQ(reply["fields"][2]["path"], json::array({{{"role", "AXTextField"}, {"index", 2}}}));
}

}  // namespace
}  // namespace morvel
