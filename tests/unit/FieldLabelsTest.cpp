#include "commands/FieldLabels.h"

#include "support/FormScene.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

using ax::Rect;
using testing::element;
using testing::group;
using testing::json;
using testing::rectValue;
using testing::SimDesktopFixture;
using testing::staticText;
using testing::windowScene;
using testing::withId;

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
          withId(element("AXTextField", {{"AXTitle", "  Name  "}, {"AXDescription", "Other"}}), "titled"),
          withId(element("AXTextField", {{"AXTitle", " \t"}, {"AXDescription", "Email"}, {"AXPlaceholderValue", "x"}}),
                 "described"),
          withId(element("AXTextField", {{"AXTitle", ""}, {"AXPlaceholderValue", "Phone number"}}), "placeheld"),
          withId(element("AXTextField", {{"AXTitleUIElement", {{"ref", "city"}}}}), "city-field"),
          withId(element("AXTextField", {{"AXTitleUIElement", {{"ref", "street"}}}}), "street-field"),
          withId(element("AXTextField", {{"AXTitleUIElement", {{"ref", "blank"}}}}), "blank-field"),
          withId(element("AXTextField"), "bare"),
      }),
      json::array({
          withId(element("AXStaticText", {{"AXValue", ""}, {"AXTitle", "City"}}), "city"),
          withId(element("AXStaticText", {{"AXValue", " Street\n"}, {"AXTitle", "Road"}}), "street"),
          withId(element("AXStaticText", {{"AXValue", " "}, {"AXTitle", "\u00A0"}}), "blank"),
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

TEST(LabelDistance, MeasuresGapsLeftOfAndAboveTheField) {
  EXPECT_EQ(labelDistance(field, {100, 102, 90, 16}), 10.0);  // left
  EXPECT_EQ(labelDistance(field, {200, 70, 100, 25}), 5.0);   // above
  EXPECT_EQ(labelDistance(field, {100, 102, 100, 16}), 0.0);  // touching the left edge
  EXPECT_EQ(labelDistance(field, {100, 102, 103, 16}), -3.0);
  EXPECT_EQ(labelDistance(field, {100, 102, 104, 16}), -4.0);
  EXPECT_EQ(labelDistance(field, {100, 102, 104.5, 16}), std::nullopt);
  EXPECT_EQ(labelDistance(field, {-220, 102, 100, 16}), 320.0);
  EXPECT_EQ(labelDistance(field, {-221, 102, 100, 16}), std::nullopt);
  EXPECT_EQ(labelDistance(field, {200, 20, 100, 20}), 60.0);
  EXPECT_EQ(labelDistance(field, {200, 19, 100, 20}), std::nullopt);
  // Over the top-left corner both relations hold; the smaller distance counts.
  EXPECT_EQ(labelDistance(field, {150, 80, 51, 23}), -3.0);
}

TEST(LabelDistance, IgnoresOtherRelationsAndNormalisesNegativeSizes) {
  EXPECT_EQ(labelDistance(field, {410, 102, 50, 16}), std::nullopt);  // right of the field
  EXPECT_EQ(labelDistance(field, {200, 130, 100, 16}), std::nullopt);  // below it
  EXPECT_EQ(labelDistance(field, {100, 120, 90, 16}), std::nullopt);   // left, sharing only an edge line
  EXPECT_EQ(labelDistance(field, {100, 70, 100, 25}), std::nullopt);   // above-left, sharing only a corner
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
      element("AXStaticText", {{"AXValue", ""}, {"AXTitle", "Empty value"}, {"AXFrame", frame}}),
      element("AXStaticText", {{"AXTitle", "Title only"}, {"AXFrame", frame}}),
      staticText(42, frame),
      element("AXStaticText", {{"AXValue", {{"other", "attributed"}}}, {"AXTitle", "Fallback"}, {"AXFrame", frame}}),
      element("AXStaticText", {{"AXValue", "No frame"}}),
      staticText(" \t ", frame),
      staticText("\u2028" + eighty + " ", frame),
      staticText(repeated("e\u0301", 81), frame),
      element("AXButton", {{"AXValue", "Not static text"}, {"AXFrame", frame}}),
      group(json::array({staticText("Nested", frame)})),
  })));

  const auto candidates = labelCandidates(fixture.ax(), fixture.element("window"));
  EXPECT_EQ(textsOf(candidates),
            (std::vector<std::string>{"Name", "Title only", "42", "Fallback", eighty, "Nested"}));
  ASSERT_FALSE(candidates.empty());
  EXPECT_EQ(candidates.front().rect.x, 1);
  EXPECT_EQ(candidates.front().rect.height, 4);
}

TEST(LabelCandidates, ComeOnlyFromTheFirst400StaticTexts) {
  auto candidateTexts = [](int blanks) {
    json children = json::array();
    for (int i = 0; i < blanks; ++i) children.push_back(staticText(" ", rectValue(0, 0, 10, 10)));
    children.push_back(staticText("On time", rectValue(0, 0, 10, 10)));
    children.push_back(staticText("Late", rectValue(0, 0, 10, 10)));
    SimDesktopFixture fixture(windowScene(children));
    return textsOf(labelCandidates(fixture.ax(), fixture.element("window")));
  };
  // Blank static texts never become candidates, yet they count toward the 400.
  EXPECT_EQ(candidateTexts(398), (std::vector<std::string>{"On time", "Late"}));
  EXPECT_EQ(candidateTexts(399), (std::vector<std::string>{"On time"}));
  EXPECT_EQ(candidateTexts(400), (std::vector<std::string>{}));
}

TEST(LabelCandidates, ComeFromAWalk35LevelsDeepWithABudgetOf6000Elements) {
  auto nestedBelow = [](int groups, json leaf) {
    for (int i = 0; i < groups; ++i) leaf = group(json::array({leaf}));
    return leaf;
  };
  const json frame = rectValue(0, 0, 10, 10);
  SimDesktopFixture deep(windowScene(json::array({
      nestedBelow(34, staticText("Depth 35", frame)),
      nestedBelow(35, staticText("Depth 36", frame)),
  })));
  EXPECT_EQ(textsOf(labelCandidates(deep.ax(), deep.element("window"))), (std::vector<std::string>{"Depth 35"}));

  // The window, a group and 5997 plain elements leave budget for one more element.
  json filler = json::array();
  for (int i = 0; i < 5997; ++i) filler.push_back(element("AXImage"));
  SimDesktopFixture wide(windowScene(json::array({
      group(filler),
      staticText("Last examined", frame),
      staticText("Beyond the budget", frame),
  })));
  EXPECT_EQ(textsOf(labelCandidates(wide.ax(), wide.element("window"))),
            (std::vector<std::string>{"Last examined"}));
}

}  // namespace
}  // namespace morvel
