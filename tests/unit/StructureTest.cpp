// "structure": the add control of a window, its rows as records, the rows of
// recognised text, and the command that chooses between them.

#include "accessibility/AXNames.h"
#include "accessibility/ForwardingAccessibility.h"
#include "commands/AddAffordance.h"
#include "commands/RowSerialization.h"
#include "commands/StructureCommand.h"
#include "commands/StructureViaOcr.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace morvel {
namespace {

using namespace testing;  // the scene builders

// An element of `role` whose only text is its title, without children.
json titled(const std::string& role, const std::string& title) { return element(role, {{ax::AXTitle, title}}); }

std::optional<json> affordanceIn(json windowChildren) {
  SimDesktopFixture fixture(windowScene(std::move(windowChildren)));
  return findAddAffordance(fixture.ax(), fixture.element("window"));
}

// The "title" found for one button with these attributes, "-" when it does not match.
std::string titleFor(json attrs, const std::string& role = ax::AXButton) {
  auto found = affordanceIn(json::array({element(role, std::move(attrs))}));
  return found ? found->at("title").get<std::string>() : "-";
}

TEST(FindAddAffordance, MatchesTheFourWordsWholeAnyPlusAndALonePlusSign) {
  for (const char* text : {"New Item", "Add Contact", "ADD", "Insert", "create", "new-entry", "new.entry", "PLUS",
                           "Surplus", "+", "  +  ", "\t+\n"}) {
    EXPECT_EQ(titleFor({{ax::AXTitle, text}}), text);
  }
  for (const char* text : {"Addition", "Adder", "Renew", "Address", "Added", "inserted", "++", "a +", "+ more",
                           "Open\n+", "add_row", "Delete", ""}) {
    EXPECT_EQ(titleFor({{ax::AXTitle, text}}), "-") << text;
  }
}

TEST(FindAddAffordance, SearchesTitleDescriptionAndHelpJoinedBySingleSpaces) {
  // No title: the joined text of those present is the title, without a separator for the absent one.
  EXPECT_EQ(titleFor({{ax::AXDescription, "Create"}}), "Create");
  EXPECT_EQ(titleFor({{ax::AXDescription, "Tool"}, {ax::AXHelp, "Adds a new row"}}), "Tool Adds a new row");
  EXPECT_EQ(titleFor({{ax::AXDescription, ""}, {ax::AXHelp, "New"}}), " New");
  EXPECT_EQ(titleFor({{ax::AXDescription, "New"}, {ax::AXHelp, ""}}), "New ");
  // A present title wins even when empty; it still takes its place in the joined text.
  EXPECT_EQ(titleFor({{ax::AXTitle, ""}, {ax::AXDescription, "Add"}}), "");
  EXPECT_EQ(titleFor({{ax::AXTitle, ""}, {ax::AXDescription, "+"}}), "");
  EXPECT_EQ(titleFor({{ax::AXTitle, "Go"}, {ax::AXHelp, "Plus"}}), "Go");
  EXPECT_EQ(titleFor({{ax::AXTitle, 5}, {ax::AXHelp, "new"}}), "5");
  // Joined, a lone plus sign no longer stands alone.
  EXPECT_EQ(titleFor({{ax::AXTitle, "Go"}, {ax::AXDescription, "+"}}), "-");
  EXPECT_EQ(titleFor({{ax::AXDescription, "Tool"}, {ax::AXHelp, "+"}}), "-");
  EXPECT_EQ(titleFor({{ax::AXTitle, {{"error", "unreadable"}}}, {ax::AXDescription, "Delete"}}), "-");
}

TEST(FindAddAffordance, DescribesTheFirstMatchingButtonInPreOrderWithItsFrame) {
  auto found = affordanceIn(json::array({
      element(ax::AXStaticText, {{ax::AXValue, "Add"}, {ax::AXTitle, "Add"}}),
      element(ax::AXLink, {{ax::AXTitle, "Add"}}),
      element("axbutton", {{ax::AXTitle, "Add"}}),
      group(json::array({element(ax::AXMenuButton, {{ax::AXTitle, "Save"}}),
                         element(ax::AXPopUpButton, {{ax::AXTitle, "New"}, {ax::AXFrame, rectValue(10, 20, 30, 40)}})})),
      element(ax::AXButton, {{ax::AXTitle, "Add"}, {ax::AXFrame, rectValue(0, 0, 5, 5)}}),
  }));
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, json({{"title", "New"}, {"frame", {{"x", 10.0}, {"y", 20.0}, {"w", 30.0}, {"h", 40.0}}}}));

