// The simulated desktop over time: hit tests, response delays and time-outs, the timeline.

#include "accessibility/Readers.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

const json twoApplications = json::parse(R"({
  "frontmost": {"pid": 2},
  "applications": [
    {"pid": 1, "windows": [{"id": "back", "attrs": {"AXRole": "AXWindow", "AXFrame": {"rect": [0, 0, 500, 500]}},
      "children": [{"id": "back-button", "attrs": {"AXFrame": {"rect": [10, 10, 50, 20]}}}]}]},
    {"pid": 2, "windows": [{"id": "front", "attrs": {"AXRole": "AXWindow", "AXPosition": {"point": [100, 100]}, "AXSize": {"size": [200, 200]}},
      "children": [
        {"id": "group", "attrs": {"AXFrame": {"rect": [100, 100, 100, 100]}},
          "children": [{"id": "under", "attrs": {"AXFrame": {"rect": [120, 120, 20, 20]}}},
                       {"id": "over", "attrs": {"AXFrame": {"rect": [120, 120, 20, 20]}}},
                       {"id": "frameless"}]},
        {"id": "point-only", "attrs": {"AXFrame": {"point": [0, 0]}}}]}]}]})");

bool hits(SimDesktopFixture& sim, float x, float y, const std::string& id) {
  auto hit = sim.ax().copyElementAtPosition(sim.ax().createSystemWide(), x, y);
  return hit && sim.ax().isSameElement(*hit, sim.element(id));
}

TEST(SimHitTest, DescendsFromTheFrontmostWindowIntoTheTopmostChild) {
  SimDesktopFixture sim(twoApplications);
  EXPECT_TRUE(hits(sim, 125, 125, "over"));        // the later sibling is painted on top
  EXPECT_TRUE(hits(sim, 150, 150, "group"));
  EXPECT_TRUE(hits(sim, 250, 250, "front"));
  EXPECT_TRUE(hits(sim, 299.5F, 100, "front"));    // right edge excluded, left edge included
  EXPECT_FALSE(hits(sim, 300, 100, "front"));
  EXPECT_TRUE(hits(sim, 300, 100, "back"));        // other applications' windows come next
  EXPECT_TRUE(hits(sim, 20, 15, "back-button"));
  EXPECT_FALSE(sim.ax().copyElementAtPosition(sim.ax().createSystemWide(), 600, 600));
  EXPECT_EQ(sim.stats()["hitTests"], 8);
}

TEST(SimHitTest, ExplicitEntriesComeFirstAndMayFail) {
  json scene = twoApplications;
  scene["hitTest"] = json::parse(R"([{"rect": [120, 120, 5, 5], "fail": true},
                                     {"rect": [0, 0, 1000, 130], "element": "under"}])");
  SimDesktopFixture sim(scene);
  EXPECT_FALSE(sim.ax().copyElementAtPosition(sim.ax().createSystemWide(), 121, 121));
  EXPECT_TRUE(hits(sim, 125, 125, "under"));
  EXPECT_TRUE(hits(sim, 150, 150, "group"));  // no entry contains it: derived
}

TEST(SimHitTest, PassesOverChildrenThatLeadBackUpTheTree) {
  SimDesktopFixture sim(json::parse(R"({
    "frontmost": {"pid": 1},
    "applications": [{"pid": 1, "windows": [
      {"id": "w", "attrs": {"AXRole": "AXWindow", "AXFrame": {"rect": [0, 0, 100, 100]}, "AXChildren": [{"ref": "w"}]}},
      {"id": "v", "attrs": {"AXRole": "AXWindow", "AXFrame": {"rect": [200, 0, 100, 100]},
                            "AXChildren": [{"ref": "inner"}, {"ref": "v"}]},
       "children": [{"id": "inner", "attrs": {"AXFrame": {"rect": [200, 0, 50, 50]},
                                             "AXChildren": [{"ref": "v"}, {"ref": "inner"}]}}]}]}]})"));
  EXPECT_TRUE(hits(sim, 10, 10, "w"));
  EXPECT_TRUE(hits(sim, 210, 10, "inner"));
  EXPECT_TRUE(hits(sim, 280, 80, "v"));
}

const json slowApplication = json::parse(R"({
  "frontmost": {"pid": 1},
  "applications": [{"pid": 1, "responseDelayMs": 3000, "windows": [{"id": "w", "attrs": {"AXTitle": "Slow"}}]},
                   {"pid": 2, "windows": [{"id": "other", "attrs": {"AXTitle": "Quick"}}]}],
  "elements": [{"id": "free", "attrs": {"AXTitle": "Free"}}]})");

TEST(SimDelays, AReadWithinTheTimeOutTakesTheDelay) {
  SimDesktopFixture sim(slowApplication);
  EXPECT_EQ(ax::axString(sim.ax(), sim.element("w"), "AXTitle"), "Slow");
  EXPECT_EQ(sim.elapsedMs(), 3000);  // the default time-out is 6000 ms
  EXPECT_EQ(ax::axString(sim.ax(), sim.element("free"), "AXTitle"), "Free");
  EXPECT_EQ(sim.elapsedMs(), 3000);  // free elements answer at once
}

TEST(SimDelays, AHungApplicationCostsOneTimeOutPerRequest) {
  SimDesktopFixture sim(slowApplication);
  sim.ax().setMessagingTimeout(sim.element("w"), 2.0);
  EXPECT_FALSE(ax::axString(sim.ax(), sim.element("w"), "AXTitle"));
  EXPECT_EQ(sim.elapsedMs(), 2000);
  // Every later read on that application fails at once, on any of its elements.
  EXPECT_FALSE(ax::axString(sim.ax(), sim.element("w"), "AXTitle"));
  EXPECT_FALSE(ax::axString(sim.ax(), sim.ax().createApplication(1), "AXRole"));
  EXPECT_EQ(sim.elapsedMs(), 2000);
  EXPECT_EQ(ax::axString(sim.ax(), sim.element("other"), "AXTitle"), "Quick");

  sim.endRequest();
  // The next request waits again: the application element has the default 6000 ms, enough.
  EXPECT_EQ(ax::axString(sim.ax(), sim.ax().createApplication(1), "AXRole"), "AXApplication");
  EXPECT_EQ(sim.elapsedMs(), 5000);
}

