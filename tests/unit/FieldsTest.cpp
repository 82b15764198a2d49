// "fields": the label of one field, the candidates for labels, and the command.

#include "accessibility/AXNames.h"
#include "commands/FieldLabels.h"
#include "commands/FieldsCommand.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

using ax::Rect;
using namespace testing;  // the scene builders

// "label (source)", or "none", so that a failed expectation shows both at once.
std::string shown(const std::optional<FieldLabel>& label) {
  return label ? label->label + " (" + label->source + ")" : "none";
}

std::vector<std::string> textsOf(const std::vector<LabelCandidate>& candidates) {
  std::vector<std::string> texts;
  for (const auto& candidate : candidates) texts.push_back(candidate.text);
  return texts;
}

std::string repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// Field at x 200 to 400, y 100 to 120.
const Rect field{200, 100, 200, 20};

TEST(FieldLabel, TriesTitleDescriptionPlaceholderTitleElementThenNearbyInThatOrder) {
  SimDesktopFixture fixture(windowScene(
      json::array({
          withId(element(ax::AXTextField, {{ax::AXTitle, "  Name  "}, {ax::AXDescription, "Other"}}), "titled"),
          withId(element(ax::AXTextField, {{ax::AXTitle, " \t"}, {ax::AXDescription, "Email"}, {ax::AXPlaceholderValue, "x"}}),
                 "described"),
          withId(element(ax::AXTextField, {{ax::AXTitle, ""}, {ax::AXPlaceholderValue, "Phone number"}}), "placeheld"),
          withId(element(ax::AXTextField, {{ax::AXTitleUIElement, {{"ref", "city"}}}}), "city-field"),
          withId(element(ax::AXTextField, {{ax::AXTitleUIElement, {{"ref", "street"}}}}), "street-field"),
          withId(element(ax::AXTextField, {{ax::AXTitleUIElement, {{"ref", "blank"}}}}), "blank-field"),
          withId(element(ax::AXTextField), "bare"),
      }),
      json::array({
          withId(element(ax::AXStaticText, {{ax::AXValue, ""}, {ax::AXTitle, "City"}}), "city"),
          withId(element(ax::AXStaticText, {{ax::AXValue, " Street\n"}, {ax::AXTitle, "Road"}}), "street"),
          withId(element(ax::AXStaticText, {{ax::AXValue, " "}, {ax::AXTitle, "\u00A0"}}), "blank"),
      })));
  auto& ax = fixture.ax();
  const std::vector<LabelCandidate> beside = {{"Beside", Rect{100, 102, 90, 16}}};
  auto labelOf = [&](const char* id, std::optional<Rect> rect) {
    return shown(fieldLabel(ax, fixture.element(id), beside, rect));
  };

  EXPECT_EQ(labelOf("titled", field), "Name (title)");
  EXPECT_EQ(labelOf("described", field), "Email (description)");
  EXPECT_EQ(labelOf("placeheld", field), "Phone number (placeholder)");
  EXPECT_EQ(labelOf("city-field", field), "City (titleElement)");
  EXPECT_EQ(labelOf("street-field", field), "Street (titleElement)");
  EXPECT_EQ(labelOf("blank-field", field), "Beside (nearby)");
  EXPECT_EQ(labelOf("bare", field), "Beside (nearby)");
  // Without a rectangle only the field's own attributes and its title element count.
  EXPECT_EQ(labelOf("bare", std::nullopt), "none");
  EXPECT_EQ(labelOf("city-field", std::nullopt), "City (titleElement)");

  // The longest way to a label: four reads on the field, two on its title element.
  fixture.stats();
  fieldLabel(ax, fixture.element("blank-field"), beside, field);
  EXPECT_EQ(fixture.stats()["reads"], 6);
}

