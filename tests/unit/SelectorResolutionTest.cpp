#include "commands/SelectorResolution.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

json rect(double x, double y, double w = 10, double h = 10) { return {{"rect", {x, y, w, h}}}; }

json button(const std::string& id, const std::string& title, double x, json more = json::object()) {
  json attrs = {{"AXRole", "AXButton"}, {"AXTitle", title}, {"AXFrame", rect(x, 0)}};
  attrs.update(more);
  return {{"id", id}, {"attrs", attrs}};
}

json window(const std::string& id, json title, json children) {
  return {{"id", id}, {"attrs", {{"AXRole", "AXWindow"}, {"AXTitle", std::move(title)}}}, {"children", std::move(children)}};
}

json desktop(json windows, const std::string& focused) {
  json application = {{"pid", 7}, {"id", "app"}, {"windows", std::move(windows)}};
  if (!focused.empty()) application["attrs"] = {{"AXFocusedWindow", {{"ref", focused}}}};
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
  auto chosen = windowForSelector(fixture.ax(), selectorFor({{"role", "AXButton"}}, std::move(windowTitle)));
  return chosen && fixture.ax().isSameElement(*chosen, fixture.element(windowId));
}

TEST(WindowForSelector, ExactTitleBeforeContainmentBeforeTheFrontWindow) {
  SimDesktopFixture fixture(reportDesktop());
  EXPECT_TRUE(chooses(fixture, "Report", "report"));
  EXPECT_TRUE(chooses(fixture, "Repo", "report-2"));
  EXPECT_TRUE(chooses(fixture, "Quarterly Report 2", "report-2"));
  EXPECT_TRUE(chooses(fixture, "report", "inbox"));  // case-sensitive
  EXPECT_TRUE(chooses(fixture, "Nothing like it", "inbox"));
  EXPECT_TRUE(chooses(fixture, nullptr, "inbox"));
  EXPECT_TRUE(chooses(fixture, "", "inbox"));
  EXPECT_TRUE(chooses(fixture, 42, "inbox"));
}

TEST(WindowForSelector, TheFrontWindowsOwnTitleNeedsNoListOfWindows) {
  SimDesktopFixture fixture(reportDesktop());
  fixture.stats();
  EXPECT_TRUE(chooses(fixture, "Inbox", "inbox"));
  EXPECT_EQ(fixture.stats()["reads"], 2);  // the focused window and its title
}

