// How a selector finds its element: the score of one candidate, the window to
// search and the walk through it.

#include "accessibility/AXNames.h"
#include "commands/SelectorResolution.h"
#include "commands/SelectorScoring.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <variant>

namespace morvel {
namespace {

using testing::element;
using testing::json;
using testing::SimDesktopFixture;

// Why a resolution failed; nothing for a match.
std::optional<NoMatch> whyNot(const Resolution& resolution) {
  const auto* noMatch = std::get_if<NoMatch>(&resolution);
  return noMatch ? std::optional(*noMatch) : std::nullopt;
}

class SelectorScoring : public ::testing::Test {
 protected:
  SelectorScoring()
      : fixture_(json::parse(R"({"elements": [
            {"id": "save", "attrs": {"AXRole": "AXButton", "AXTitle": "Save"}},
            {"id": "save-lower", "attrs": {"AXRole": "AXButton", "AXTitle": "save"}},
            {"id": "save-field", "attrs": {"AXRole": "AXTextField", "AXTitle": "Save"}},
            {"id": "cafe-composed", "attrs": {"AXRole": "AXButton", "AXTitle": "Caf\u00e9"}},
            {"id": "untitled", "attrs": {"AXRole": "AXButton", "AXTitle": {"error": "x"}}},
            {"id": "empty-role", "attrs": {"AXRole": ""}},
            {"id": "no-role", "attrs": {"AXTitle": "Save"}},
            {"id": "box", "attrs": {"AXRole": "AXCheckBox", "AXValue": 1}},
            {"id": "full", "attrs": {"AXRole": "AXButton", "AXIdentifier": "save-id", "AXTitle": "Save",
                                     "AXDescription": "Saves", "AXRoleDescription": "button", "AXValue": "v"}}]})")) {}

