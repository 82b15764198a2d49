// The element under a point or with the focus: "element-at" with its upward
// search for a named element, "focused", and "selector-at" (the descriptor of
// each element on the path, its index among siblings of its role, and the path
// up to the window).

#include "accessibility/AXNames.h"
#include "accessibility/Descriptor.h"
#include "commands/ElementCommands.h"
#include "commands/SelectorCommands.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace morvel {
namespace {

using namespace testing;  // the scene builders

json node(const std::string& id, json attrs) { return {{"id", id}, {"attrs", std::move(attrs)}}; }

TEST(SiblingIndex, CountsOnlyListedChildrenOfTheSameRoleInChildOrderReadingEachRoleOnce) {
  json scene = windowScene({node("b0", {{ax::AXRole, ax::AXButton}}), node("t0", {{ax::AXRole, ax::AXStaticText}}),
                            node("b1", {{ax::AXRole, ax::AXButton}}), node("t1", {{ax::AXRole, ax::AXStaticText}}),
                            node("b2", {{ax::AXRole, ax::AXButton}}), node("n0", {{ax::AXTitle, "no role"}}),
                            node("n1", {{ax::AXRole, {{"error", "gone"}}}}), node("lower", {{ax::AXRole, "axbutton"}})},
                           json::array({node("orphan", {{ax::AXRole, ax::AXButton}})}));
  // A second window lists only the first of its buttons; the other still names it as parent.
  scene["applications"][0]["windows"].push_back(withChildren(
      node("second-window", {{ax::AXRole, ax::AXWindow}, {ax::AXChildren, json::array({{{"ref", "listed"}}})}}),
      {node("listed", {{ax::AXRole, ax::AXButton}}), node("hidden", {{ax::AXRole, ax::AXButton}})}));
  SimDesktopFixture fixture(scene);
  ax::Accessibility& ax = fixture.ax();
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("b2")), 2);
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("t1")), 1);
  // Unreadable roles are counted among each other, whatever made them unreadable.
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("n1")), 1);
  // Role comparison is case-sensitive.
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("lower")), 0);
  // Zero without a parent or when the parent does not list the element; a window
  // is counted among the application's windows.
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("hidden")), 0);
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("orphan")), 0);
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("second-window")), 1);
  // The parent, the own role, the parent's children, then one role per child; no
  // more than the parent where there is none.
  fixture.stats();
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("b0")), 0);
  EXPECT_EQ(fixture.stats()["reads"], 3 + 8);
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("app")), 0);
  EXPECT_EQ(fixture.stats()["reads"], 1);
}

json framed(json attrs, double x, double y, double w, double h) {
  attrs[ax::AXFrame] = rectValue(x, y, w, h);
  return attrs;
}

// An "Inbox" window (0,0 500x500) holding a group (10,10 200x200) that holds a
// button at (20,20 50x20), with every text but an unreadable one, after another
// button; another application's window lies at x 1000.
json mailDesktop() {
  return json::parse(R"({
    "frontmost": {"pid": 1, "bundleId": "com.example.mail"},
    "applications": [
      {"pid": 1, "windows": [{"attrs": {"AXRole": "AXWindow", "AXTitle": "Inbox", "AXFrame": {"rect": [0, 0, 500, 500]}}, "children": [
        {"attrs": {"AXRole": "AXGroup", "AXValue": "group value", "AXFrame": {"rect": [10, 10, 200, 200]}}, "children": [
          {"attrs": {"AXRole": "AXButton", "AXFrame": {"rect": [100, 100, 10, 10]}}},
          {"attrs": {"AXRole": "AXButton", "AXSubrole": "AXToggle", "AXIdentifier": "send", "AXTitle": "",
                     "AXDescription": " Send mail ", "AXRoleDescription": {"error": "unsupported"}, "AXValue": 1,
                     "AXFrame": {"rect": [20, 20, 50, 20]}}}]}]}]},
      {"pid": 8, "windows": [{"attrs": {"AXRole": "AXWindow", "AXTitle": "Notes", "AXFrame": {"rect": [1000, 0, 100, 100]}}}]}]})");
}