  EXPECT_EQ(titleFor({{ax::AXTitle, "New"}}, ax::AXMenuButton), "New");
  EXPECT_FALSE(affordanceIn(json::array({element(ax::AXButton, {{ax::AXTitle, "Save"}}),
                                         element(ax::AXButton, {{ax::AXTitle, "Cancel"}})})));
}

json refTo(const std::string& id) { return {{"ref", id}}; }

// The rows of a table with `tableAttrs` and `children` in the front window;
// `freeElements` belong to no tree.
json rowsOf(json tableAttrs, json children, json freeElements = json::array()) {
  json table = withId(withChildren(element(ax::AXTable, std::move(tableAttrs)), std::move(children)), "table");
  SimDesktopFixture fixture(windowScene(json::array({std::move(table)}), std::move(freeElements)));
  return serializeRows(fixture.ax(), fixture.element("table"));
}

// The index and first cell value of each row, "-" where there is no value.
std::vector<std::string> indexedValues(const json& rows) {
  std::vector<std::string> values;
  for (const json& row : rows) values.push_back(row["index"].dump() + " " + row["cells"][0].value("value", "-"));
  return values;
}

TEST(SerializeRows, TakeTheRowsAttributeElseChildrenReadingExactlyAXRowElseAllChildren) {
  using Values = std::vector<std::string>;
  const json listed = json::array({withId(titled(ax::AXGroup, "Listed group"), "b")});
  const json someRows = json::array({
      withId(titled(ax::AXRow, "first"), "a"),
      titled(ax::AXCell, "cell"),
      titled("axrow", "lower case"),
      {{"attrs", {{ax::AXRole, {{"error", "unreadable"}}}, {ax::AXTitle, "no role"}}}},
      titled(ax::AXRow, "second"),
  });
  const json noRows = json::array({titled("axrow", "one"), titled("AXRow ", "two"), element(ax::AXCell, {{ax::AXValue, 3}}),
                                   element(ax::AXGroup)});
  const struct {
    json tableAttrs;
    json children;
    Values values;
  } cases[] = {
      {{{ax::AXRows, json::array({refTo("b"), refTo("a")})}}, someRows, {"0 Listed group", "1 first"}},
      {json::object(), someRows, {"0 first", "1 second"}},
      {{{ax::AXRows, json::array()}}, someRows, {"0 first", "1 second"}},
      {{{ax::AXRows, "rows"}}, someRows, {"0 first", "1 second"}},  // no array: as good as empty
      {json::object(), noRows, {"0 one", "1 two", "2 3", "3 -"}},
      {json::object(), json::array(), {}},
  };
  for (const auto& c : cases) EXPECT_EQ(indexedValues(rowsOf(c.tableAttrs, c.children, listed)), c.values) << c.tableAttrs;
}

TEST(SerializeRows, DescribesCellsByRoleValueAndFrameAndAChildlessRowAsItsOwnCell) {
  const json rows = rowsOf(json::object(), json::array({
      element(ax::AXRow, {{ax::AXValue, "Inbox"}, {ax::AXFrame, rectValue(0, 24, 400, 24)}}),
      withChildren(element(ax::AXRow, {{ax::AXTitle, "Empty children"}}), json::array()),
      withChildren(element(ax::AXRow), json::array({
          element(ax::AXCell, {{ax::AXPosition, {{"point", {10, 20}}}}, {ax::AXSize, {{"size", {30, 40}}}}}),
          json::object(),
          element(ax::AXCell, {{ax::AXFrame, "not a rectangle"}}),
      })),
  }));
  EXPECT_EQ(rows, json::parse(R"([
      {"index": 0, "cells": [{"role": "AXRow", "value": "Inbox", "frame": {"x": 0.0, "y": 24.0, "w": 400.0, "h": 24.0}}],
       "frame": {"x": 0.0, "y": 24.0, "w": 400.0, "h": 24.0}},
      {"index": 1, "cells": [{"role": "AXRow", "value": "Empty children"}]},
      {"index": 2, "cells": [{"role": "AXCell", "frame": {"x": 10.0, "y": 20.0, "w": 30.0, "h": 40.0}}, {}, {"role": "AXCell"}]}])"));
}

// One cell: `blanks` children without any text, then a child titled "late".
json cellWithTextAfter(int blanks) {
  json children = json::array();
  for (int i = 0; i < blanks; ++i) children.push_back(element(ax::AXImage));
  children.push_back(titled(ax::AXStaticText, "late"));
  return withChildren(element(ax::AXCell), std::move(children));
}

