// Typed attribute reads, the two "where is the user" lookups, and the bounded
// walks below an element (their limits as each command sets them are checked
// with the commands; here, what a walk examines and reads).

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "commands/ReplyRecords.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

using ax::Element;
using namespace testing;  // the scene builders

TEST(Readers, ReadTextBooleansElementsAndChildrenOnlyFromTheirOwnKinds) {
  SimDesktopFixture sim(json::parse(R"({"elements": [{"id": "e", "attrs": {
      "one": 1, "flag": true, "empty": "", "list": ["x"], "me": {"ref": "e"},
      "other": {"other": "url"}, "point": {"point": [1, 2]}}},
      {"id": "p", "attrs": {"AXChildren": [{"ref": "a"}, "text", 3, {"ref": "b"}], "notArray": {"ref": "a"}}},
      {"id": "a"}, {"id": "b"}]})"));
  ax::Accessibility& ax = sim.ax();
  const ax::Element e = sim.element("e");

  EXPECT_EQ(ax::axString(ax, e, "one"), "1");
  EXPECT_EQ(ax::axString(ax, e, "empty"), "");
  for (const char* notText : {"flag", "list", "me", "other", "point", "missing"}) {
    EXPECT_FALSE(ax::axString(ax, e, notText)) << notText;
  }
  EXPECT_EQ(ax::axBool(ax, e, "flag"), true);
  EXPECT_FALSE(ax::axBool(ax, e, "one"));
  EXPECT_TRUE(ax::axElementAttr(ax, e, "me"));
  EXPECT_FALSE(ax::axElementAttr(ax, e, "list"));

  // Children keep only the element items, in order.
  EXPECT_EQ(sim.idsOf(ax::axChildren(sim.ax(), sim.element("p"), ax::AXChildren), {"a", "b", "p"}),
            (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(ax::axChildren(sim.ax(), sim.element("p"), "notArray").empty());
  EXPECT_TRUE(ax::axChildren(sim.ax(), sim.element("p"), ax::AXRows).empty());
}

TEST(Readers, FrameFromRectangleElsePositionAndSizeNeverPartial) {
  SimDesktopFixture sim(json::parse(R"({"elements": [
      {"id": "rect", "attrs": {"AXFrame": {"rect": [1, 2, 3, 4]}, "AXPosition": {"point": [9, 9]}, "AXSize": {"size": [9, 9]}}},
      {"id": "pair", "attrs": {"AXPosition": {"point": [5, 6]}, "AXSize": {"size": [-7, 8.5]}}},
      {"id": "pointFrame", "attrs": {"AXFrame": {"point": [0, 0]}, "AXPosition": {"point": [5, 6]}, "AXSize": {"size": [7, 8]}}},
      {"id": "positionOnly", "attrs": {"AXPosition": {"point": [5, 6]}}},
      {"id": "swapped", "attrs": {"AXPosition": {"size": [5, 6]}, "AXSize": {"point": [7, 8]}}}]})"));
  auto frame = [&](const char* id) { return ax::axFrame(sim.ax(), sim.element(id)); };

  EXPECT_EQ(frameDictionary(*frame("rect")), json::parse(R"({"x": 1.0, "y": 2.0, "w": 3.0, "h": 4.0})"));
  sim.stats();
  EXPECT_EQ(frameDictionary(*frame("pair")), json::parse(R"({"x": 5.0, "y": 6.0, "w": -7.0, "h": 8.5})"));
  EXPECT_EQ(sim.stats()["reads"], 3);
  EXPECT_EQ(frame("pointFrame")->width, 7);
  EXPECT_FALSE(frame("positionOnly"));
  EXPECT_FALSE(frame("swapped"));
}

const json focusScene = json::parse(R"({
  "frontmost": {"pid": 10, "bundleId": "com.example.mail"},
  "applications": [
    {"pid": 10, "id": "mail", "attrs": {"AXFocusedUIElement": {"ref": "mail-field"}},
     "windows": [{"id": "inbox", "attrs": {"AXRole": "AXWindow", "AXTitle": "Inbox"}},
                 {"id": "draft", "attrs": {"AXRole": "AXWindow", "AXTitle": "Draft"}, "children": [{"id": "mail-field"}]}]},
    {"pid": 20, "id": "notes", "attrs": {"AXFocusedUIElement": {"ref": "notes-field"}},
     "children": [{"id": "notes-field"}]}]})");

