#include "commands/RowSerialization.h"

#include "support/FormScene.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

using testing::element;
using testing::json;
using testing::nestedBelow;
using testing::rectValue;
using testing::SimDesktopFixture;
using testing::windowScene;
using testing::withChildren;
using testing::withId;

json refTo(const std::string& id) { return {{"ref", id}}; }

// A row of `role` whose only text is its title, without children.
json titled(const std::string& role, const std::string& title) { return element(role, {{"AXTitle", title}}); }

// The rows of a table with `tableAttrs` and `children` in the front window;
// `freeElements` belong to no tree.
json rowsOf(json tableAttrs, json children, json freeElements = json::array()) {
  json table = withId(withChildren(element("AXTable", std::move(tableAttrs)), std::move(children)), "table");
  SimDesktopFixture fixture(windowScene(json::array({std::move(table)}), std::move(freeElements)));
  return serializeRows(fixture.ax(), fixture.element("table"));
}

// The first cell value of each row, "-" where there is none.
std::vector<std::string> firstValues(const json& rows) {
  std::vector<std::string> values;
  for (const json& row : rows) values.push_back(row["cells"][0].value("value", "-"));
  return values;
}

std::vector<int> indices(const json& rows) {
  std::vector<int> result;
  for (const json& row : rows) result.push_back(row["index"]);
  return result;
}

TEST(SerializeRows, TakesTheRowsAttributeAsItStandsBeforeAnyChild) {
  const json rows = rowsOf({{"AXRows", json::array({refTo("b"), refTo("a")})}},
                           json::array({withId(titled("AXRow", "Child row"), "a")}),
                           json::array({withId(titled("AXGroup", "Listed group"), "b")}));
  EXPECT_EQ(firstValues(rows), (std::vector<std::string>{"Listed group", "Child row"}));
  EXPECT_EQ(indices(rows), (std::vector<int>{0, 1}));
}

TEST(SerializeRows, TakesOnlyChildrenWhoseRoleReadsExactlyAXRowWhenRowsAreMissingOrEmpty) {
  const json children = json::array({
      titled("AXRow", "first"),
      titled("AXCell", "cell"),
      titled("axrow", "lower case"),
      {{"attrs", {{"AXRole", {{"error", "unreadable"}}}, {"AXTitle", "no role"}}}},
      titled("AXRow", "second"),
  });
  const json withoutRows = rowsOf(json::object(), children);
  EXPECT_EQ(firstValues(withoutRows), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(indices(withoutRows), (std::vector<int>{0, 1}));
  EXPECT_EQ(firstValues(rowsOf({{"AXRows", json::array()}}, children)), (std::vector<std::string>{"first", "second"}));
  // An "AXRows" that is no array counts as empty too.
  EXPECT_EQ(firstValues(rowsOf({{"AXRows", "rows"}}, children)), (std::vector<std::string>{"first", "second"}));
}

TEST(SerializeRows, TakesAllChildrenWhenNoneIsARow) {
  const json rows = rowsOf(json::object(), json::array({titled("axrow", "one"), titled("AXRow ", "two"),
                                                        element("AXCell", {{"AXValue", 3}}), element("AXGroup")}));
  EXPECT_EQ(firstValues(rows), (std::vector<std::string>{"one", "two", "3", "-"}));
  EXPECT_EQ(indices(rows), (std::vector<int>{0, 1, 2, 3}));

  EXPECT_EQ(rowsOf(json::object(), json::array()), json::array());
  SimDesktopFixture bare(windowScene(json::array({withId(element("AXList"), "list")})));
  EXPECT_EQ(serializeRows(bare.ax(), bare.element("list")), json::array());
}

TEST(SerializeRows, DescribesARowWithoutChildrenAsItsOwnSingleCell) {
  const json frame = rectValue(0, 24, 400, 24);
  const json rows = rowsOf(json::object(), json::array({
      element("AXRow", {{"AXValue", "Inbox"}, {"AXFrame", frame}}),
      withChildren(element("AXRow", {{"AXTitle", "Empty children"}}), json::array()),
  }));
  const json frameRecord = {{"x", 0.0}, {"y", 24.0}, {"w", 400.0}, {"h", 24.0}};
  EXPECT_EQ(rows[0], json({{"index", 0},
                           {"cells", json::array({{{"role", "AXRow"}, {"value", "Inbox"}, {"frame", frameRecord}}})},
                           {"frame", frameRecord}}));
  EXPECT_EQ(rows[1], json({{"index", 1}, {"cells", json::array({{{"role", "AXRow"}, {"value", "Empty children"}}})}}));
}

TEST(SerializeRows, DescribesEachCellByRoleValueAndFrameLeavingOutWhatCannotBeRead) {
  const json rows = rowsOf(json::object(), json::array({withChildren(element("AXRow"), json::array({
      element("AXCell", {{"AXPosition", {{"point", {10, 20}}}}, {"AXSize", {{"size", {30, 40}}}}}),
      json::object(),
      element("AXCell", {{"AXFrame", "not a rectangle"}}),
  }))}));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].contains("frame"));
  EXPECT_EQ(rows[0]["cells"], json::array({
      {{"role", "AXCell"}, {"frame", {{"x", 10.0}, {"y", 20.0}, {"w", 30.0}, {"h", 40.0}}}},
      json::object(),
      {{"role", "AXCell"}},
  }));
}