TEST(SerializeRows, GivesEachCellTheFirstValueOrTitleOfItsSubtree) {
  const json cells = json::array({
      element(ax::AXCell, {{ax::AXValue, "value"}, {ax::AXTitle, "title"}}),
      element(ax::AXCell, {{ax::AXValue, ""}, {ax::AXTitle, "Name"}}),
      withChildren(element(ax::AXCell, {{ax::AXValue, " "}}), json::array({titled(ax::AXStaticText, "deeper")})),
      // Pre-order: the first text below the first child, before the second child's own.
      withChildren(element(ax::AXCell, {{ax::AXValue, {{"error", "no"}}}}),
                   json::array({group(json::array({titled(ax::AXStaticText, "first, deeper")})),
                                titled(ax::AXStaticText, "second, shallower")})),
      element(ax::AXCell, {{ax::AXValue, 0}}),
      withChildren(element(ax::AXCell), json::array({nestedBelow(3, titled(ax::AXStaticText, "four down"))})),
      withChildren(element(ax::AXCell), json::array({nestedBelow(4, titled(ax::AXStaticText, "five down"))})),
      // The cell itself and 59 blanks spend the budget of 60 before "late" is reached...
      cellWithTextAfter(59),
      // ...which is set afresh for the next cell, where "late" is the 60th element examined.
      cellWithTextAfter(58),
  });
  const json rows = rowsOf(json::object(), json::array({withChildren(element(ax::AXRow), cells)}));
  std::vector<std::string> values;
  for (const json& cell : rows[0]["cells"]) values.push_back(cell.value("value", "-"));
  EXPECT_EQ(values, (std::vector<std::string>{"value", "Name", " ", "first, deeper", "0", "four down", "-", "-", "late"}));
}

// How the table's "AXRows" were asked for: ever whole, and the most items at once.
class RowsAskedFor final : public ax::ForwardingAccessibility {
 public:
  using ForwardingAccessibility::ForwardingAccessibility;
  std::optional<ax::AttrValue> copyAttributeValue(const ax::Element& element, std::string_view attribute) override {
    whole = whole || attribute == ax::AXRows;
    return ForwardingAccessibility::copyAttributeValue(element, attribute);
  }
  std::optional<ax::AttrValue> copyAttributeValues(const ax::Element& element, std::string_view attribute,
                                                   std::size_t maxCount) override {
    if (attribute == ax::AXRows) most = std::max(most, maxCount);
    return ForwardingAccessibility::copyAttributeValues(element, attribute, maxCount);
  }
  bool whole = false;
  std::size_t most = 0;
};

TEST(SerializeRows, KeepsTheFirst200RowsAndTheFirst40CellsOfEachRowReadingNoFurtherRows) {
  // Rows listed by the table's rows attribute, or its children of the row role.
  auto serialized = [](int count, bool listed) {
    json rowRefs = json::array();
    json rows = json::array();
    for (int i = 0; i < count; ++i) {
      json cells = json::array();
      for (int c = 0; c < 50; ++c) cells.push_back(titled(ax::AXCell, std::to_string(i) + "." + std::to_string(c)));
      rows.push_back(withId(withChildren(element(ax::AXRow), std::move(cells)), "row-" + std::to_string(i)));
      rowRefs.push_back(refTo("row-" + std::to_string(i)));
    }
    json table = withId(element(ax::AXTable, {{ax::AXRows, listed ? rowRefs : json::array()}}), "table");
    table["children"] = listed ? json::array() : rows;
    SimDesktopFixture fixture(windowScene(json::array({std::move(table)}), listed ? rows : json::array()));
    fixture.stats();
    RowsAskedFor desktop(fixture.ax());
    const json result = serializeRows(desktop, fixture.element("table"));
    EXPECT_FALSE(desktop.whole);
    EXPECT_LE(desktop.most, 200u);
    EXPECT_EQ(result.size(), 200u);
    EXPECT_EQ(result.back()["cells"].size(), 40u);
    EXPECT_EQ(result.back()["cells"].back()["value"], "199.39");
    return fixture.stats()["reads"].get<int>();
  };
  serialized(250, true);
  EXPECT_EQ(serialized(300, false), serialized(201, false));
}

// The front window ("window", at 0, 0, 1000 × 800 points) with `lines` on screen.
json sceneWithLines(const json& lines) {
  json scene = windowScene(json::array());
  scene["screen"] = {{"lines", lines}};
  return scene;
}

json line(const std::string& text, double x, double y, double w, double h) {
  return {{"text", text}, {"rect", {x, y, w, h}}};
}

