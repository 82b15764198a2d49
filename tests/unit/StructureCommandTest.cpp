#include "commands/StructureCommand.h"

#include "app/Dispatcher.h"
#include "support/FormScene.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace morvel {
namespace {

using testing::element;
using testing::fillerGroup;
using testing::group;
using testing::json;
using testing::nestedBelow;
using testing::rectValue;
using testing::SimDesktopFixture;
using testing::windowScene;
using testing::withChildren;
using testing::withId;

// A container of `role` whose rows are plain items titled by these texts.
json container(const std::string& role, const std::vector<std::string>& items, json attrs = json::object()) {
  json rows = json::array();
  for (const std::string& item : items) rows.push_back(element("AXRow", {{"AXTitle", item}}));
  return withChildren(element(role, std::move(attrs)), std::move(rows));
}

json structureOf(const json& scene) {
  SimDesktopFixture fixture(scene);
  return cmdStructure(fixture.platform());
}

json addButton(const std::string& title) { return element("AXButton", {{"AXTitle", title}}); }

TEST(StructureCommand, AnswersOnlyFoundFalseWithoutAFrontWindow) {
  EXPECT_EQ(structureOf(json::object()), json({{"found", false}}));
  EXPECT_EQ(structureOf({{"frontmost", {{"pid", 1}}}, {"applications", {{{"pid", 1}}}}}), json({{"found", false}}));
}

TEST(StructureCommand, ReadsTheFirstContainerInPreOrderWithTheWindowsAddButton) {
  const json reply = structureOf(windowScene(json::array({
      group(json::array({container("AXOutline", {"Favourites", "Recents"}, {{"AXFrame", rectValue(0, 40, 200, 700)}}),
                         addButton("New Folder")})),
      container("AXTable", {"Ada", "Alan", "Grace"}),
  })));
  EXPECT_EQ(reply["found"], true);
  EXPECT_EQ(reply["containerRole"], "AXOutline");
  EXPECT_EQ(reply["rowCount"], 2);
  EXPECT_EQ(reply["rows"][1],
            json({{"index", 1}, {"cells", json::array({{{"role", "AXRow"}, {"value", "Recents"}}})}}));
  EXPECT_EQ(reply["containerFrame"], json({{"x", 0.0}, {"y", 40.0}, {"w", 200.0}, {"h", 700.0}}));
  EXPECT_EQ(reply["addAffordance"], json({{"title", "New Folder"}}));

  // A list inside a table: the outer one.
  const json nested = structureOf(windowScene(json::array({withChildren(
      element("AXTable"), json::array({container("AXList", {"inner"}), element("AXRow", {{"AXTitle", "outer"}})}))})));
  EXPECT_EQ(nested["containerRole"], "AXTable");
  EXPECT_EQ(nested["rowCount"], 1);
  EXPECT_EQ(nested["rows"][0]["cells"][0]["value"], "outer");
  EXPECT_FALSE(nested.contains("containerFrame"));
  EXPECT_FALSE(nested.contains("addAffordance"));

  const json empty = structureOf(windowScene(json::array({element("AXGrid")})));
  EXPECT_EQ(empty, json({{"found", true}, {"containerRole", "AXGrid"}, {"rowCount", 0}, {"rows", json::array()}}));
}

TEST(StructureCommand, NamesTheContainerRoleUnknownWhenItCannotBeReadAgain) {
  // Every read takes 1 ms; the table's role turns unreadable after the walk has
  // collected it, while its 50 rows are being read.
  json table = withId(container("AXTable", std::vector<std::string>(50, "row")), "table");
  json scene = windowScene(json::array({std::move(table)}));
  scene["applications"][0]["responseDelayMs"] = 1;
  // The walk also reads the 50 rows' roles and children: about 110 reads.
  scene["timeline"] = json::array({{{"atMs", 150}, {"set", {{"table", {{"AXRole", {{"error", "gone"}}}}}}}}});
  SimDesktopFixture fixture(scene);
  const json reply = cmdStructure(fixture.platform());
  EXPECT_EQ(reply["containerRole"], "unknown");
  EXPECT_EQ(reply["rowCount"], 50);
}

TEST(StructureCommand, SearchesForContainers25LevelsDeepAndAtTheFirst5000Elements) {
  auto roleFound = [](const json& windowChildren) {
    return structureOf(windowScene(windowChildren)).value("containerRole", "-");
  };
  EXPECT_EQ(roleFound(json::array({nestedBelow(24, element("AXList"))})), "AXList");
  EXPECT_EQ(roleFound(json::array({nestedBelow(25, element("AXList"))})), "-");

  // Examined in pre-order: the window, the group, the filler, then the table.
  auto afterFiller = [&](int filler) { return roleFound(json::array({fillerGroup(filler), element("AXTable")})); };
  EXPECT_EQ(afterFiller(5000 - 3), "AXTable");
  EXPECT_EQ(afterFiller(5000 - 2), "-");
}

TEST(StructureCommand, ReturnsRecognisedRowsUnchangedWithoutSearchingForAnAddButton) {
  json scene = windowScene(json::array({addButton("Add")}));
  scene["screen"] = {{"lines", json::array({{{"text", "Inbox"}, {"rect", {0, 0, 500, 400}}}})}};
  const json frame = {{"x", 0.0}, {"y", 0.0}, {"w", 500.0}, {"h", 400.0}};
  const json cell = {{"role", "AXStaticText"}, {"value", "Inbox"}, {"frame", frame}};
  const json row = {{"index", 0}, {"cells", json::array({cell})}, {"frame", frame}};
  EXPECT_EQ(structureOf(scene), json({{"found", true},
                                      {"source", "ocr"},
                                      {"containerRole", "OCR"},
                                      {"rowCount", 1},
                                      {"rows", json::array({row})}}));

  // The add control of recognised rows is a recognised line, not the button.
  scene["screen"]["lines"].push_back({{"text", "+"}, {"rect", {500, 0, 500, 400}}});
  EXPECT_EQ(structureOf(scene)["addAffordance"]["title"], "+");
}

TEST(StructureCommand, AddsTheAccessibleAddButtonWhenNothingIsRecognised) {
  SimDesktopFixture fixture(windowScene(json::array({group(json::array({addButton("Create")}))})));
  EXPECT_EQ(cmdStructure(fixture.platform()), json({{"found", false}, {"addAffordance", {{"title", "Create"}}}}));
  EXPECT_EQ(fixture.stats()["captures"], 1);

  EXPECT_EQ(structureOf(windowScene(json::array({addButton("Save")}))), json({{"found", false}}));
}

TEST(StructureCommand, ReadsTheExampleContactsTableWithItsAddButton) {
  std::ifstream file(MORVEL_EXAMPLES_DIR "/contacts.json");
  SimDesktopFixture fixture(json::parse(file));
  const json reply = cmdStructure(fixture.platform());
  EXPECT_EQ(reply["containerRole"], "AXTable");
  EXPECT_EQ(reply["rowCount"], 3);
  EXPECT_EQ(reply["containerFrame"], json({{"x", 100.0}, {"y", 120.0}, {"w", 420.0}, {"h", 560.0}}));
  EXPECT_EQ(reply["addAffordance"],
            json({{"title", "Add Contact"}, {"frame", {{"x", 120.0}, {"y", 88.0}, {"w", 110.0}, {"h", 24.0}}}}));
  json values = json::array();
  for (const json& row : reply["rows"]) {
    for (const json& cell : row["cells"]) values.push_back(cell["value"]);
  }
  EXPECT_EQ(values, json({"Ada Lovelace", "ada@example.org", "Alan Turing", "alan@example.org", "Grace Hopper",
                          "grace@example.org"}));
  EXPECT_EQ(reply["rows"][2]["frame"], json({{"x", 100.0}, {"y", 168.0}, {"w", 420.0}, {"h", 24.0}}));
  EXPECT_EQ(reply["rows"][2]["cells"][1], json({{"role", "AXCell"},
                                                {"value", "grace@example.org"},
                                                {"frame", {{"x", 300.0}, {"y", 168.0}, {"w", 220.0}, {"h", 24.0}}}}));
  EXPECT_EQ(fixture.stats()["captures"], 0);
}

TEST(StructureCommand, IsTheDispatchersStructureCommand) {
  std::ifstream file(MORVEL_EXAMPLES_DIR "/contacts.json");
  SimDesktopFixture fixture(json::parse(file));
  const json reply = handle({{"cmd", "structure"}, {"x", "ignored"}}, fixture.platform(), {});
  EXPECT_EQ(reply["ok"], true);
  EXPECT_EQ(reply["rowCount"], 3);
}

}  // namespace
}  // namespace morvel