TEST(SimDelays, TheSystemWideTimeOutHoldsForElementsWithoutTheirOwn) {
  SimDesktopFixture sim(slowApplication);
  sim.ax().setMessagingTimeout(sim.ax().createSystemWide(), 1.0);
  sim.ax().setMessagingTimeout(sim.element("w"), 5.0);
  EXPECT_TRUE(ax::axString(sim.ax(), sim.element("w"), "AXTitle"));  // its own 5 s
  EXPECT_FALSE(ax::axString(sim.ax(), sim.ax().createApplication(1), "AXRole"));  // 1 s, system-wide
  EXPECT_EQ(sim.elapsedMs(), 4000);
}

TEST(SimDelays, AHitTestIsAnsweredByTheApplicationUnderThePoint) {
  json scene = slowApplication;
  scene["applications"][0]["windows"][0]["attrs"]["AXRole"] = "AXWindow";
  scene["applications"][0]["windows"][0]["attrs"]["AXFrame"] = {{"rect", {0, 0, 100, 100}}};
  SimDesktopFixture sim(scene);
  sim.ax().setMessagingTimeout(sim.ax().createSystemWide(), 2.0);
  EXPECT_FALSE(sim.ax().copyElementAtPosition(sim.ax().createSystemWide(), 10, 10));
  EXPECT_EQ(sim.elapsedMs(), 2000);
}

TEST(SimTimeline, StepsTakeEffectWhenDue) {
  SimDesktopFixture sim(json::parse(R"({
    "frontmost": {"pid": 1},
    "applications": [{"pid": 1, "windows": [{"id": "w", "attrs": {"AXRole": "AXWindow"}, "children": [
        {"id": "save", "attrs": {"AXEnabled": false}}, {"id": "row", "children": [{"id": "cell"}]}]}]},
      {"pid": 2}],
    "timeline": [
      {"atMs": 900, "add": {"parent": "w", "index": 0, "element": {"id": "new", "children": [{"id": "new-child"}]}}},
      {"atMs": 400, "set": {"save": {"AXEnabled": true, "AXTitle": {"error": "gone"}}}},
      {"atMs": 1200, "remove": "row"},
      {"atMs": 1500, "frontmost": {"pid": 2, "bundleId": "b"}}]})"));
  ax::Accessibility& ax = sim.ax();
  const ax::Element save = sim.element("save");
  EXPECT_EQ(ax::axBool(ax, save, "AXEnabled"), false);
  EXPECT_FALSE(ax::axString(ax, sim.element("new"), "AXParent"));  // not added yet: reads fail
  EXPECT_EQ(ax::axChildren(ax, sim.element("w"), "AXChildren").size(), 2u);

  sim.clock().advance(std::chrono::milliseconds(400));
  EXPECT_EQ(ax::axBool(ax, save, "AXEnabled"), true);

  sim.clock().advance(std::chrono::milliseconds(500));
  auto children = ax::axChildren(ax, sim.element("w"), "AXChildren");
  ASSERT_EQ(children.size(), 3u);
  EXPECT_TRUE(ax.isSameElement(children[0], sim.element("new")));
  EXPECT_TRUE(ax.isSameElement(*ax::axElementAttr(ax, sim.element("new-child"), "AXParent"), sim.element("new")));

  sim.clock().advance(std::chrono::milliseconds(300));
  EXPECT_EQ(ax::axChildren(ax, sim.element("w"), "AXChildren").size(), 2u);
  EXPECT_FALSE(ax::axElementAttr(ax, sim.element("cell"), "AXParent"));  // handles to removed elements fail

  EXPECT_EQ(ax.frontmostApplication()->pid, 1);
  sim.clock().advance(std::chrono::milliseconds(300));
  EXPECT_EQ(ax.frontmostApplication()->pid, 2);
  EXPECT_EQ(ax.frontmostApplication()->bundleId, "b");
}

TEST(SimTimeline, StartsWithTheFirstRequest) {
  sim::VirtualClock clock;
  auto desktop = sim::SimDesktop::fromJson(
      json::parse(R"({"elements": [{"id": "e", "attrs": {"AXTitle": "old"}}],
                      "timeline": [{"atMs": 100, "set": {"e": {"AXTitle": "new"}}}]})"),
      clock);
  clock.advance(std::chrono::milliseconds(5000));  // time before the first request does not count
  desktop->requestStarted();
  const auto e = *desktop->elementWithId("e");
  EXPECT_EQ(ax::axString(*desktop, e, "AXTitle"), "old");
  clock.advance(std::chrono::milliseconds(100));
  EXPECT_EQ(ax::axString(*desktop, e, "AXTitle"), "new");
}

TEST(SimStats, CountsSleepsOfTheCoreAndResetsOnRead) {
  SimDesktopFixture sim(slowApplication);
  sim.platform().clock.sleepFor(std::chrono::milliseconds(150));
  ax::axString(sim.ax(), sim.element("w"), "AXTitle");  // the delay itself is no sleep of the core
  auto stats = sim.stats();
  EXPECT_EQ(stats["sleeps"], 1);
  EXPECT_EQ(stats["reads"], 1);
  EXPECT_EQ(sim.stats()["reads"], 0);
}

}  // namespace
}  // namespace morvel