TEST(WindowForSelector, NothingWithoutAFrontmostApplication) {
  json scene = reportDesktop();
  scene["frontmost"] = nullptr;
  SimDesktopFixture fixture(scene);
  EXPECT_EQ(windowForSelector(fixture.ax(), selectorFor({{"role", "AXButton"}}, "Report")), std::nullopt);
  EXPECT_EQ(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", "AXButton"}})), (json{{"found", false}}));
}

TEST(ResolveSelectorOnce, SearchesTheChosenWindowAndDescribesTheMatch) {
  SimDesktopFixture fixture(reportDesktop());
  EXPECT_EQ(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", "AXButton"}, {"title", "OK"}}, "Report")),
            (json{{"found", true},
                  {"score", 61},
                  {"frame", {{"x", 40}, {"y", 0}, {"w", 10}, {"h", 10}}},
                  {"enabled", true},
                  {"role", "AXButton"}}));
  // Other keys of the selector and of later path entries play no part.
  json whole = selectorFor({{"role", "AXButton"}, {"title", "OK"}});
  whole["path"].push_back({{"role", "AXWindow"}, {"title", "Report"}});
  whole["found"] = true;
  whole["appName"] = "Report";
  EXPECT_EQ(resolveSelectorOnce(fixture.ax(), whole)["frame"]["x"], 20);
}

TEST(ResolveSelectorOnce, UnusablePathsAreNotFound) {
  SimDesktopFixture fixture(reportDesktop());
  const json notFound = {{"found", false}};
  for (const json& selector : {json::object(), json{{"path", json::array()}}, json{{"path", {{"role", "AXButton"}}}},
                               json{{"path", "AXButton"}}, json{{"path", {{{"role", "AXButton"}}, 3}}},
                               json{{"path", {json::object()}}}, json{{"path", {{{"title", "OK"}}}}},
                               json{{"path", {{{"role", 5}}}}}, json::array()}) {
    EXPECT_EQ(resolveSelectorOnce(fixture.ax(), selector), notFound) << selector;
  }
}

json buttonRow(const std::vector<std::string>& titles, json more = json::object()) {
  json buttons = json::array();
  for (std::size_t i = 0; i < titles.size(); ++i) {
    buttons.push_back(button("b" + std::to_string(i), titles[i], 100.0 * static_cast<double>(i), more));
  }
  return buttons;
}

double chosenX(SimDesktopFixture& fixture, json target) {
  json reply = resolveSelectorOnce(fixture.ax(), selectorFor(std::move(target)));
  return reply.value("found", false) ? reply["frame"]["x"].get<double>() : -1;
}

TEST(ResolveSelectorOnce, EqualScoresGoToTheCandidateNearestTheWantedIndex) {
  SimDesktopFixture equal(desktop({window("w", "W", buttonRow({"Go", "Go", "Go"}))}, ""));
  EXPECT_EQ(chosenX(equal, {{"role", "AXButton"}, {"title", "Go"}, {"index", 2}}), 200);
  EXPECT_EQ(chosenX(equal, {{"role", "AXButton"}, {"title", "Go"}}), 0);
  EXPECT_EQ(chosenX(equal, {{"role", "AXButton"}, {"index", 1}}), 100);
  EXPECT_EQ(chosenX(equal, {{"role", "AXButton"}, {"index", 2.0}}), 0);  // not an integer
  EXPECT_EQ(chosenX(equal, {{"role", "AXButton"}, {"index", "2"}}), 0);
  EXPECT_EQ(chosenX(equal, {{"role", "AXButton"}, {"index", -5}}), 0);
  EXPECT_EQ(chosenX(equal, {{"role", "AXButton"}, {"index", std::numeric_limits<std::int64_t>::min()}}), 0);
  EXPECT_EQ(chosenX(equal, {{"role", "AXButton"}, {"index", std::numeric_limits<std::uint64_t>::max()}}), 200);

  // Equally far on both sides: the earlier one in document order.
  SimDesktopFixture sides(desktop({window("w", "W", buttonRow({"x", "Go", "x", "Go"}))}, ""));
  EXPECT_EQ(chosenX(sides, {{"role", "AXButton"}, {"title", "Go"}, {"index", 2}}), 100);

  // A higher score wins however far it is from the wanted index.
  SimDesktopFixture far(desktop({window("w", "W", buttonRow({"x", "x", "x", "x", "x", "x", "x", "x", "x", "Go"}))}, ""));
  EXPECT_EQ(chosenX(far, {{"role", "AXButton"}, {"title", "Go"}, {"index", 0}}), 900);
}

TEST(ResolveSelectorOnce, ReadsEachCandidatesRoleOnceAndOnlyTheTextsTheTargetNames) {
  SimDesktopFixture fixture(desktop({window("w", "W", buttonRow({"Go", "Stop", "Go"}))}, ""));
  fixture.stats();
  EXPECT_EQ(chosenX(fixture, {{"role", "AXButton"}, {"title", "Go"}, {"index", 2}}), 200);
  const int frontWindow = 3;        // focused window (none), list of windows, title
  const int walk = 2 + 3 * 2;       // role and children of the window and of each button
  const int scoring = 3;            // one title per candidate
  const int description = 1 + 3;    // frame, enabled, role, value
  EXPECT_EQ(fixture.stats()["reads"], frontWindow + walk + scoring + description);
}

TEST(ResolveSelectorOnce, PositionsCountAcrossTheWholeWindowInDocumentOrder) {
  json nested = {{"attrs", {{"AXRole", "AXGroup"}}}, {"children", buttonRow({"Go", "Go"})}};
  nested["children"][0]["id"] = "n0";
  nested["children"][1]["id"] = "n1";
  nested["children"][1]["attrs"]["AXFrame"] = rect(500, 0);
  SimDesktopFixture fixture(desktop({window("w", "W", {nested, button("after", "Go", 700)})}, ""));
  EXPECT_EQ(chosenX(fixture, {{"role", "AXButton"}, {"index", 2}}), 700);
  EXPECT_EQ(chosenX(fixture, {{"role", "AXButton"}, {"index", 1}}), 500);
}

TEST(ResolveSelectorOnce, TheChosenElementAloneDecidesFrameAndEnabled) {
  json buttons = buttonRow({"Go", "Go"}, {{"AXEnabled", {{"other", "not a boolean"}}}, {"AXValue", 3}});
  buttons[1]["attrs"]["AXFrame"] = {{"error", "no frame"}};
  SimDesktopFixture fixture(desktop({window("w", "W", buttons)}, ""));
  // The chosen element has no frame: no fallback to the other candidate.
  EXPECT_EQ(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", "AXButton"}, {"index", 1}})),
            (json{{"found", false}}));
  json reply = resolveSelectorOnce(fixture.ax(), selectorFor({{"role", "AXButton"}, {"index", 0}}));
  EXPECT_EQ(reply["enabled"], true);
  EXPECT_EQ(reply["value"], "3");
  EXPECT_EQ(reply["score"], 1);

  // No candidate with a positive score.
  EXPECT_EQ(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", "AXButton"}, {"identifier", "none"}})),
            (json{{"found", false}}));
  EXPECT_EQ(resolveSelectorOnce(fixture.ax(), selectorFor({{"role", "AXSlider"}})), (json{{"found", false}}));
}

// A target button `depth` levels below the window.
json buttonAtDepth(int depth) {
  json node = button("target", "Deep", 5);
  for (int level = depth - 1; level >= 1; --level) node = {{"attrs", {{"AXRole", "AXGroup"}}}, {"children", {node}}};
  return desktop({window("w", "W", {node})}, "");
}

TEST(ResolveSelectorOnce, FindsCandidatesThirtyFiveLevelsDownAndNoDeeper) {
  const json target = {{"role", "AXButton"}, {"title", "Deep"}};
  SimDesktopFixture atLimit(buttonAtDepth(35));
  EXPECT_EQ(chosenX(atLimit, target), 5);
  SimDesktopFixture belowLimit(buttonAtDepth(36));
  EXPECT_EQ(chosenX(belowLimit, target), -1);
}

// The target button after `before` other elements in pre-order, the window included.
json buttonAfter(int before) {
  json children = json::array();
  for (int i = 1; i < before; ++i) children.push_back({{"attrs", {{"AXRole", "AXStaticText"}}}});
  children.push_back(button("target", "Late", 5));
  return desktop({window("w", "W", children)}, "");
}

TEST(ResolveSelectorOnce, ExaminesNineThousandElementsAndNoMore) {
  const json target = {{"role", "AXButton"}, {"title", "Late"}};
  SimDesktopFixture lastExamined(buttonAfter(8999));
  EXPECT_EQ(chosenX(lastExamined, target), 5);
  SimDesktopFixture firstUnexamined(buttonAfter(9000));
  EXPECT_EQ(chosenX(firstUnexamined, target), -1);
}

json slowDesktop(double responseDelayMs) {
  json scene = reportDesktop();
  scene["applications"][0]["responseDelayMs"] = responseDelayMs;
  return scene;
}

TEST(ResolveSelectorOnce, GivesUpOnTheWindowAfterTwoSeconds) {
  SimDesktopFixture answering(slowDesktop(1500));
  EXPECT_EQ(resolveSelectorOnce(answering.ax(), selectorFor({{"role", "AXButton"}}))["found"], true);

  // The front-window lookup waits under the default time-out; the first read on the
  // window itself gives up after two seconds, and the application counts as hung.
  SimDesktopFixture hanging(slowDesktop(2500));
  EXPECT_EQ(resolveSelectorOnce(hanging.ax(), selectorFor({{"role", "AXButton"}})), (json{{"found", false}}));
  EXPECT_EQ(hanging.elapsedMs(), 2500 + 2500 + 2000);
}

TEST(ResolveSelectorOnce, GivesUpOnTheApplicationAfterTwoSeconds) {
  SimDesktopFixture answering(slowDesktop(1500));
  EXPECT_EQ(resolveSelectorOnce(answering.ax(), selectorFor({{"role", "AXButton"}}, "Report"))["frame"]["x"], 40);

  SimDesktopFixture hanging(slowDesktop(2500));
  EXPECT_EQ(resolveSelectorOnce(hanging.ax(), selectorFor({{"role", "AXButton"}}, "Report")),
            (json{{"found", false}}));
  EXPECT_EQ(hanging.elapsedMs(), 2500 + 2500 + 2000);  // focused window, its title, then the list of windows
}

}  // namespace
}  // namespace morvel
