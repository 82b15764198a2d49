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
  SimDesktopFixture fixture(windowScene(json::parse(R"([
      {"id": "titled", "attrs": {"AXRole": "AXTextField", "AXTitle": "  Name  ", "AXDescription": "Other"}},
      {"id": "described", "attrs": {"AXRole": "AXTextField", "AXTitle": " \t", "AXDescription": "Email", "AXPlaceholderValue": "x"}},
      {"id": "placeheld", "attrs": {"AXRole": "AXTextField", "AXTitle": "", "AXPlaceholderValue": "Phone number"}},
      {"id": "city-field", "attrs": {"AXRole": "AXTextField", "AXTitleUIElement": {"ref": "city"}}},
      {"id": "street-field", "attrs": {"AXRole": "AXTextField", "AXTitleUIElement": {"ref": "street"}}},
      {"id": "blank-field", "attrs": {"AXRole": "AXTextField", "AXTitleUIElement": {"ref": "blank"}}},
      {"id": "bare", "attrs": {"AXRole": "AXTextField"}}])"), json::parse(R"([
      {"id": "city", "attrs": {"AXRole": "AXStaticText", "AXValue": "", "AXTitle": "City"}},
      {"id": "street", "attrs": {"AXRole": "AXStaticText", "AXValue": " Street\n", "AXTitle": "Road"}},
      {"id": "blank", "attrs": {"AXRole": "AXStaticText", "AXValue": " ", "AXTitle": "\u00a0"}}])")));
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

TEST(FieldsCommand, ReportsTheWindowEvenWhenItHasNoFieldsAndOnlyFoundFalseWithoutOne) {
  for (const json& scene : {json::object(), json{{"frontmost", {{"pid", 1}}}, {"applications", {{{"pid", 1}}}}}}) {
    SimDesktopFixture windowless(scene);
    EXPECT_EQ(cmdFields(windowless.platform()), json({{"found", false}}));
  }
  SimDesktopFixture fixture(windowScene(json::array({element(ax::AXButton, {{ax::AXFrame, rectValue(0, 0, 20, 20)}})})));
  EXPECT_EQ(cmdFields(fixture.platform()), json::parse(R"({"found": false, "source": "ax", "fieldCount": 0, "fields": [],
      "windowTitle": "Form", "appBundleId": "com.example.form", "windowFrame": {"x": 0.0, "y": 0.0, "w": 1000.0, "h": 800.0}})"));
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
  // The second has no subrole, and an "AXEnabled" that is a number rather than a boolean.
  EXPECT_EQ(cmdFields(fixture.platform())["fields"], json::parse(R"([
      {"role": "AXTextField", "subrole": "AXSecureTextField", "value": "hunter2", "enabled": false, "secure": true,
       "frame": {"x": 200.0, "y": 100.0, "w": 200.0, "h": 20.0},
       "path": [{"role": "AXTextField", "subrole": "AXSecureTextField", "identifier": "password", "index": 0}]},
      {"role": "AXTextField", "value": "plain", "enabled": true, "secure": false, "path": [{"role": "AXTextField", "index": 1}]},
      {"role": "AXCheckBox", "value": "1", "enabled": true, "secure": false, "label": "Remember me", "labelSource": "title",
       "path": [{"role": "AXCheckBox", "title": "Remember me", "index": 0}]},
      {"role": "AXTextField", "subrole": "axsecuretextfield", "enabled": true, "secure": false,
       "path": [{"role": "AXTextField", "subrole": "axsecuretextfield", "index": 2}]}])"));
}

TEST(FieldsCommand, CutsToTheFirst120FieldsBeforeDroppingThoseUnderTwoPointsEitherWay) {
  // Ten of the first 120 are too small, by height, width or a negative width.
  const json tooSmall[] = {rectValue(0, 0, 100, 1), rectValue(0, 0, 1.5, 20), rectValue(100, 0, -100, 20)};
  json fields = json::array();
  for (int i = 0; i < 150; ++i) {
    const json frame = i % 12 == 5 ? tooSmall[(i / 12) % 3] : rectValue(0, 30.0 * i, 2, 2);
    fields.push_back(textField("Field " + std::to_string(i), frame));
  }
  fields[0]["attrs"].erase(ax::AXFrame);  // a frameless field is listed
  SimDesktopFixture fixture(windowScene(fields));
  const json reply = cmdFields(fixture.platform());
  EXPECT_EQ(reply["fieldCount"], 110);
  ASSERT_EQ(reply["fields"].size(), 110u);
  EXPECT_FALSE(reply["fields"][0].contains("frame"));
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
