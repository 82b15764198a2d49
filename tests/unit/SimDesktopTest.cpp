// The simulated desktop: scene loading, values, derived attributes, the screen;
// and over time: hit tests, response delays and time-outs, the timeline.

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"
#include "support/SimDesktopFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;
using ::testing::HasSubstr;

std::string loadError(const json& scene) {
  sim::VirtualClock clock;
  try {
    sim::SimDesktop::fromJson(scene, clock);
  } catch (const sim::SceneError& error) {
    return error.what();
  }
  return "";
}

// Elements `depth` levels below a free element, or a value of `depth` nested arrays.
std::string nestedScene(int depth, bool inValue) {
  std::string text = inValue ? R"({"elements": [{"attrs": {"AXValue": )" : R"({"elements": [)";
  for (int level = 0; level < depth; ++level) text += inValue ? "[" : R"({"children": [)";
  for (int level = 0; level < depth; ++level) text += inValue ? "]" : "]}";
  text += inValue ? "}}]}" : "]}";
  return text;
}

TEST(SimSceneLoading, NamesThePathOfTheFirstProblemOrLoads) {
  // An element added inside itself, directly or through steps in the order they fall due.
  const std::string freeTree = R"({"elements": [{"id": "free", "children": [{"id": "free-child"}]}], "timeline": )";
  const std::pair<std::string, const char*> cases[] = {
      {R"({"applications": [{"pid": 1, "windows": [{"attrs": {"AXRole": "AXWindow"}},
          {"children": [{}, {}, {}, {"attrs": {"AXFrame": {"rectangle": [0, 0, 1, 1]}}}]}]}]})",
       "applications[0].windows[1].children[3].attrs.AXFrame"},
      {R"({"elements": [{"attrs": {"AXParent": {"ref": "nowhere"}}}]})",
       "elements[0].attrs.AXParent.ref: no element has the id \"nowhere\""},
      {R"({"elements": [{"id": "a"}, {"id": "a"}]})", "elements[1].id: duplicate id \"a\""},
      {R"({"applications": [{"windows": []}]})", "applications[0].pid"},
      {R"({"elements": [{"attrs": {"AXSize": {"size": [1]}}}]})", "elements[0].attrs.AXSize.size"},
      {R"({"elements": [{"attrs": {"AXChildren": [null]}}]})", "elements[0].attrs.AXChildren[0]"},
      {R"({"frontMost": null})", "frontMost: unknown key"},
      {R"({"timeline": [{"atMs": 5, "remove": "ghost"}]})", "timeline[0].remove"},
      {R"({"hitTest": [{"rect": [0, 0, 1, 1]}]})", "hitTest[0]"},
      {"[]", "top level"},
      {freeTree + R"([{"atMs": 0, "add": {"parent": "x", "element": {"id": "x"}}}]})",
       "timeline[0].add.parent: the element would be added inside itself"},
      {freeTree + R"([{"atMs": 0, "add": {"parent": "inner", "element": {"id": "outer", "children": [{"id": "inner"}]}}}]})",
       "timeline[0].add.parent"},
      {freeTree + R"([{"atMs": 5, "add": {"parent": "b", "element": {"id": "a"}}},
                      {"atMs": 1, "add": {"parent": "a", "element": {"id": "b"}}}]})",
       "timeline[1].add.parent"},
      {freeTree + R"([{"atMs": 0, "add": {"parent": "free-child", "element": {"id": "a"}}},
                      {"atMs": 1, "add": {"parent": "a", "element": {"id": "b"}}}]})",
       ""},
      {"{}", ""},
      // (Far deeper scenes: SceneLoadCheck.HostileScenesAtFullSize.)
      {nestedScene(1000, false), ""},
      {nestedScene(1001, false), "elements nested deeper than 1000"},
      {nestedScene(1000, true), ""},
      {nestedScene(1001, true), "arrays nested deeper than 1000"},
  };
  for (const auto& [scene, problem] : cases) {
    const std::string error = loadError(json::parse(scene));
    if (*problem == '\0') {
      EXPECT_EQ(error, "") << scene;
    } else {
      EXPECT_THAT(error, HasSubstr(problem));
    }
  }
}

