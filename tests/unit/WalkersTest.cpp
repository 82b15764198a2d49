// The bounded walks below an element. Their limits as each command sets them are
// checked with the commands; here, what a walk examines and reads.

#include "accessibility/AXNames.h"
#include "accessibility/Walkers.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

using ax::Element;
using testing::element;
using testing::json;
using testing::SimDesktopFixture;
using testing::windowScene;
using testing::withChildren;
using testing::withId;

json node(const std::string& id, const std::string& role, json children = nullptr) {
  json built = withId(element(role), id);
  return children.is_null() ? built : withChildren(built, std::move(children));
}

std::vector<std::string> idsOf(SimDesktopFixture& fixture, const std::vector<Element>& elements,
                               const std::vector<std::string>& candidates) {
  std::vector<std::string> ids;
  for (const Element& found : elements) {
    for (const std::string& id : candidates) {
      if (fixture.ax().isSameElement(found, fixture.element(id))) ids.push_back(id);
    }
  }
  return ids;
}

TEST(CollectFirstByRole, EndsTheWalkAtItsLimitWithTheSameFirstMatches) {
  SimDesktopFixture fixture(windowScene({node("a", ax::AXButton),
                                         node("group", ax::AXGroup, {node("b", ax::AXButton), node("c", ax::AXButton)}),
                                         node("d", ax::AXButton)}));
  const Element window = fixture.element("window");
  const ax::RoleSet buttons = {ax::AXButton};
  fixture.stats();
  auto firstTwo = ax::collectFirstByRole(fixture.ax(), window, buttons, 35, 9000, 2);
  EXPECT_EQ(idsOf(fixture, firstTwo, {"a", "b", "c", "d"}), (std::vector<std::string>{"a", "b"}));
  // Role and children of the window, a and the group, then b's role: c and d are never read.
  EXPECT_EQ(fixture.stats()["reads"], 7);

  auto all = ax::collectFirstByRole(fixture.ax(), window, buttons, 35, 9000, 10);
  EXPECT_EQ(idsOf(fixture, all, {"a", "b", "c", "d"}), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_TRUE(ax::collectFirstByRole(fixture.ax(), window, buttons, 35, 9000, 0).empty());
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
  EXPECT_EQ(idsOf(fixture, found, {"table", "list", "inner-grid", "outline", "cell", "mystery"}),
            (std::vector<std::string>{"table", "list", "inner-grid", "outline"}));
  EXPECT_EQ(budget, 100 - 7);  // every examined element costs one unit, matching or not
}

TEST(CollectByRole, SpendsOneUnitPerElementInPreOrderAndStopsAtTheDepthLimit) {
  SimDesktopFixture fixture(windowScene({
      node("big", ax::AXGroup, {node("g1", ax::AXGroup), node("g2", ax::AXGroup), node("g3", ax::AXGroup)}),
      node("late-table", ax::AXTable),
  }));
  const Element window = fixture.element("window");
  auto collect = [&](const ax::RoleSet& roles, int depth, int maxDepth, int& budget) {
    std::vector<Element> found;
    ax::collectByRole(fixture.ax(), window, roles, depth, maxDepth, budget, found);
    return idsOf(fixture, found, {"window", "big", "g1", "late-table"});
  };
  // A budget of one examines the start alone and reads nothing below it.
  int budget = 1;
  fixture.stats();
  EXPECT_EQ(collect({ax::AXWindow, ax::AXTable}, 0, 25, budget), std::vector<std::string>{"window"});
  EXPECT_EQ(budget, 0);
  EXPECT_EQ(fixture.stats()["reads"], 1);
  // The window and the first subtree use five units; the shallow table needs a sixth.
  budget = 5;
  EXPECT_TRUE(collect({ax::AXTable}, 0, 25, budget).empty());
  budget = 6;
  EXPECT_EQ(collect({ax::AXTable}, 0, 25, budget), std::vector<std::string>{"late-table"});
  // An element at the depth limit is examined; its children are not read.
  budget = 100;
  fixture.stats();
  EXPECT_EQ(collect({ax::AXGroup, ax::AXTable}, 0, 1, budget), (std::vector<std::string>{"big", "late-table"}));
  EXPECT_EQ(budget, 100 - 3);
  EXPECT_EQ(fixture.stats()["reads"], 2 + 1 + 1);  // role and children of the window, the roles below
  // Nothing at all is read with an empty budget or a start beyond the depth limit.
  budget = 0;
  EXPECT_TRUE(collect({ax::AXWindow}, 0, 25, budget).empty());
  budget = 10;
  EXPECT_TRUE(collect({ax::AXWindow}, 26, 25, budget).empty());
  EXPECT_EQ(budget, 10);
  EXPECT_EQ(fixture.stats()["reads"], 0);
}

TEST(FirstValueInSubtree, GoesInPreOrderAndReadsNothingWithoutBudgetOrBelowItsDepth) {
  // The cell's own value is unreadable; the first text in pre-order is deeper than
  // a later sibling's. (Values, titles, depth and budget: SerializeRows in StructureTest.)
  const json deeper =
      withChildren(element(ax::AXGroup), json::array({element(ax::AXStaticText, {{ax::AXTitle, "first, deeper"}})}));
  json cell = withChildren(withId(element(ax::AXCell, {{ax::AXValue, {{"error", "no"}}}}), "cell"),
                           {deeper, element(ax::AXStaticText, {{ax::AXValue, "second, shallower"}})});
  SimDesktopFixture fixture(windowScene(json::array({cell})));
  int budget = 60;
  EXPECT_EQ(ax::firstValueInSubtree(fixture.ax(), fixture.element("cell"), 0, budget), "first, deeper");
  budget = 0;
  fixture.stats();
  EXPECT_EQ(ax::firstValueInSubtree(fixture.ax(), fixture.element("cell"), 0, budget), std::nullopt);
  budget = 3;
  EXPECT_EQ(ax::firstValueInSubtree(fixture.ax(), fixture.element("cell"), 5, budget), std::nullopt);
  EXPECT_EQ(budget, 3);
  EXPECT_EQ(fixture.stats()["reads"], 0);
}

}  // namespace
}  // namespace morvel