TEST(SelectorAt, PathRunsFromTheElementUpToItsWindowWithEveryReadableTextExactlyAndTheValueOfTheFirstOnly) {
  SimDesktopFixture fixture(mailDesktop());
  EXPECT_EQ(cmdSelectorAt(fixture.platform(), 25, 25), json::parse(R"({"found": true, "path": [
      {"role": "AXButton", "subrole": "AXToggle", "identifier": "send", "title": "", "description": " Send mail ", "value": "1", "index": 1},
      {"role": "AXGroup", "index": 0}, {"role": "AXWindow", "title": "Inbox", "index": 0}],
      "windowTitle": "Inbox", "appName": "Inbox", "appBundleId": "com.example.mail"})"));

  // The window itself under the point: a path of one.
  EXPECT_EQ(cmdSelectorAt(fixture.platform(), 400, 400)["path"],
            (json{{{"role", ax::AXWindow}, {"title", "Inbox"}, {"index", 0}}}));

  // Another application's window: its path, but the front window's keys.
  json other = cmdSelectorAt(fixture.platform(), 1050, 50);
  EXPECT_EQ(other["path"], (json{{{"role", ax::AXWindow}, {"title", "Notes"}, {"index", 0}}}));
  EXPECT_EQ(other["windowTitle"], "Inbox");

  EXPECT_EQ(cmdSelectorAt(fixture.platform(), 700, 700), (json{{"found", false}}));
  // Coordinates beyond single precision saturate instead of overflowing.
  EXPECT_EQ(cmdSelectorAt(fixture.platform(), -5, 1e300), (json{{"found", false}}));
}

// `count` nested groups below a window, titled by their depth, all under (50, 50).
json nestedGroups(int count) {
  json groups = element(ax::AXGroup, framed({{ax::AXTitle, std::to_string(count)}}, 0, 0, 100, 100));
  for (int level = count - 1; level >= 1; --level) {
    groups = withChildren(element(ax::AXGroup, framed({{ax::AXTitle, std::to_string(level)}}, 0, 0, 100, 100)), json::array({groups}));
  }
  json scene = windowScene(json::array({groups}));
  scene["applications"][0]["windows"][0]["attrs"] = framed({{ax::AXRole, ax::AXWindow}, {ax::AXTitle, "0"}}, 0, 0, 100, 100);
  return scene;
}

TEST(SelectorAt, PathHoldsTwelveDescriptorsAtMost) {
  // Below eleven groups the window, titled "0", is just reached as the twelfth entry.
  for (const auto& [groups, last] : {std::pair{15, "4"}, {11, "0"}}) {
    SimDesktopFixture fixture(nestedGroups(groups));
    const json path = cmdSelectorAt(fixture.platform(), 50, 50)["path"];
    ASSERT_EQ(path.size(), 12u);
    EXPECT_EQ(path.front()["title"], std::to_string(groups));
    EXPECT_EQ(path.back()["title"], last);
  }
}

TEST(SelectorAt, PathEndsAtTheApplicationOrWhereTheParentCannotBeRead) {
  // An application that names a parent: the path still ends at it.
  SimDesktopFixture fixture(json::parse(R"({
    "frontmost": {"pid": 7},
    "applications": [{"pid": 7, "id": "app", "attrs": {"AXTitle": "Mail", "AXParent": {"ref": "stray"}},
      "children": [{"id": "menu-bar", "attrs": {"AXRole": "AXMenuBar"},
                    "children": [{"id": "menu-item", "attrs": {"AXRole": "AXMenuBarItem", "AXValue": 3}}]}]}],
    "elements": [{"id": "stray", "attrs": {"AXRole": "AXButton", "AXParent": "not an element"}}],
    "hitTest": [{"rect": [0, 0, 10, 10], "element": "menu-item"}, {"rect": [10, 0, 10, 10], "element": "stray"},
                {"rect": [20, 0, 10, 10], "fail": true}]})"));
  EXPECT_EQ(cmdSelectorAt(fixture.platform(), 5, 5)["path"],
            (json{{{"role", ax::AXMenuBarItem}, {"value", "3"}, {"index", 0}},
                  {{"role", ax::AXMenuBar}, {"index", 0}},
                  {{"role", ax::AXApplication}, {"title", "Mail"}, {"index", 0}}}));
  // Without a window the front-window keys are left out; there is no bundle either.
  json stray = cmdSelectorAt(fixture.platform(), 15, 5);
  EXPECT_EQ(stray, (json{{"found", true}, {"path", {{{"role", ax::AXButton}, {"index", 0}}}}}));
  EXPECT_EQ(cmdSelectorAt(fixture.platform(), 25, 5), (json{{"found", false}}));
}

// A window whose hit tests are explicit, so that each case names the hit element.
json sceneWithHits(const json& windowChildren, const json& hits) {
  json scene = windowScene(windowChildren);
  scene["hitTest"] = hits;
  return scene;
}

json hitAt(const char* id) { return json::array({{{"rect", {0, 0, 400, 400}}, {"element", id}}}); }