TEST(SimTree, DerivesChildrenParentsWindowsAndTheApplicationRole) {
  SimDesktopFixture sim(json::parse(R"({"applications": [{"pid": 7, "id": "app",
      "windows": [{"id": "w", "attrs": {"AXRole": "AXWindow"}, "children": [{"id": "b"}, {"id": "c", "attrs": {"AXParent": null}}]}],
      "children": [{"id": "menu", "attrs": {"AXRole": "AXMenuBar"}}]}],
      "elements": [{"id": "free", "attrs": {"AXChildren": [{"ref": "b"}]}, "children": [{"id": "inner"}]}]})"));
  ax::Accessibility& ax = sim.ax();
  const ax::Element app = ax.createApplication(7);

  const std::vector<std::string> ids = {"w", "menu", "b"};
  EXPECT_EQ(sim.idsOf(ax::axChildren(ax, app, ax::AXChildren), ids), (std::vector<std::string>{"w", "menu"}));  // windows first
  EXPECT_EQ(sim.idsOf(ax::axChildren(ax, app, ax::AXWindows), ids), std::vector<std::string>{"w"});
  EXPECT_TRUE(ax.isSameElement(*ax::axElementAttr(ax, sim.element("w"), ax::AXParent), app));
  EXPECT_TRUE(ax.isSameElement(*ax::axElementAttr(ax, sim.element("b"), ax::AXParent), sim.element("w")));
  EXPECT_FALSE(ax::axElementAttr(ax, sim.element("c"), ax::AXParent));  // explicit null wins
  EXPECT_FALSE(ax.copyAttributeValue(sim.element("b"), ax::AXChildren));  // no children key
  EXPECT_FALSE(ax.copyAttributeValue(sim.element("b"), ax::AXRole));     // roles have no default

  // An explicit "AXChildren" replaces what the attribute reads, not the tree's parent links.
  EXPECT_EQ(sim.idsOf(ax::axChildren(ax, sim.element("free"), ax::AXChildren), ids), std::vector<std::string>{"b"});
  EXPECT_TRUE(ax.isSameElement(*ax::axElementAttr(ax, sim.element("inner"), ax::AXParent), sim.element("free")));
}

// (Which lines are recognised, and their boxes: RecognitionTest and StructureTest.)
TEST(SimScreen, CapturesAtTheDisplayScaleRoundingAwayFromZero) {
  SimDesktopFixture sim(json::parse(R"({"screen": {"scale": 2}})"));
  for (const ax::Rect& rect : {ax::Rect{100, 200, 200.25, 100}, ax::Rect{300.25, 300, -200.25, -100}}) {
    auto image = sim.desktop().capture(rect);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->widthPx(), 401);  // 400.5 pixels
    EXPECT_EQ(image->heightPx(), 200);
  }
  EXPECT_EQ(sim.stats()["captures"], 2);
}

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

TEST(SimHitTest, DescendsFromTheFrontmostWindowIntoTheTopmostChildPassingOverLoops) {
  SimDesktopFixture sim(twoApplications);
  EXPECT_TRUE(hits(sim, 125, 125, "over"));        // the later sibling is painted on top
  EXPECT_TRUE(hits(sim, 150, 150, "group"));
  EXPECT_TRUE(hits(sim, 299.5F, 100, "front"));    // right edge excluded, left edge included
  EXPECT_TRUE(hits(sim, 300, 100, "back"));        // other applications' windows come next
  EXPECT_TRUE(hits(sim, 20, 15, "back-button"));
  EXPECT_FALSE(sim.ax().copyElementAtPosition(sim.ax().createSystemWide(), 600, 600));

  // Children that lead back up the tree are passed over.
  SimDesktopFixture loops(json::parse(R"({
    "frontmost": {"pid": 1},
    "applications": [{"pid": 1, "windows": [
      {"id": "w", "attrs": {"AXRole": "AXWindow", "AXFrame": {"rect": [0, 0, 100, 100]}, "AXChildren": [{"ref": "w"}]}},
      {"id": "v", "attrs": {"AXRole": "AXWindow", "AXFrame": {"rect": [200, 0, 100, 100]},
                            "AXChildren": [{"ref": "inner"}, {"ref": "v"}]},
       "children": [{"id": "inner", "attrs": {"AXFrame": {"rect": [200, 0, 50, 50]},
                                             "AXChildren": [{"ref": "v"}, {"ref": "inner"}]}}]}]}]})"));
  EXPECT_TRUE(hits(loops, 10, 10, "w"));
  EXPECT_TRUE(hits(loops, 210, 10, "inner"));
  EXPECT_TRUE(hits(loops, 280, 80, "v"));
}