// Lines stacked down the window, 8 points apart.
json stackedLines(const std::vector<std::string>& texts) {
  json lines = json::array();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    lines.push_back(line(texts[i], 0, 8.0 * static_cast<double>(i), 400, 8));
  }
  return lines;
}

json ocrStructureOf(const json& scene) {
  SimDesktopFixture fixture(scene);
  return structureViaOCR(fixture.platform(), fixture.element("window"));
}

// The add line found among these lines, "-" when none.
std::string addLineOf(const std::vector<std::string>& texts) {
  const json reply = ocrStructureOf(sceneWithLines(stackedLines(texts)));
  return reply.contains("addAffordance") ? reply["addAffordance"]["title"].get<std::string>() : "-";
}

TEST(StructureViaOcr, GivesOneRowOfOneStaticTextCellPerLineInScreenPoints) {
  const json reply = ocrStructureOf(sceneWithLines(json::array({
      line("  Inbox  ", 250, 100, 250, 50),
      line("Drafts", 0, 400, 125, 100),
      line("", 500, 0, 125, 100),
  })));
  auto row = [](int index, const char* text, double x, double y, double w, double h) {
    const json frame = {{"x", x}, {"y", y}, {"w", w}, {"h", h}};
    return json{{"index", index}, {"cells", {{{"role", ax::AXStaticText}, {"value", text}, {"frame", frame}}}}, {"frame", frame}};
  };
  EXPECT_EQ(reply, json({{"found", true}, {"source", "ocr"}, {"containerRole", "OCR"}, {"rowCount", 3},
                         {"rows", {row(0, "  Inbox  ", 250, 100, 250, 50), row(1, "Drafts", 0, 400, 125, 100),
                                   row(2, "", 500, 0, 125, 100)}}}));
}

TEST(StructureViaOcr, ShowsTheFirst80LinesButSearchesAllForTheAddLine) {
  std::vector<std::string> texts;
  for (int i = 0; i < 100; ++i) texts.push_back(i == 90 ? "New message" : "Message " + std::to_string(i));
  const json reply = ocrStructureOf(sceneWithLines(stackedLines(texts)));
  EXPECT_EQ(reply["rowCount"], 80);
  ASSERT_EQ(reply["rows"].size(), 80u);
  EXPECT_EQ(reply["rows"][79]["cells"][0]["value"], "Message 79");
  EXPECT_EQ(reply["addAffordance"]["title"], "New message");
  EXPECT_NEAR(reply["addAffordance"]["frame"]["y"].get<double>(), 720.0, 1e-9);
}

TEST(StructureViaOcr, TakesTheFirstLineWithOneOfTheFourWordsOrALonePlusSign) {
  EXPECT_EQ(addLineOf({"Inbox", "Add contact", "New"}), "Add contact");
  for (const char* text : {"NEW", "Create a folder", "+", "  +  "}) EXPECT_EQ(addLineOf({text}), text);
  for (const char* text : {"Address", "Added", "Renew", "Adder", "Addition", "++", "+ more", "plus", "Surplus"}) {
    EXPECT_EQ(addLineOf({text}), "-") << text;
  }
}

TEST(StructureViaOcr, AnswersFoundFalseWithoutRecognisedTextCapturingNothingForAWindowOfFourPointsOrLess) {
  auto withWindowFrame = [](const json& frame) {
    json scene = sceneWithLines(stackedLines({"Add"}));
    scene["applications"][0]["windows"][0]["attrs"][ax::AXFrame] = frame;
    return scene;
  };
  for (const json& frame : {rectValue(0, 0, 300, 4), rectValue(0, 0, 4, 300), rectValue(0, 0, -300, 300),
                            json({{"error", "unreadable"}})}) {
    SimDesktopFixture fixture(withWindowFrame(frame));
    EXPECT_EQ(structureViaOCR(fixture.platform(), fixture.element("window")), json({{"found", false}})) << frame;
    EXPECT_EQ(fixture.stats()["captures"], 0) << frame;
  }
  SimDesktopFixture justLarger(withWindowFrame(rectValue(0, 0, 4.5, 4.5)));
  structureViaOCR(justLarger.platform(), justLarger.element("window"));
  EXPECT_EQ(justLarger.stats()["captures"], 1);

  json failing = sceneWithLines(stackedLines({"Add"}));
  failing["screen"]["recognizerFails"] = true;
  for (const json& scene : {windowScene(json::array()), sceneWithLines(json::array()), failing,
                            sceneWithLines(json::array({line("Outside", 990, 0, 20, 8)}))}) {
    EXPECT_EQ(ocrStructureOf(scene), json({{"found", false}}));
  }
}