// `hit` below `unnamedLevels - 1` untitled groups, below `top`.
json chainBelow(json top, int unnamedLevels, json hit) {
  for (int level = 1; level < unnamedLevels; ++level) hit = {{"attrs", {{ax::AXRole, ax::AXGroup}}}, {"children", {hit}}};
  top["children"] = json::array({std::move(hit)});
  return json::array({std::move(top)});
}

TEST(ElementAt, DescribesTheNamedElementAtMostFourLevelsAboveTheHitButNeverAContainer) {
  const json image = {{"id", "hit"}, {"attrs", {{ax::AXRole, ax::AXImage}}}};
  const json named = {{"attrs", {{ax::AXRole, ax::AXGroup}, {ax::AXTitle, "Named"}}}};
  const json blank = {{"id", "hit"}, {"attrs", {{ax::AXRole, ax::AXImage}, {ax::AXDescription, " "}, {ax::AXTitle, "Inner"}}}};
  const json scroll = {{"attrs", {{ax::AXRole, ax::AXScrollArea}, {ax::AXTitle, "Files"}}}};
  const json cell = {{"id", "hit"}, {"attrs", {{ax::AXRole, ax::AXCell}, {ax::AXEnabled, "yes"}}}};
  const json button = json::parse(R"({"attrs": {"AXRole": "AXButton", "AXDescription": "Send", "AXTitle": "",
      "AXEnabled": true, "AXFrame": {"rect": [10, 10, 80, 24]}, "AXValue": 0}})");
  const json blankLabel = {{"id", "hit"}, {"attrs", {{ax::AXRole, ax::AXStaticText}, {ax::AXTitle, "  "}}}};
  const struct {
    json children;
    const char* hit;
    json reply;
  } cases[] = {
      // Every text of the named element, the empty title included.
      {chainBelow(button, 1, blankLabel), "hit", json::parse(R"({"found": true, "role": "AXButton", "title": "",
          "description": "Send", "value": "0", "enabled": true, "frame": {"x": 10.0, "y": 10.0, "w": 80.0, "h": 24.0}})")},
      {chainBelow(named, 4, image), "hit", {{"found", true}, {"role", ax::AXGroup}, {"title", "Named"}, {"enabled", false}}},
      {chainBelow(named, 5, image), "hit", {{"found", true}, {"role", ax::AXImage}, {"enabled", false}}},
      // A blank description hides the title, so the search goes on up.
      {chainBelow(named, 1, blank), "hit", {{"found", true}, {"role", ax::AXGroup}, {"title", "Named"}, {"enabled", false}}},
      // Containers are never chosen, however they are titled...
      {chainBelow(scroll, 1, cell), "hit", {{"found", true}, {"role", ax::AXCell}, {"enabled", false}}},
      // ...but a hit on one is described: the start is never tested against them.
      {json::array(), "window", {{"found", true}, {"role", ax::AXWindow}, {"title", "Form"}, {"enabled", false},
                                 {"frame", {{"x", 0.0}, {"y", 0.0}, {"w", 1000.0}, {"h", 800.0}}}}},
  };
  for (const auto& c : cases) {
    SimDesktopFixture sim(sceneWithHits(c.children, hitAt(c.hit)));
    EXPECT_EQ(cmdElementAt(sim.platform(), 5, 5), c.reply) << c.children;
    EXPECT_EQ(sim.stats()["hitTests"], 1);
  }
}

TEST(ElementAt, NothingUnderThePointIsNotFound) {
  SimDesktopFixture sim(sceneWithHits(json::array(), json::parse(R"([{"rect": [0, 0, 10, 10], "fail": true}])")));
  // Coordinates beyond single precision saturate instead of overflowing.
  for (auto [x, y] : {std::pair{5.0, 5.0}, {1500.0, 500.0}, {1e300, -1e300}}) {
    EXPECT_EQ(cmdElementAt(sim.platform(), x, y), json({{"found", false}})) << x;
  }
}

TEST(Focused, DescribesTheFocusedElementWithItsSelection) {
  SimDesktopFixture sim(json::parse(R"({
      "systemWide": {"attrs": {"AXFocusedUIElement": {"ref": "field"}}},
      "elements": [{"id": "field", "attrs": {"AXRole": "AXTextField", "AXValue": "hello world", "AXSelectedText": "world",
                                             "AXEnabled": false, "AXSubrole": "AXSearchField"}}]})"));
  EXPECT_EQ(cmdFocused(sim.platform()), json::parse(R"({"found": true, "role": "AXTextField", "subrole": "AXSearchField",
                                                        "value": "hello world", "selectedText": "world"})"));

  SimDesktopFixture nothing(json::object());
  EXPECT_EQ(cmdFocused(nothing.platform()), json::parse(R"({"found": false})"));
}

}  // namespace
}  // namespace morvel
