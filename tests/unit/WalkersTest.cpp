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
