// The simulated desktop: scene loading, values, derived attributes and the screen.

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

TEST(SimSceneLoading, NamesThePathOfTheFirstProblem) {
  const json badFrame = json::parse(R"({"applications": [{"pid": 1, "windows": [
      {"attrs": {"AXRole": "AXWindow"}},
      {"children": [{}, {}, {}, {"attrs": {"AXFrame": {"rectangle": [0, 0, 1, 1]}}}]}]}]})");
  EXPECT_THAT(loadError(badFrame), HasSubstr("applications[0].windows[1].children[3].attrs.AXFrame"));

  EXPECT_THAT(loadError(json::parse(R"({"elements": [{"attrs": {"AXParent": {"ref": "nowhere"}}}]})")),
              HasSubstr("elements[0].attrs.AXParent.ref: no element has the id \"nowhere\""));
  EXPECT_THAT(loadError(json::parse(R"({"elements": [{"id": "a"}, {"id": "a"}]})")),
              HasSubstr("elements[1].id: duplicate id \"a\""));
  EXPECT_THAT(loadError(json::parse(R"({"applications": [{"windows": []}]})")), HasSubstr("applications[0].pid"));
  EXPECT_THAT(loadError(json::parse(R"({"elements": [{"attrs": {"AXSize": {"size": [1]}}}]})")),
              HasSubstr("elements[0].attrs.AXSize.size"));
  EXPECT_THAT(loadError(json::parse(R"({"elements": [{"attrs": {"AXChildren": [null]}}]})")),
              HasSubstr("elements[0].attrs.AXChildren[0]"));
  EXPECT_THAT(loadError(json::parse(R"({"frontMost": null})")), HasSubstr("frontMost: unknown key"));
  EXPECT_THAT(loadError(json::parse(R"({"timeline": [{"atMs": 5, "remove": "ghost"}]})")),
              HasSubstr("timeline[0].remove"));
  EXPECT_THAT(loadError(json::parse(R"({"hitTest": [{"rect": [0, 0, 1, 1]}]})")), HasSubstr("hitTest[0]"));
  EXPECT_THAT(loadError(json::array()), HasSubstr("top level"));
  EXPECT_EQ(loadError(json::object()), "");
}

// Elements `depth` levels below a free element, or a value of `depth` nested arrays.
json nestedScene(int depth, bool inValue) {
  std::string text = inValue ? R"({"elements": [{"attrs": {"AXValue": )" : R"({"elements": [)";
  for (int level = 0; level < depth; ++level) text += inValue ? "[" : R"({"children": [)";
  for (int level = 0; level < depth; ++level) text += inValue ? "]" : "]}";
  text += inValue ? "}}]}" : "]}";
  return json::parse(text);
}

TEST(SimSceneLoading, RefusesNestingDeeperThanAThousandLevels) {
  EXPECT_EQ(loadError(nestedScene(1000, false)), "");
  EXPECT_THAT(loadError(nestedScene(1001, false)), HasSubstr("elements nested deeper than 1000"));
  EXPECT_EQ(loadError(nestedScene(1000, true)), "");
  EXPECT_THAT(loadError(nestedScene(1001, true)), HasSubstr("arrays nested deeper than 1000"));
  // Far deeper scenes are refused the same way rather than running the stack out.
  EXPECT_THAT(loadError(nestedScene(200000, false)), HasSubstr("nested deeper"));
  EXPECT_THAT(loadError(nestedScene(200000, true)), HasSubstr("nested deeper"));
}

TEST(SimSceneLoading, RefusesATimelineThatAddsAnElementInsideItself) {
  auto withTimeline = [](const char* timeline) {
    json scene = json::parse(R"({"elements": [{"id": "free", "children": [{"id": "free-child"}]}]})");
    scene["timeline"] = json::parse(timeline);
    return scene;
  };
  EXPECT_THAT(loadError(withTimeline(R"([{"atMs": 0, "add": {"parent": "x", "element": {"id": "x"}}}])")),
              HasSubstr("timeline[0].add.parent: the element would be added inside itself"));
  EXPECT_THAT(loadError(withTimeline(R"([{"atMs": 0, "add": {"parent": "inner", "element":
                                          {"id": "outer", "children": [{"id": "inner"}]}}}])")),
              HasSubstr("timeline[0].add.parent"));
  // Through two steps, whichever is due first.
  EXPECT_THAT(loadError(withTimeline(R"([{"atMs": 5, "add": {"parent": "b", "element": {"id": "a"}}},
                                         {"atMs": 1, "add": {"parent": "a", "element": {"id": "b"}}}])")),
              HasSubstr("timeline[1].add.parent"));
  EXPECT_EQ(loadError(withTimeline(R"([{"atMs": 0, "add": {"parent": "free-child", "element": {"id": "a"}}},
                                       {"atMs": 1, "add": {"parent": "a", "element": {"id": "b"}}}])")),
            "");
}