bool same(SimDesktopFixture& sim, const std::optional<ax::Element>& element, const char* id) {
  return element && sim.ax().isSameElement(*element, sim.element(id));
}

TEST(ResolveFocusedElement, TriesSystemWideThenFocusedApplicationThenFrontmost) {
  json scene = focusScene;
  scene["systemWide"] = {{"attrs", {{ax::AXFocusedUIElement, {{"ref", "notes-field"}}}}}};
  SimDesktopFixture systemWide(scene);
  EXPECT_TRUE(same(systemWide, ax::resolveFocusedElement(systemWide.ax()), "notes-field"));  // other app is fine

  scene["systemWide"] = {{"attrs", {{ax::AXFocusedUIElement, {{"error", "x"}}}, {ax::AXFocusedApplication, {{"ref", "notes"}}}}}};
  SimDesktopFixture focusedApplication(scene);
  EXPECT_TRUE(same(focusedApplication, ax::resolveFocusedElement(focusedApplication.ax()), "notes-field"));

  scene["systemWide"] = {{"attrs", {{ax::AXFocusedApplication, "not an element"}}}};
  SimDesktopFixture frontmost(scene);
  EXPECT_TRUE(same(frontmost, ax::resolveFocusedElement(frontmost.ax()), "mail-field"));

  scene.erase("frontmost");
  SimDesktopFixture nothing(scene);
  EXPECT_FALSE(ax::resolveFocusedElement(nothing.ax()));
}

TEST(FrontmostWindow, PrefersTheFocusedWindowThenTheFirstWithItsTitleIfText) {
  json scene = focusScene;
  SimDesktopFixture firstWindow(scene);
  auto front = ax::frontmostWindow(firstWindow.ax());
  EXPECT_TRUE(same(firstWindow, front.window, "inbox"));
  EXPECT_EQ(front.title, "Inbox");
  EXPECT_EQ(front.bundleId, "com.example.mail");

  scene["applications"][0]["attrs"][ax::AXFocusedWindow] = {{"ref", "draft"}};
  SimDesktopFixture focused(scene);
  front = ax::frontmostWindow(focused.ax());
  EXPECT_TRUE(same(focused, front.window, "draft"));
  EXPECT_EQ(front.title, "Draft");

  // A title that is no text is none; the window still counts. (Without a window or
  // an application: the commands' own tests.)
  scene = focusScene;
  scene["applications"][0]["windows"][0]["attrs"][ax::AXTitle] = true;
  scene["applications"][0]["windows"][1]["attrs"][ax::AXRole] = ax::AXSheet;
  SimDesktopFixture untitled(scene);
  front = ax::frontmostWindow(untitled.ax());
  EXPECT_TRUE(same(untitled, front.window, "inbox"));
  EXPECT_FALSE(front.title);
}

json node(const std::string& id, const std::string& role, json children = nullptr) {
  json built = withId(element(role), id);
  return children.is_null() ? built : withChildren(built, std::move(children));
}

TEST(CollectByRole, WalksInDocumentOrderAndStillDescendsBelowUnreadableRoles) {
  const json mystery = {{"id", "mystery"},
                        {"attrs", {{ax::AXRole, {{"error", "gone"}}}}},
                        {"children", json::array({node("inner-grid", ax::AXGrid)})}};
  SimDesktopFixture fixture(windowScene({node("table", ax::AXTable, {node("list", ax::AXList), node("cell", ax::AXCell)}),
                                         mystery, node("outline", ax::AXOutline)}));
  std::vector<Element> found;
  int budget = 100;
  ax::collectByRole(fixture.ax(), fixture.element("window"), {ax::AXTable, ax::AXList, ax::AXGrid, ax::AXOutline}, 0, 25,
                    budget, found);
  EXPECT_EQ(fixture.idsOf(found, {"table", "list", "inner-grid", "outline", "cell", "mystery"}),
            (std::vector<std::string>{"table", "list", "inner-grid", "outline"}));
  EXPECT_EQ(budget, 100 - 7);  // every examined element costs one unit, matching or not
}

}  // namespace
}  // namespace morvel
