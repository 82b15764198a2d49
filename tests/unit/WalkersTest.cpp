#include "accessibility/Walkers.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace morvel {
namespace {

using ax::Element;
using nlohmann::json;
using testing::SimDesktopFixture;

json desktopWithWindow(json windowChildren) {
  return {{"frontmost", {{"pid", 7}}},
          {"applications",
           {{{"pid", 7},
             {"windows",
              {{{"id", "window"},
                {"attrs", {{"AXRole", "AXWindow"}}},
                {"children", std::move(windowChildren)}}}}}}}};
}

json element(const std::string& id, const std::string& role, json children = nullptr) {
  json node = {{"id", id}, {"attrs", {{"AXRole", role}}}};
  if (!children.is_null()) node["children"] = std::move(children);
  return node;
}

// Groups nested `levels` deep under the window, "level-1" ... "level-N", each
// of the given role at the depth the role function picks.
json nestedChain(int levels, const std::function<std::string(int)>& roleAtDepth) {
  json innermost = element("level-" + std::to_string(levels), roleAtDepth(levels));
  for (int depth = levels - 1; depth >= 1; --depth) {
    innermost = element("level-" + std::to_string(depth), roleAtDepth(depth), json::array({innermost}));
  }
  return json::array({innermost});
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
  SimDesktopFixture fixture(desktopWithWindow({
      element("a", "AXButton"), element("group", "AXGroup", {element("b", "AXButton"), element("c", "AXButton")}),
      element("d", "AXButton")}));
  const Element window = fixture.element("window");
  const ax::RoleSet buttons = {"AXButton"};
  fixture.stats();
  auto firstTwo = ax::collectFirstByRole(fixture.ax(), window, buttons, 35, 9000, 2);
  const auto readsForTwo = fixture.stats()["reads"].get<int>();
  EXPECT_EQ(idsOf(fixture, firstTwo, {"a", "b", "c", "d"}), (std::vector<std::string>{"a", "b"}));
  // Role and children of the window, a and the group, then b's role: c and d are never read.
  EXPECT_EQ(readsForTwo, 7);

  auto all = ax::collectFirstByRole(fixture.ax(), window, buttons, 35, 9000, 10);
  EXPECT_EQ(idsOf(fixture, all, {"a", "b", "c", "d"}), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_TRUE(ax::collectFirstByRole(fixture.ax(), window, buttons, 35, 9000, 0).empty());
}

TEST(CollectByRole, WalksInDocumentOrderAndStillDescendsBelowUnreadableRoles) {
  SimDesktopFixture fixture(desktopWithWindow({
      element("table", "AXTable", {element("list", "AXList"), element("cell", "AXCell")}),
      {{"id", "mystery"},
       {"attrs", {{"AXRole", {{"error", "gone"}}}}},
       {"children", {element("inner-grid", "AXGrid")}}},
      element("outline", "AXOutline"),
  }));
  std::vector<Element> found;
  int budget = 100;
  ax::collectByRole(fixture.ax(), fixture.element("window"), {"AXTable", "AXList", "AXGrid", "AXOutline"}, 0, 25,
                    budget, found);
  EXPECT_EQ(idsOf(fixture, found, {"table", "list", "inner-grid", "outline", "cell", "mystery"}),
            (std::vector<std::string>{"table", "list", "inner-grid", "outline"}));
  EXPECT_EQ(budget, 100 - 7);  // every examined element costs one unit, matching or not
}

TEST(CollectByRole, BudgetOfOneExaminesOnlyTheStartAndSpentBudgetLeavesLaterSiblingsAlone) {
  SimDesktopFixture fixture(desktopWithWindow({
      element("big", "AXGroup", {element("g1", "AXGroup"), element("g2", "AXGroup"), element("g3", "AXGroup")}),
      element("late-table", "AXTable"),
  }));
  std::vector<Element> found;
  int budget = 1;
  fixture.stats();
  ax::collectByRole(fixture.ax(), fixture.element("window"), {"AXWindow", "AXTable"}, 0, 25, budget, found);
  EXPECT_EQ(idsOf(fixture, found, {"window"}), std::vector<std::string>{"window"});
  EXPECT_EQ(budget, 0);
  EXPECT_EQ(fixture.stats()["reads"], 1);  // nothing below could be examined, so nothing below is read

  // Five units: the window and the first subtree use them all; the table directly
  // under the window is never reached, however shallow.
  found.clear();
  budget = 5;
  ax::collectByRole(fixture.ax(), fixture.element("window"), {"AXTable"}, 0, 25, budget, found);
  EXPECT_TRUE(found.empty());
  budget = 6;
  ax::collectByRole(fixture.ax(), fixture.element("window"), {"AXTable"}, 0, 25, budget, found);
  EXPECT_EQ(idsOf(fixture, found, {"late-table"}), std::vector<std::string>{"late-table"});

  // Nothing at all is read with an empty budget or a start beyond the depth limit.
  found.clear();
  fixture.stats();
  budget = 0;
  ax::collectByRole(fixture.ax(), fixture.element("window"), {"AXWindow"}, 0, 25, budget, found);
  budget = 10;
  ax::collectByRole(fixture.ax(), fixture.element("window"), {"AXWindow"}, 26, 25, budget, found);
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(budget, 10);
  EXPECT_EQ(fixture.stats()["reads"], 0);
}

TEST(CollectByRole, ExaminesAnElementAtMaxDepthButNotItsChildren) {
  constexpr int maxDepth = 35;
  SimDesktopFixture fixture(desktopWithWindow(nestedChain(maxDepth + 1, [](int) { return "AXButton"; })));
  std::vector<Element> found;
  int budget = 9000;
  fixture.stats();
  ax::collectByRole(fixture.ax(), fixture.element("window"), {"AXButton"}, 0, maxDepth, budget, found);
  ASSERT_EQ(found.size(), static_cast<std::size_t>(maxDepth));
  EXPECT_TRUE(fixture.ax().isSameElement(found.back(), fixture.element("level-35")));
  EXPECT_EQ(budget, 9000 - (maxDepth + 1));
  // A role for each of the 36 examined elements; no children read at the limit.
  EXPECT_EQ(fixture.stats()["reads"], (maxDepth + 1) + maxDepth);
}

TEST(CollectByRole, ExaminesExactlyTheBudgetInPreOrderWithAtMostTwoReadsEach) {
  constexpr int budgetUnits = 9000;
  // The window is examined first, so the child at position 8999 is the last one examined.
  json children = json::array();
  for (int i = 0; i < budgetUnits - 2; ++i) children.push_back(element("filler-" + std::to_string(i), "AXGroup"));
  children.push_back(element("last-examined", "AXButton"));
  children.push_back(element("first-unexamined", "AXButton"));
  SimDesktopFixture fixture(desktopWithWindow(children));

  std::vector<Element> found;
  int budget = budgetUnits;
  fixture.stats();
  ax::collectByRole(fixture.ax(), fixture.element("window"), {"AXButton"}, 0, 35, budget, found);
  EXPECT_EQ(idsOf(fixture, found, {"last-examined", "first-unexamined"}), std::vector<std::string>{"last-examined"});
  EXPECT_EQ(budget, 0);
  const auto reads = fixture.stats()["reads"].get<int>();
  EXPECT_LE(reads, 2 * budgetUnits);
  EXPECT_GE(reads, budgetUnits);
}

json cell(json attrs, json children = nullptr) {
  json node = {{"id", "cell"}, {"attrs", std::move(attrs)}};
  if (!children.is_null()) node["children"] = std::move(children);
  return desktopWithWindow({node});
}

std::optional<std::string> cellText(SimDesktopFixture& fixture, int budget = 60) {
  return ax::firstValueInSubtree(fixture.ax(), fixture.element("cell"), 0, budget);
}

TEST(FirstValueInSubtree, TakesTheFirstNonEmptyValueOrTitleInPreOrder) {
  SimDesktopFixture emptyValue(cell({{"AXValue", ""}, {"AXTitle", "Name"}}));
  EXPECT_EQ(cellText(emptyValue), "Name");

  SimDesktopFixture zero(cell({{"AXValue", 0}, {"AXTitle", "Name"}}));
  EXPECT_EQ(cellText(zero), "0");

  SimDesktopFixture blank(cell({{"AXValue", " "}}, {{{"attrs", {{"AXTitle", "deeper"}}}}}));
  EXPECT_EQ(cellText(blank), " ");

  SimDesktopFixture siblings(cell({{"AXValue", {{"error", "no"}}}},
                                  {{{"children", {{{"attrs", {{"AXTitle", "first, deeper"}}}}}}},
                                   {{"attrs", {{"AXValue", "second, shallower"}}}}}));
  EXPECT_EQ(cellText(siblings), "first, deeper");
}

// A cell whose only text lies `levels` below it.
json textBelow(int levels) {
  json node = {{"attrs", {{"AXTitle", "deep"}}}};
  for (int i = 1; i < levels; ++i) node = {{"attrs", json::object()}, {"children", {node}}};
  return cell(json::object(), {node});
}

TEST(FirstValueInSubtree, SearchesFourLevelsBelowTheStartAndNoFurther) {
  SimDesktopFixture fourBelow(textBelow(4));
  EXPECT_EQ(cellText(fourBelow), "deep");
  SimDesktopFixture fiveBelow(textBelow(5));
  EXPECT_EQ(cellText(fiveBelow), std::nullopt);
}

TEST(FirstValueInSubtree, SpendsOneUnitPerExaminedElement) {
  // 59 empty children: the cell and them use 59 + 1 units; a text on the 60th element
  // in pre-order is found, one on the 61st is not.
  auto cellWithTextAt = [](int position) {
    json children = json::array();
    for (int i = 2; i < position; ++i) children.push_back({{"attrs", {{"AXValue", ""}}}});
    children.push_back({{"attrs", {{"AXValue", "late"}}}});
    return cell({{"AXValue", ""}}, children);
  };
  SimDesktopFixture sixtieth(cellWithTextAt(60));
  EXPECT_EQ(cellText(sixtieth), "late");
  SimDesktopFixture sixtyFirst(cellWithTextAt(61));
  EXPECT_EQ(cellText(sixtyFirst), std::nullopt);

  int budget = 0;
  EXPECT_EQ(ax::firstValueInSubtree(sixtieth.ax(), sixtieth.element("cell"), 0, budget), std::nullopt);
  budget = 3;
  EXPECT_EQ(ax::firstValueInSubtree(sixtieth.ax(), sixtieth.element("cell"), 5, budget), std::nullopt);
  EXPECT_EQ(budget, 3);
}

}  // namespace
}  // namespace morvel