TEST(LabelDistance, MeasuresGapsLeftOfAndAboveTheFieldOnly) {
  EXPECT_EQ(labelDistance(field, {100, 102, 90, 16}), 10.0);  // left
  EXPECT_EQ(labelDistance(field, {200, 70, 100, 25}), 5.0);   // above
  EXPECT_EQ(labelDistance(field, {100, 102, 100, 16}), 0.0);  // touching the left edge
  EXPECT_EQ(labelDistance(field, {100, 102, 103, 16}), -3.0);
  EXPECT_EQ(labelDistance(field, {100, 102, 104, 16}), -4.0);
  EXPECT_EQ(labelDistance(field, {-220, 102, 100, 16}), 320.0);
  EXPECT_EQ(labelDistance(field, {200, 20, 100, 20}), 60.0);
  // Over the top-left corner both relations hold; the smaller distance counts.
  EXPECT_EQ(labelDistance(field, {150, 80, 51, 23}), -3.0);
  // Overlapping by more than 4, farther than 320 or 60, right of, below, or sharing
  // only an edge line or a corner: no relation.
  for (const Rect& unrelated : {Rect{100, 102, 104.5, 16}, Rect{-221, 102, 100, 16}, Rect{200, 19, 100, 20}, Rect{410, 102, 50, 16},
                                Rect{200, 130, 100, 16}, Rect{100, 120, 90, 16}, Rect{100, 70, 100, 25}}) {
    EXPECT_EQ(labelDistance(field, unrelated), std::nullopt);
  }
  EXPECT_EQ(labelDistance(field, {190, 118, -90, -16}), 10.0);
  EXPECT_EQ(labelDistance({400, 120, -200, -20}, {100, 102, 90, 16}), 10.0);
}

TEST(NearestLabel, ChoosesTheSmallestDistanceAndTheEarlierCandidateOnTies) {
  const LabelCandidate left10{"Left", {100, 102, 90, 16}};
  const LabelCandidate above5{"Above", {200, 70, 100, 25}};
  const LabelCandidate above10{"Above 10", {200, 70, 100, 20}};
  const LabelCandidate gap0{"Gap 0", {100, 102, 100, 16}};
  const LabelCandidate overlap3{"Overlap 3", {100, 102, 103, 16}};
  const LabelCandidate right{"Right", {410, 102, 50, 16}};

  EXPECT_EQ(nearestLabel(field, {left10, above5}), "Above");
  EXPECT_EQ(nearestLabel(field, {gap0, overlap3}), "Overlap 3");
  EXPECT_EQ(nearestLabel(field, {left10, above10}), "Left");
  EXPECT_EQ(nearestLabel(field, {above10, left10}), "Above 10");
  EXPECT_EQ(nearestLabel(field, {right, left10}), "Left");
  EXPECT_EQ(nearestLabel(field, {right}), std::nullopt);
  EXPECT_EQ(nearestLabel(field, {}), std::nullopt);
}

TEST(LabelCandidates, TakeTheTrimmedTextOfFramedStaticTextsOfAtMost80Characters) {
  // "e" with a combining acute accent: one character of two code points.
  const std::string eighty = repeated("e\u0301", 80);
  const json frame = rectValue(10, 10, 50, 16);
  SimDesktopFixture fixture(windowScene(json::array({
      staticText("  Name \n", rectValue(1, 2, 3, 4)),
      element(ax::AXStaticText, {{ax::AXValue, ""}, {ax::AXTitle, "Empty value"}, {ax::AXFrame, frame}}),
      element(ax::AXStaticText, {{ax::AXTitle, "Title only"}, {ax::AXFrame, frame}}),
      staticText(42, frame),
      element(ax::AXStaticText, {{ax::AXValue, {{"other", "attributed"}}}, {ax::AXTitle, "Fallback"}, {ax::AXFrame, frame}}),
      element(ax::AXStaticText, {{ax::AXValue, "No frame"}}),
      staticText(" \t ", frame),
      staticText("\u2028" + eighty + " ", frame),
      staticText(repeated("e\u0301", 81), frame),
      element(ax::AXButton, {{ax::AXValue, "Not static text"}, {ax::AXFrame, frame}}),
      group(json::array({staticText("Nested", frame)})),
  })));

  const auto candidates = labelCandidates(fixture.ax(), fixture.element("window"));
  EXPECT_EQ(textsOf(candidates),
            (std::vector<std::string>{"Name", "Title only", "42", "Fallback", eighty, "Nested"}));
  ASSERT_FALSE(candidates.empty());
  EXPECT_EQ(candidates.front().rect.x, 1);
  EXPECT_EQ(candidates.front().rect.height, 4);
}

TEST(LabelCandidates, ComeFromTheFirst400StaticTexts) {
  const json frame = rectValue(0, 0, 10, 10);
  auto candidateTexts = [&](json children) {
    SimDesktopFixture fixture(windowScene(std::move(children)));
    return textsOf(labelCandidates(fixture.ax(), fixture.element("window")));
  };
  // Blank static texts never become candidates, yet they count toward the 400.
  for (int blanks : {398, 399, 400}) {
    json children = json::array();
    for (int i = 0; i < blanks; ++i) children.push_back(staticText(" ", frame));
    children.push_back(staticText("On time", frame));
    children.push_back(staticText("Late", frame));
    std::vector<std::string> expected = {"On time", "Late"};
    expected.resize(static_cast<std::size_t>(400 - blanks));
    EXPECT_EQ(candidateTexts(children), expected) << blanks;
  }
}