  int score(const std::string& id, const json& target) {
    return scoreAgainstTarget(fixture_.ax(), fixture_.element(id), target);
  }
  SimDesktopFixture fixture_;
};

TEST_F(SelectorScoring, RoleRulesOutIdentifierRulesOutUnlessEqualAndMatchingTextsAddPoints) {
  const json saveButton = {{"role", ax::AXButton}, {"title", "Save"}};
  const json everything = {{"role", ax::AXButton},       {"identifier", "save-id"}, {"title", "Save"},
                           {"description", "Saves"},  {"roleDescription", "button"}, {"value", "v"},
                           {"subrole", "ignored"},    {"index", 4}};
  const struct {
    const char* id;
    json target;
    int score;
  } cases[] = {
      {"save", saveButton, 61},
      {"save-lower", saveButton, 1},
      {"save-field", saveButton, -1},
      {"untitled", saveButton, 1},  // an unreadable title withholds points, nothing more
      {"no-role", saveButton, -1},
      {"cafe-composed", {{"role", ax::AXButton}, {"title", "Cafe\u0301"}}, 61},  // canonically equivalent
      {"save", {{"role", ax::AXButton}, {"title", "Save "}}, 1},
      {"save", {{"role", ax::AXButton}, {"identifier", "save-id"}, {"title", "Save"}}, -1},
      {"full", {{"role", ax::AXButton}, {"identifier", "save-id"}}, 201},
      {"full", {{"role", ax::AXButton}, {"identifier", "other"}, {"title", "Save"}}, -1},
      {"save", {{"role", ax::AXButton}, {"identifier", ""}, {"title", ""}}, 1},
      // An empty role matches only an empty role; keys that are no text are ignored.
      {"empty-role", {{"role", ""}}, 1},
      {"save", {{"role", ""}}, -1},
      {"no-role", {{"role", ""}}, -1},
      {"no-role", {{"role", 5}, {"title", "Save"}}, 61},
      {"save", {{"role", nullptr}, {"title", {"Save"}}, {"identifier", 3}}, 1},
      {"save", json::object(), 1},
      {"save", json::array({ax::AXButton}), 1},
      {"box", {{"role", ax::AXCheckBox}, {"value", "1"}}, 11},
      {"box", {{"role", ax::AXCheckBox}, {"value", "1.0"}}, 1},
      {"full", everything, 336},
  };
  for (const auto& c : cases) EXPECT_EQ(score(c.id, c.target), c.score) << c.id << " " << c.target;

  // Each named attribute is read once; a rule-out or an empty identifier stops the reads.
  fixture_.stats();
  score("full", everything);
  EXPECT_EQ(fixture_.stats()["reads"], 6);
  score("save-field", everything);
  EXPECT_EQ(fixture_.stats()["reads"], 1);
  score("save", {{"role", ax::AXButton}, {"identifier", ""}});
  EXPECT_EQ(fixture_.stats()["reads"], 1);
}

json rect(double x, double y, double w = 10, double h = 10) { return {{"rect", {x, y, w, h}}}; }

json button(const std::string& id, const std::string& title, double x, json more = json::object()) {
  json attrs = {{ax::AXRole, ax::AXButton}, {ax::AXTitle, title}, {ax::AXFrame, rect(x, 0)}};
  attrs.update(more);
  return {{"id", id}, {"attrs", attrs}};
}

json window(const std::string& id, json title, json children) {
  return {{"id", id}, {"attrs", {{ax::AXRole, ax::AXWindow}, {ax::AXTitle, std::move(title)}}}, {"children", std::move(children)}};
}

json desktop(json windows, const std::string& focused) {
  json application = {{"pid", 7}, {"id", "app"}, {"windows", std::move(windows)}};
  if (!focused.empty()) application["attrs"] = {{ax::AXFocusedWindow, {{"ref", focused}}}};
  return {{"frontmost", {{"pid", 7}, {"bundleId", "com.example.mail"}}}, {"applications", {application}}};
}

// Windows in list order: a copy of the front window's title, the front window,
// "Report 2", "Report", an empty title and an unreadable one. Each holds one "OK"
// button at its own x, so that the frame tells which window was searched.
json reportDesktop() {
  return desktop({window("inbox-copy", "Inbox", {button("ok-copy", "OK", 10)}),
                  window("inbox", "Inbox", {button("ok-inbox", "OK", 20)}),
                  window("report-2", "Report 2", {button("ok-report-2", "OK", 30)}),
                  window("report", "Report", {button("ok-report", "OK", 40)}),
                  window("empty", "", {button("ok-empty", "OK", 50)}),
                  window("unreadable", {{"error", "x"}}, {button("ok-unreadable", "OK", 60)})},
                 "inbox");
}

json selectorFor(json target, json windowTitle = nullptr) {
  json selector = {{"path", {std::move(target)}}};
  if (!windowTitle.is_null()) selector["windowTitle"] = std::move(windowTitle);
  return selector;
}

bool chooses(SimDesktopFixture& fixture, json windowTitle, const std::string& windowId) {
  auto chosen = windowForSelector(fixture.ax(), selectorFor({{"role", ax::AXButton}}, std::move(windowTitle)));
  return chosen && fixture.ax().isSameElement(*chosen, fixture.element(windowId));
}

TEST(WindowForSelector, ExactTitleBeforeContainmentBeforeTheFrontWindowAndNothingWithoutAFrontmostApplication) {
  SimDesktopFixture fixture(reportDesktop());
  // The front window's own title needs no list of windows.
  fixture.stats();
  EXPECT_TRUE(chooses(fixture, "Inbox", "inbox"));
  EXPECT_EQ(fixture.stats()["reads"], 2);  // the focused window and its title
  EXPECT_TRUE(chooses(fixture, "Report", "report"));
  EXPECT_TRUE(chooses(fixture, "Repo", "report-2"));
  EXPECT_TRUE(chooses(fixture, "Quarterly Report 2", "report-2"));
  // Titles compare case-sensitively; no title, or one that is no text, means the front window.
  for (const json& title : {json("report"), json("Nothing like it"), json(nullptr), json(""), json(42)}) {
    EXPECT_TRUE(chooses(fixture, title, "inbox")) << title;
  }

  json scene = reportDesktop();
  scene["frontmost"] = nullptr;
  SimDesktopFixture nothingInFront(scene);
  EXPECT_EQ(windowForSelector(nothingInFront.ax(), selectorFor({{"role", ax::AXButton}}, "Report")), std::nullopt);
  EXPECT_EQ(whyNot(resolveSelectorOnce(nothingInFront.ax(), selectorFor({{"role", ax::AXButton}}))), NoMatch::NoWindow);
}

// The match's frame, which tells the buttons apart; at (-1, -1) for none.
ax::Rect matchFrame(const Resolution& resolution) {
  const auto* match = std::get_if<SelectorMatch>(&resolution);
  return match ? match->frame : ax::Rect{-1, -1, -1, -1};
}
double matchX(const Resolution& resolution) { return matchFrame(resolution).x; }

double chosenX(SimDesktopFixture& fixture, json target) {
  return matchX(resolveSelectorOnce(fixture.ax(), selectorFor(std::move(target))));
}

TEST(ResolveSelectorOnce, SearchesTheChosenWindowForTheFirstPathEntryOnly) {
  SimDesktopFixture fixture(reportDesktop());
  // (The whole reply of a match: the documented examples.)
  EXPECT_EQ(matchX(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", ax::AXButton}, {"title", "OK"}}, "Report"))), 40);
  // Other keys of the selector, and later path entries where nothing ties, play no part.
  json whole = selectorFor({{"role", ax::AXButton}, {"title", "OK"}});
  whole["path"].push_back({{"role", ax::AXWindow}, {"title", "Report"}});
  whole["found"] = true;
  whole["appName"] = "Report";
  EXPECT_EQ(matchX(resolveSelectorOnce(fixture.ax(), whole)), 20);
}

TEST(ResolveSelectorOnce, UnusablePathsAreNotFound) {
  SimDesktopFixture fixture(reportDesktop());
  for (const json& selector : {json::object(), json{{"path", json::array()}}, json{{"path", {{"role", ax::AXButton}}}},
                               json{{"path", ax::AXButton}}, json{{"path", {{{"role", ax::AXButton}}, 3}}},
                               json{{"path", {json::object()}}}, json{{"path", {{{"title", "OK"}}}}},
                               json{{"path", {{{"role", 5}}}}}, json::array()}) {
    EXPECT_EQ(whyNot(resolveSelectorOnce(fixture.ax(), selector)), NoMatch::MalformedSelector) << selector;
  }
}

json buttonRow(const std::vector<std::string>& titles, json more = json::object()) {
  json buttons = json::array();
  for (std::size_t i = 0; i < titles.size(); ++i) {
    buttons.push_back(button(std::string("b").append(std::to_string(i)), titles[i], 100.0 * static_cast<double>(i), more));
  }
  return buttons;
}

TEST(ResolveSelectorOnce, EqualScoresGoToTheCandidateNearestTheWantedIndex) {
  SimDesktopFixture equal(desktop({window("w", "W", buttonRow({"Go", "Go", "Go"}))}, ""));
  EXPECT_EQ(chosenX(equal, {{"role", ax::AXButton}, {"title", "Go"}, {"index", 2}}), 200);
  EXPECT_EQ(chosenX(equal, {{"role", ax::AXButton}, {"title", "Go"}}), 0);
  EXPECT_EQ(chosenX(equal, {{"role", ax::AXButton}, {"index", 1}}), 100);
  // Indexes that are no whole number, or below zero, want the first.
  for (const json& index : {json(2.0), json("2"), json(-5), json(std::numeric_limits<std::int64_t>::min())}) {
    EXPECT_EQ(chosenX(equal, {{"role", ax::AXButton}, {"index", index}}), 0) << index;
  }
  EXPECT_EQ(chosenX(equal, {{"role", ax::AXButton}, {"index", std::numeric_limits<std::uint64_t>::max()}}), 200);

  // Equally far on both sides: the earlier one in document order.
  SimDesktopFixture sides(desktop({window("w", "W", buttonRow({"x", "Go", "x", "Go"}))}, ""));
  EXPECT_EQ(chosenX(sides, {{"role", ax::AXButton}, {"title", "Go"}, {"index", 2}}), 100);

  // A higher score wins however far it is from the wanted index.
  SimDesktopFixture far(desktop({window("w", "W", buttonRow({"x", "x", "x", "x", "x", "x", "x", "x", "x", "Go"}))}, ""));
  EXPECT_EQ(chosenX(far, {{"role", ax::AXButton}, {"title", "Go"}, {"index", 0}}), 900);
}

TEST(ResolveSelectorOnce, EqualScoresGoFirstToTheCandidateWhoseAncestorsStandWhereThePathSays) {
  // Three rows with the same two texts, then one more row in another table: only
  // the path's row (and table) tell the second cell of each row apart.
  auto row = [](double y) {
    return json{{"attrs", {{ax::AXRole, ax::AXRow}}},
                {"children",
                 {button("name" + std::to_string(int(y)), "name", 0, {{ax::AXFrame, rect(0, y)}}),
                  button("size" + std::to_string(int(y)), "7 bytes", 100, {{ax::AXFrame, rect(100, y)}})}}};
  };
  json table = {{"attrs", {{ax::AXRole, ax::AXTable}}}, {"children", {row(0), row(20), row(40)}}};
  json otherTable = {{"attrs", {{ax::AXRole, ax::AXTable}}}, {"children", {row(60)}}};
  SimDesktopFixture fixture(desktop({window("w", "W", {table, otherTable})}, ""));
  auto chosenY = [&](json path) { return matchFrame(resolveSelectorOnce(fixture.ax(), {{"path", std::move(path)}})).y; };
  const json cell = {{"role", ax::AXButton}, {"title", "7 bytes"}, {"index", 1}};
  auto rowAt = [](int index) { return json{{"role", ax::AXRow}, {"index", index}}; };
  const json secondTable = {{"role", ax::AXTable}, {"index", 1}};
  const struct {
    json path;
    double y;
  } cases[] = {
      {{cell, rowAt(1), {{"role", ax::AXTable}, {"index", 0}}}, 20},
      {{cell, rowAt(2)}, 40},
      {{cell, rowAt(0), secondTable}, 60},
      {{cell, rowAt(0)}, 0},      // the first in document order of those in place
      {{cell, rowAt(7)}, 0},      // no row there: the wanted index decides
      {{cell, {{"role", ax::AXGroup}, {"index", 2}}}, 0},
      {{cell}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(chosenY(c.path), c.y) << c.path;
}


TEST(ResolveSelectorOnce, TheChosenElementAloneDecidesFrameAndEnabled) {
  json buttons = buttonRow({"Go", "Go"}, {{ax::AXEnabled, {{"other", "not a boolean"}}}, {ax::AXValue, 3}});
  buttons[1]["attrs"][ax::AXFrame] = {{"error", "no frame"}};
  SimDesktopFixture fixture(desktop({window("w", "W", buttons)}, ""));
  // The chosen element has no frame: no fallback to the other candidate.
  EXPECT_EQ(whyNot(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", ax::AXButton}, {"index", 1}}))),
            NoMatch::NoFrame);
  EXPECT_EQ(resolutionReply(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", ax::AXButton}, {"index", 0}}))),
            json::parse(R"({"found": true, "score": 1, "frame": {"x": 0.0, "y": 0.0, "w": 10.0, "h": 10.0}, "enabled": true,
                            "role": "AXButton", "value": "3"})"));

  // No candidate with a positive score.
  EXPECT_EQ(whyNot(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", ax::AXButton}, {"identifier", "none"}}))),
            NoMatch::NoCandidate);
  EXPECT_EQ(whyNot(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", ax::AXSlider}}))), NoMatch::NoCandidate);
}

}  // namespace
}  // namespace morvel
