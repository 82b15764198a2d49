// "element-at" and "focused", with the upward search for a named element.

#include "accessibility/AXNames.h"
#include "commands/ElementCommands.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

// A window whose hit tests are explicit, so that each case names the hit element.
json sceneWithHits(const json& windowChildren, const json& hits) {
  json scene = json::parse(R"({"frontmost": {"pid": 1}, "applications": [{"pid": 1, "windows": [
      {"id": "window", "attrs": {"AXRole": "AXWindow", "AXTitle": "Main", "AXFrame": {"rect": [0, 0, 400, 400]}}}]}]})");
  scene["applications"][0]["windows"][0]["children"] = windowChildren;
  scene["hitTest"] = hits;
  return scene;
}

json hitAt(const char* id) { return json::array({{{"rect", {0, 0, 400, 400}}, {"element", id}}}); }

TEST(ElementAt, DescribesTheNamedElementAroundAnUnnamedHit) {
  SimDesktopFixture sim(sceneWithHits(json::parse(R"([
      {"id": "button", "attrs": {"AXRole": "AXButton", "AXDescription": "Send", "AXTitle": "", "AXEnabled": true,
        "AXFrame": {"rect": [10, 10, 80, 24]}, "AXValue": 0},
       "children": [{"id": "label", "attrs": {"AXRole": "AXStaticText", "AXTitle": "  "}}]}])"),
                                      hitAt("label")));
  json reply = cmdElementAt(sim.platform(), 20, 20);
  EXPECT_EQ(reply, json::parse(R"({"found": true, "role": "AXButton", "title": "", "description": "Send", "value": "0",
                                   "enabled": true, "frame": {"x": 10.0, "y": 10.0, "w": 80.0, "h": 24.0}})"));
  EXPECT_EQ(sim.stats()["hitTests"], 1);
}

TEST(ElementAt, StopsAtContainersAndDescribesTheHitItself) {
  // The scroll area is titled, but containers are never chosen.
  SimDesktopFixture scroll(sceneWithHits(json::parse(R"([
      {"attrs": {"AXRole": "AXScrollArea", "AXTitle": "Files"},
       "children": [{"id": "cell", "attrs": {"AXRole": "AXCell", "AXEnabled": "yes"}}]}])"),
                                         hitAt("cell")));
  EXPECT_EQ(cmdElementAt(scroll.platform(), 5, 5), json::parse(R"({"found": true, "role": "AXCell", "enabled": false})"));

  // A window hit directly is described: the starting element is never tested against the stop roles.
  SimDesktopFixture window(sceneWithHits(json::array(), hitAt("window")));
  EXPECT_EQ(cmdElementAt(window.platform(), 5, 5)["title"], "Main");
}

TEST(ElementAt, ABlankDescriptionHidesTheTitleAndTheSearchGoesUp) {
  SimDesktopFixture sim(sceneWithHits(json::parse(R"([
      {"attrs": {"AXRole": "AXGroup", "AXTitle": "Outer"},
       "children": [{"id": "inner", "attrs": {"AXRole": "AXImage", "AXDescription": " ", "AXTitle": "Inner"}}]}])"),
                                      hitAt("inner")));
  EXPECT_EQ(cmdElementAt(sim.platform(), 5, 5)["title"], "Outer");
}

TEST(ElementAt, LooksAtMostFourLevelsUp) {
  auto chain = [](int unnamedLevels) {
    json element = {{"id", "hit"}, {"attrs", {{ax::AXRole, ax::AXImage}}}};
    for (int level = 1; level < unnamedLevels; ++level) element = {{"attrs", {{ax::AXRole, ax::AXGroup}}}, {"children", {element}}};
    return json::array({{{"attrs", {{ax::AXRole, ax::AXGroup}, {ax::AXTitle, "Named"}}}, {"children", {element}}}});
  };
  SimDesktopFixture fourUp(sceneWithHits(chain(4), hitAt("hit")));
  EXPECT_EQ(cmdElementAt(fourUp.platform(), 5, 5)["title"], "Named");

  SimDesktopFixture fiveUp(sceneWithHits(chain(5), hitAt("hit")));
  EXPECT_EQ(cmdElementAt(fiveUp.platform(), 5, 5)["role"], ax::AXImage);
}

TEST(ElementAt, NothingUnderThePointIsNotFound) {
  SimDesktopFixture sim(sceneWithHits(json::array(), json::parse(R"([{"rect": [0, 0, 10, 10], "fail": true}])")));
  EXPECT_EQ(cmdElementAt(sim.platform(), 5, 5), json::parse(R"({"found": false})"));
  EXPECT_EQ(cmdElementAt(sim.platform(), 500, 500), json::parse(R"({"found": false})"));
  // Coordinates beyond single precision saturate instead of overflowing.
  EXPECT_EQ(cmdElementAt(sim.platform(), 1e300, -1e300), json::parse(R"({"found": false})"));
}

TEST(EnclosingNamed, NegativeLevelsReadNothing) {
  SimDesktopFixture sim(sceneWithHits(json::array(), json::array()));
  sim.stats();
  ax::Element window = sim.element("window");
  EXPECT_TRUE(sim.ax().isSameElement(enclosingNamed(sim.ax(), window, -1), window));
  EXPECT_EQ(sim.stats()["reads"], 0);
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
