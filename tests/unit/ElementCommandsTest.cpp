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

// `hit` below `unnamedLevels - 1` untitled groups, below `top`.
json chainBelow(json top, int unnamedLevels, json hit) {
  for (int level = 1; level < unnamedLevels; ++level) hit = {{"attrs", {{ax::AXRole, ax::AXGroup}}}, {"children", {hit}}};
  top["children"] = json::array({std::move(hit)});
  return json::array({std::move(top)});
}

TEST(ElementAt, ClimbsAtMostFourLevelsToANamedElementButNeverIntoAContainer) {
  const json image = {{"id", "hit"}, {"attrs", {{ax::AXRole, ax::AXImage}}}};
  const json named = {{"attrs", {{ax::AXRole, ax::AXGroup}, {ax::AXTitle, "Named"}}}};
  const json blank = {{"id", "hit"}, {"attrs", {{ax::AXRole, ax::AXImage}, {ax::AXDescription, " "}, {ax::AXTitle, "Inner"}}}};
  const json scroll = {{"attrs", {{ax::AXRole, ax::AXScrollArea}, {ax::AXTitle, "Files"}}}};
  const json cell = {{"id", "hit"}, {"attrs", {{ax::AXRole, ax::AXCell}, {ax::AXEnabled, "yes"}}}};
  const struct {
    json children;
    const char* hit;
    json reply;
  } cases[] = {
      {chainBelow(named, 4, image), "hit", {{"found", true}, {"role", ax::AXGroup}, {"title", "Named"}, {"enabled", false}}},
      {chainBelow(named, 5, image), "hit", {{"found", true}, {"role", ax::AXImage}, {"enabled", false}}},
      // A blank description hides the title, so the search goes on up.
      {chainBelow(named, 1, blank), "hit", {{"found", true}, {"role", ax::AXGroup}, {"title", "Named"}, {"enabled", false}}},
      // Containers are never chosen, however they are titled...
      {chainBelow(scroll, 1, cell), "hit", {{"found", true}, {"role", ax::AXCell}, {"enabled", false}}},
      // ...but a hit on one is described: the start is never tested against them.
      {json::array(), "window", {{"found", true}, {"role", ax::AXWindow}, {"title", "Main"}, {"enabled", false},
                                 {"frame", {{"x", 0.0}, {"y", 0.0}, {"w", 400.0}, {"h", 400.0}}}}},
  };
  for (const auto& c : cases) {
    SimDesktopFixture sim(sceneWithHits(c.children, hitAt(c.hit)));
    EXPECT_EQ(cmdElementAt(sim.platform(), 5, 5), c.reply) << c.children;
  }
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