json textField(const std::string& title, const json& frame) {
  return element(ax::AXTextField, {{ax::AXTitle, title}, {ax::AXFrame, frame}});
}

json labelsOf(const json& reply) {
  json labels = json::array();
  for (const auto& record : reply["fields"]) labels.push_back(record.value("label", "-") + " / " + record.value("labelSource", "-"));
  return labels;
}

TEST(FieldsCommand, ReportsTheWindowEvenWhenItHasNoFieldsAndOnlyFoundFalseWithoutOne) {
  for (const json& scene : {json::object(), json{{"frontmost", {{"pid", 1}}}, {"applications", {{{"pid", 1}}}}}}) {
    SimDesktopFixture windowless(scene);
    EXPECT_EQ(cmdFields(windowless.platform()), json({{"found", false}}));
  }
  SimDesktopFixture fixture(windowScene(json::array({element(ax::AXButton, {{ax::AXFrame, rectValue(0, 0, 20, 20)}})})));
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
      element(ax::AXTextField, {{ax::AXSubrole, ax::AXSecureTextField}, {ax::AXValue, "hunter2"}, {ax::AXFrame, frame},
                              {ax::AXEnabled, false}, {ax::AXIdentifier, "password"}}),
      element(ax::AXTextField, {{ax::AXValue, "plain"}, {ax::AXEnabled, 1}}),
      element(ax::AXCheckBox, {{ax::AXValue, 1}, {ax::AXTitle, "Remember me"}}),
      element(ax::AXTextField, {{ax::AXSubrole, "axsecuretextfield"}}),
  })));
  const json reply = cmdFields(fixture.platform());
  ASSERT_EQ(reply["fieldCount"], 4);
  const json& fields = reply["fields"];

  // (Whole records of ordinary fields: the documented examples.)
  EXPECT_EQ(fields[0]["subrole"], ax::AXSecureTextField);
  EXPECT_EQ(fields[0]["value"], "hunter2");
  EXPECT_EQ(fields[0]["enabled"], false);
  EXPECT_EQ(fields[0]["secure"], true);
  // No subrole, and an "AXEnabled" that is a number rather than a boolean.
  EXPECT_EQ(fields[1], json({{"role", ax::AXTextField},
                             {"value", "plain"},
                             {"enabled", true},
                             {"secure", false},
                             {"path", {{{"role", ax::AXTextField}, {"index", 1}}}}}));
  EXPECT_EQ(fields[2]["value"], "1");
  EXPECT_EQ(fields[2]["label"], "Remember me");
  EXPECT_EQ(fields[3]["secure"], false);
}

TEST(FieldsCommand, ListsFieldsOfAtLeastTwoPointsEachWayAndFramelessOnes) {
  SimDesktopFixture fixture(windowScene(json::array({
      textField("One high", rectValue(0, 0, 100, 1)),
      textField("Narrow", rectValue(0, 0, 1.5, 20)),
      textField("Negative", rectValue(100, 0, -100, 20)),
      textField("Two by two", rectValue(0, 0, 2, 2)),
      element(ax::AXTextField, {{ax::AXTitle, "Frameless"}}),
  })));
  const json reply = cmdFields(fixture.platform());
  EXPECT_EQ(reply["fieldCount"], 2);
  EXPECT_EQ(labelsOf(reply), json({"Two by two / title", "Frameless / title"}));
  EXPECT_FALSE(reply["fields"][1].contains("frame"));
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

TEST(FieldsCommand, BuildsTheLabelCandidatesOncePerRequest) {
  // The reads one more field adds must not grow with the number of static texts.
  auto readsFor = [](int staticTexts, int fields) {
    json texts = json::array();
    for (int i = 0; i < staticTexts; ++i) texts.push_back(staticText("Text " + std::to_string(i), rectValue(0, 0, 10, 10)));
    json form = json::array();
    for (int i = 0; i < fields; ++i) form.push_back(element(ax::AXTextField, {{ax::AXFrame, rectValue(500, 30.0 * i, 100, 20)}}));
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

}  // namespace
}  // namespace morvel