// One cell: `blanks` children without any text, then a child titled "late".
json cellWithTextAfter(int blanks) {
  json children = json::array();
  for (int i = 0; i < blanks; ++i) children.push_back(element("AXImage"));
  children.push_back(titled("AXStaticText", "late"));
  return withChildren(element("AXCell"), std::move(children));
}

TEST(SerializeRows, GivesEachCellTheFirstValueOrTitleOfItsSubtree) {
  const json cells = json::array({
      element("AXCell", {{"AXValue", "value"}, {"AXTitle", "title"}}),
      element("AXCell", {{"AXValue", ""}, {"AXTitle", "Name"}}),
      withChildren(element("AXCell", {{"AXValue", " "}}), json::array({titled("AXStaticText", "deeper")})),
      element("AXCell", {{"AXValue", 0}}),
      withChildren(element("AXCell"), json::array({nestedBelow(3, titled("AXStaticText", "four down"))})),
      withChildren(element("AXCell"), json::array({nestedBelow(4, titled("AXStaticText", "five down"))})),
      // The cell itself and 59 blanks spend the budget of 60 before "late" is reached...
      cellWithTextAfter(59),
      // ...which is set afresh for the next cell, where "late" is the 60th element examined.
      cellWithTextAfter(58),
  });
  const json rows = rowsOf(json::object(), json::array({withChildren(element("AXRow"), cells)}));
  std::vector<std::string> values;
  for (const json& cell : rows[0]["cells"]) values.push_back(cell.value("value", "-"));
  EXPECT_EQ(values, (std::vector<std::string>{"value", "Name", " ", "0", "four down", "-", "-", "late"}));
}

TEST(SerializeRows, KeepsTheFirst200RowsAndTheFirst40CellsOfEachRow) {
  json rowRefs = json::array();
  json freeRows = json::array();
  for (int i = 0; i < 250; ++i) {
    json cells = json::array();
    for (int c = 0; c < 50; ++c) cells.push_back(titled("AXCell", std::to_string(i) + "." + std::to_string(c)));
    freeRows.push_back(withId(withChildren(element("AXRow"), std::move(cells)), "row-" + std::to_string(i)));
    rowRefs.push_back(refTo("row-" + std::to_string(i)));
  }
  const json rows = rowsOf({{"AXRows", rowRefs}}, json::array(), freeRows);
  ASSERT_EQ(rows.size(), 200u);
  EXPECT_EQ(rows[199]["index"], 199);
  ASSERT_EQ(rows[199]["cells"].size(), 40u);
  EXPECT_EQ(rows[199]["cells"][39]["value"], "199.39");
}

TEST(SerializeRows, StopsReadingRoleOfChildrenOnceItHas200Rows) {
  auto readsFor = [](int children) {
    json rows = json::array();
    for (int i = 0; i < children; ++i) rows.push_back(titled("AXRow", std::to_string(i)));
    json table = withId(withChildren(element("AXTable"), std::move(rows)), "table");
    SimDesktopFixture fixture(windowScene(json::array({std::move(table)})));
    fixture.stats();
    const json serialized = serializeRows(fixture.ax(), fixture.element("table"));
    EXPECT_EQ(serialized.size(), 200u);
    EXPECT_EQ(serialized.back()["cells"][0]["value"], "199");
    return fixture.stats()["reads"].get<int>();
  };
  EXPECT_EQ(readsFor(300), readsFor(201));
}

}  // namespace
}  // namespace morvel