const json slowApplication = json::parse(R"({
  "frontmost": {"pid": 1},
  "applications": [{"pid": 1, "responseDelayMs": 3000, "windows": [{"id": "w", "attrs": {"AXTitle": "Slow"}}]},
                   {"pid": 2, "windows": [{"id": "other", "attrs": {"AXTitle": "Quick"}}]}],
  "elements": [{"id": "free", "attrs": {"AXTitle": "Free"}}]})");

TEST(SimDelays, AReadWithinTheTimeOutTakesTheDelayAndAHungApplicationOneTimeOutPerRequest) {
  SimDesktopFixture sim(slowApplication);
  sim.ax().setMessagingTimeout(sim.element("w"), 2.0);
  EXPECT_FALSE(ax::axString(sim.ax(), sim.element("w"), ax::AXTitle));
  EXPECT_EQ(sim.elapsedMs(), 2000);
  // Every later read on that application fails at once, on any of its elements;
  // other applications and free elements answer at once.
  EXPECT_FALSE(ax::axString(sim.ax(), sim.element("w"), ax::AXTitle));
  EXPECT_FALSE(ax::axString(sim.ax(), sim.ax().createApplication(1), ax::AXRole));
  EXPECT_EQ(ax::axString(sim.ax(), sim.element("other"), ax::AXTitle), "Quick");
  EXPECT_EQ(ax::axString(sim.ax(), sim.element("free"), ax::AXTitle), "Free");
  EXPECT_EQ(sim.elapsedMs(), 2000);

  sim.endRequest();
  // The next request waits again, and the application element has the default
  // time-out of 6000 ms: the read takes its 3000 ms.
  EXPECT_EQ(ax::axString(sim.ax(), sim.ax().createApplication(1), ax::AXRole), ax::AXApplication);
  EXPECT_EQ(sim.elapsedMs(), 5000);
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
  EXPECT_EQ(ax::axBool(ax, save, ax::AXEnabled), false);
  EXPECT_FALSE(ax::axString(ax, sim.element("new"), ax::AXParent));  // not added yet: reads fail
  auto childIds = [&] { return sim.idsOf(ax::axChildren(ax, sim.element("w"), ax::AXChildren), {"new", "save", "row"}); };
  EXPECT_EQ(childIds(), (std::vector<std::string>{"save", "row"}));

  sim.clock().advance(std::chrono::milliseconds(400));
  EXPECT_EQ(ax::axBool(ax, save, ax::AXEnabled), true);

  sim.clock().advance(std::chrono::milliseconds(500));
  EXPECT_EQ(childIds(), (std::vector<std::string>{"new", "save", "row"}));
  EXPECT_TRUE(ax.isSameElement(*ax::axElementAttr(ax, sim.element("new-child"), ax::AXParent), sim.element("new")));

  sim.clock().advance(std::chrono::milliseconds(300));
  EXPECT_EQ(childIds(), (std::vector<std::string>{"new", "save"}));
  EXPECT_FALSE(ax::axElementAttr(ax, sim.element("cell"), ax::AXParent));  // handles to removed elements fail

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
  EXPECT_EQ(ax::axString(*desktop, e, ax::AXTitle), "old");
  clock.advance(std::chrono::milliseconds(100));
  EXPECT_EQ(ax::axString(*desktop, e, ax::AXTitle), "new");
}

}  // namespace
}  // namespace morvel