// A container of `role` whose rows are plain items titled by these texts.
json container(const std::string& role, const std::vector<std::string>& items, json attrs = json::object()) {
  json rows = json::array();
  for (const std::string& item : items) rows.push_back(titled(ax::AXRow, item));
  return withChildren(element(role, std::move(attrs)), std::move(rows));
}

json structureOf(const json& scene) {
  SimDesktopFixture fixture(scene);
  return cmdStructure(fixture.platform());
}

TEST(StructureCommand, ReadsTheFirstContainerInPreOrderWithTheWindowsAddButton) {
  const json reply = structureOf(windowScene(json::array({
      group(json::array({container(ax::AXOutline, {"Favourites", "Recents"}, {{ax::AXFrame, rectValue(0, 40, 200, 700)}}),
                         titled(ax::AXButton, "New Folder")})),
      container(ax::AXTable, {"Ada", "Alan", "Grace"}),
  })));
  auto row = [](int index, const char* text) { return json{{"index", index}, {"cells", {{{"role", ax::AXRow}, {"value", text}}}}}; };
  EXPECT_EQ(reply, json({{"found", true}, {"containerRole", ax::AXOutline}, {"rowCount", 2},
                         {"rows", {row(0, "Favourites"), row(1, "Recents")}},
                         {"containerFrame", {{"x", 0.0}, {"y", 40.0}, {"w", 200.0}, {"h", 700.0}}},
                         {"addAffordance", {{"title", "New Folder"}}}}));

  // A list inside a table: the outer one.
  const json nested = structureOf(windowScene(json::array({withChildren(
      element(ax::AXTable), json::array({container(ax::AXList, {"inner"}), element(ax::AXRow, {{ax::AXTitle, "outer"}})}))})));
  EXPECT_EQ(nested, json({{"found", true}, {"containerRole", ax::AXTable}, {"rowCount", 1}, {"rows", {row(0, "outer")}}}));

  const json empty = structureOf(windowScene(json::array({element(ax::AXGrid)})));
  EXPECT_EQ(empty, json({{"found", true}, {"containerRole", ax::AXGrid}, {"rowCount", 0}, {"rows", json::array()}}));
}

TEST(StructureCommand, NamesTheContainerRoleUnknownWhenItCannotBeReadAgain) {
  // Every read takes 1 ms; the table's role turns unreadable after the walk has
  // collected it, while its 50 rows are being read.
  json table = withId(container(ax::AXTable, std::vector<std::string>(50, "row")), "table");
  json scene = windowScene(json::array({std::move(table)}));
  scene["applications"][0]["responseDelayMs"] = 1;
  // The walk also reads the 50 rows' roles and children: about 110 reads.
  scene["timeline"] = json::array({{{"atMs", 150}, {"set", {{"table", {{ax::AXRole, {{"error", "gone"}}}}}}}}});
  SimDesktopFixture fixture(scene);
  const json reply = cmdStructure(fixture.platform());
  EXPECT_EQ(reply["containerRole"], "unknown");
  EXPECT_EQ(reply["rowCount"], 50);
}

TEST(StructureCommand, WithoutAContainerReturnsRecognisedRowsUnchangedElseFoundFalseWithTheAccessibleAddButton) {
  json scene = sceneWithLines(json::array({line("Inbox", 0, 0, 500, 400)}));
  scene["applications"][0]["windows"][0]["children"] = json::array({titled(ax::AXButton, "Add")});
  EXPECT_EQ(structureOf(scene), ocrStructureOf(scene));
  // The add control of recognised rows is a recognised line, not the button.
  scene["screen"]["lines"].push_back(line("+", 500, 0, 500, 400));
  EXPECT_EQ(structureOf(scene)["addAffordance"]["title"], "+");

  // Nothing recognised either: found false, with the accessible add button.
  EXPECT_EQ(structureOf(json::object()), json({{"found", false}}));
  EXPECT_EQ(structureOf({{"frontmost", {{"pid", 1}}}, {"applications", {{{"pid", 1}}}}}), json({{"found", false}}));
  SimDesktopFixture fixture(windowScene(json::array({group(json::array({titled(ax::AXButton, "Create")}))})));
  EXPECT_EQ(cmdStructure(fixture.platform()), json({{"found", false}, {"addAffordance", {{"title", "Create"}}}}));
  EXPECT_EQ(fixture.stats()["captures"], 1);

  EXPECT_EQ(structureOf(windowScene(json::array({titled(ax::AXButton, "Save")}))), json({{"found", false}}));
}

}  // namespace
}  // namespace morvel