TEST(SimSceneLoading, ReportsUnreadableFiles) {
  sim::VirtualClock clock;
  EXPECT_THROW(sim::SimDesktop::fromFile("/nonexistent/scene.json", clock), sim::SceneError);
}

TEST(SimValues, HandsOverEveryValueFormWithItsKind) {
  SimDesktopFixture sim(json::parse(R"({"elements": [
      {"id": "e", "attrs": {
        "text": "Save", "int": 42, "float": 0.5, "whole": 2.0, "flag": true,
        "list": ["a", {"ref": "e"}, [1]], "me": {"ref": "e"},
        "point": {"point": [1, 2]}, "size": {"size": [3, 4]}, "rect": {"rect": [1, 2, 3, 4]},
        "other": {"other": "attributed"}, "broken": {"error": "cannot"}, "empty": null}}]})"));
  ax::Accessibility& ax = sim.ax();
  const ax::Element e = sim.element("e");

  EXPECT_EQ(*ax.copyAttributeValue(e, "text")->get<std::string>(), "Save");
  EXPECT_EQ(*ax.copyAttributeValue(e, "int")->get<std::int64_t>(), 42);
  EXPECT_EQ(*ax.copyAttributeValue(e, "float")->get<double>(), 0.5);
  EXPECT_NE(ax.copyAttributeValue(e, "whole")->get<double>(), nullptr);  // a fraction literal stays floating
  EXPECT_EQ(*ax.copyAttributeValue(e, "flag")->get<bool>(), true);
  EXPECT_EQ(ax.copyAttributeValue(e, "list")->get<ax::AttrArray>()->size(), 3u);
  EXPECT_TRUE(ax.isSameElement(*ax.copyAttributeValue(e, "me")->get<ax::Element>(), e));
  EXPECT_EQ(ax.copyAttributeValue(e, "point")->get<ax::Point>()->y, 2);
  EXPECT_EQ(ax.copyAttributeValue(e, "size")->get<ax::Size>()->height, 4);
  EXPECT_EQ(ax.copyAttributeValue(e, "rect")->get<ax::Rect>()->width, 3);
  EXPECT_NE(ax.copyAttributeValue(e, "other")->get<ax::OtherKind>(), nullptr);
  EXPECT_FALSE(ax.copyAttributeValue(e, "broken"));
  EXPECT_FALSE(ax.copyAttributeValue(e, "empty"));
  EXPECT_FALSE(ax.copyAttributeValue(e, "missing"));
  EXPECT_EQ(sim.stats()["reads"], 14);
}

TEST(SimTree, DerivesChildrenParentsWindowsAndTheApplicationRole) {
  SimDesktopFixture sim(json::parse(R"({"applications": [{"pid": 7, "id": "app",
      "windows": [{"id": "w", "attrs": {"AXRole": "AXWindow"}, "children": [{"id": "b"}, {"id": "c", "attrs": {"AXParent": null}}]}],
      "children": [{"id": "menu", "attrs": {"AXRole": "AXMenuBar"}}]}],
      "elements": [{"id": "free", "attrs": {"AXChildren": [{"ref": "b"}]}, "children": [{"id": "inner"}]}]})"));
  ax::Accessibility& ax = sim.ax();
  const ax::Element app = ax.createApplication(7);

  EXPECT_EQ(ax::axString(ax, app, "AXRole"), "AXApplication");
  auto children = ax::axChildren(ax, app, "AXChildren");
  ASSERT_EQ(children.size(), 2u);  // windows first, then children
  EXPECT_TRUE(ax.isSameElement(children[1], sim.element("menu")));
  auto windows = ax::axChildren(ax, app, "AXWindows");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_TRUE(ax.isSameElement(windows[0], sim.element("w")));
  EXPECT_TRUE(ax.isSameElement(*ax::axElementAttr(ax, sim.element("w"), "AXParent"), app));
  EXPECT_TRUE(ax.isSameElement(*ax::axElementAttr(ax, sim.element("b"), "AXParent"), sim.element("w")));
  EXPECT_FALSE(ax::axElementAttr(ax, sim.element("c"), "AXParent"));  // explicit null wins
  EXPECT_FALSE(ax.copyAttributeValue(sim.element("b"), "AXChildren"));  // no children key
  EXPECT_FALSE(ax.copyAttributeValue(sim.element("b"), "AXRole"));     // roles have no default

  // An explicit "AXChildren" replaces what the attribute reads, not the tree's parent links.
  auto listed = ax::axChildren(ax, sim.element("free"), "AXChildren");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_TRUE(ax.isSameElement(listed[0], sim.element("b")));
  EXPECT_TRUE(ax.isSameElement(*ax::axElementAttr(ax, sim.element("inner"), "AXParent"), sim.element("free")));
}

TEST(SimTree, UnknownProcessesAndTheSystemWideElementFailReadsUnlessDescribed) {
  SimDesktopFixture bare(json::object());
  EXPECT_FALSE(bare.ax().copyAttributeValue(bare.ax().createSystemWide(), "AXFocusedUIElement"));
  EXPECT_FALSE(bare.ax().copyAttributeValue(bare.ax().createApplication(99), "AXRole"));
  EXPECT_TRUE(bare.ax().isSameElement(bare.ax().createApplication(99), bare.ax().createApplication(99)));
  EXPECT_FALSE(bare.ax().isSameElement(bare.ax().createApplication(99), bare.ax().createSystemWide()));
  EXPECT_FALSE(bare.ax().frontmostApplication());

  SimDesktopFixture described(json::parse(R"({"frontmost": {"pid": 3},
      "systemWide": {"attrs": {"AXFocusedApplication": {"ref": "a"}}},
      "elements": [{"id": "a"}]})"));
  auto focused = ax::axElementAttr(described.ax(), described.ax().createSystemWide(), "AXFocusedApplication");
  ASSERT_TRUE(focused);
  EXPECT_TRUE(described.ax().isSameElement(*focused, described.element("a")));
  auto frontmost = described.ax().frontmostApplication();
  ASSERT_TRUE(frontmost);
  EXPECT_EQ(frontmost->pid, 3);
  EXPECT_FALSE(frontmost->bundleId);
}

TEST(SimScreen, CapturesAtTheDisplayScaleAndRecognisesLinesWhollyInside) {
  SimDesktopFixture sim(json::parse(R"({"screen": {"scale": 2, "lines": [
      {"text": "Name", "confidence": 0.3, "rect": [100, 200, 40, 10]},
      {"noCandidate": true, "rect": [100, 220, 40, 10]},
      {"text": "half outside", "rect": [90, 200, 40, 10]},
      {"text": "edge", "rect": [100, 290, 200, 10]}]}})"));
  auto image = sim.desktop().capture({100, 200, 200.25, 100});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->widthPx(), 401);  // 400.5 rounds away from zero
  EXPECT_EQ(image->heightPx(), 200);

  auto observations = sim.desktop().recognize(*image);
  ASSERT_TRUE(observations);
  ASSERT_EQ(observations->size(), 3u);
  EXPECT_EQ((*observations)[0].text, "Name");
  EXPECT_EQ((*observations)[0].confidence, 0.3f);
  EXPECT_DOUBLE_EQ((*observations)[0].box.minX, 0);
  EXPECT_DOUBLE_EQ((*observations)[0].box.minY, 0.9);
  EXPECT_DOUBLE_EQ((*observations)[0].box.height, 0.1);
  EXPECT_FALSE((*observations)[1].text);
  EXPECT_EQ((*observations)[2].text, "edge");  // edges included
  EXPECT_DOUBLE_EQ((*observations)[2].box.minY, 0);

  // A rectangle given with a negative size shows the same part of the screen.
  auto flipped = sim.desktop().capture({300.25, 300, -200.25, -100});
  EXPECT_EQ(sim.desktop().recognize(*flipped)->size(), 3u);
  auto stats = sim.stats();
  EXPECT_EQ(stats["captures"], 2);
  EXPECT_EQ(stats["recognitions"], 2);
}

TEST(SimScreen, FailsAsTheSceneSays) {
  SimDesktopFixture none(json::object());
  EXPECT_FALSE(none.desktop().capture({0, 0, 10, 10}));

  SimDesktopFixture noCapture(json::parse(R"({"screen": {"captureFails": true}})"));
  EXPECT_FALSE(noCapture.desktop().capture({0, 0, 10, 10}));

  SimDesktopFixture noRecognition(json::parse(R"({"screen": {"recognizerFails": true}})"));
  auto image = noRecognition.desktop().capture({0, 0, 10, 10});
  ASSERT_TRUE(image);
  EXPECT_FALSE(noRecognition.desktop().recognize(*image));
}

}  // namespace
}  // namespace morvel
