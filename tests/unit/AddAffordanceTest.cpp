#include "commands/AddAffordance.h"

#include "support/FormScene.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

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

std::optional<json> affordanceIn(json windowChildren) {
  SimDesktopFixture fixture(windowScene(std::move(windowChildren)));
  return findAddAffordance(fixture.ax(), fixture.element("window"));
}

// The "title" found for one button with these attributes, "-" when it does not match.
std::string titleFor(json attrs, const std::string& role = "AXButton") {
  auto found = affordanceIn(json::array({element(role, std::move(attrs))}));
  return found ? found->at("title").get<std::string>() : "-";
}

bool titleMatches(const std::string& title) { return titleFor({{"AXTitle", title}}) != "-"; }

TEST(FindAddAffordance, MatchesTheFourWordsWholeAnyPlusAndALonePlusSign) {
  for (const char* text : {"New Item", "Add Contact", "ADD", "Insert", "create", "new-entry", "new.entry", "PLUS",
                           "Surplus", "+", "  +  ", "\t+\n"}) {
    EXPECT_TRUE(titleMatches(text)) << text;
  }
  for (const char* text : {"Addition", "Adder", "Renew", "Address", "Added", "inserted", "++", "a +", "+ more",
                           "Open\n+", "add_row", "Delete", ""}) {
    EXPECT_FALSE(titleMatches(text)) << text;
  }
}

TEST(FindAddAffordance, SearchesTitleDescriptionAndHelpJoinedBySingleSpaces) {
  // No title: the joined text of those present is the title, without a separator for the absent one.
  EXPECT_EQ(titleFor({{"AXDescription", "Create"}}), "Create");
  EXPECT_EQ(titleFor({{"AXDescription", "Tool"}, {"AXHelp", "Adds a new row"}}), "Tool Adds a new row");
  EXPECT_EQ(titleFor({{"AXHelp", "Insert"}}), "Insert");
  EXPECT_EQ(titleFor({{"AXDescription", ""}, {"AXHelp", "New"}}), " New");
  EXPECT_EQ(titleFor({{"AXDescription", "New"}, {"AXHelp", ""}}), "New ");
  // A present title wins even when empty; it still takes its place in the joined text.
  EXPECT_EQ(titleFor({{"AXTitle", ""}, {"AXDescription", "Add"}}), "");
  EXPECT_EQ(titleFor({{"AXTitle", ""}, {"AXDescription", "+"}}), "");
  EXPECT_EQ(titleFor({{"AXTitle", "Add"}, {"AXHelp", "Adds a row"}}), "Add");
  EXPECT_EQ(titleFor({{"AXTitle", "Go"}, {"AXHelp", "Plus"}}), "Go");
  EXPECT_EQ(titleFor({{"AXTitle", 5}, {"AXHelp", "new"}}), "5");
  // Joined, a lone plus sign no longer stands alone.
  EXPECT_EQ(titleFor({{"AXTitle", "Go"}, {"AXDescription", "+"}}), "-");
  EXPECT_EQ(titleFor({{"AXDescription", "Tool"}, {"AXHelp", "+"}}), "-");
  EXPECT_EQ(titleFor({{"AXTitle", {{"error", "unreadable"}}}, {"AXDescription", "Delete"}}), "-");
}

TEST(FindAddAffordance, DescribesTheFirstMatchingButtonInPreOrderWithItsFrame) {
  auto found = affordanceIn(json::array({
      element("AXStaticText", {{"AXValue", "Add"}, {"AXTitle", "Add"}}),
      element("AXLink", {{"AXTitle", "Add"}}),
      element("axbutton", {{"AXTitle", "Add"}}),
      group(json::array({element("AXMenuButton", {{"AXTitle", "Save"}}),
                         element("AXPopUpButton", {{"AXTitle", "New"}, {"AXFrame", rectValue(10, 20, 30, 40)}})})),
      element("AXButton", {{"AXTitle", "Add"}, {"AXFrame", rectValue(0, 0, 5, 5)}}),
  }));
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, json({{"title", "New"}, {"frame", {{"x", 10.0}, {"y", 20.0}, {"w", 30.0}, {"h", 40.0}}}}));

  EXPECT_EQ(titleFor({{"AXTitle", "New"}}, "AXMenuButton"), "New");
  EXPECT_EQ(affordanceIn(json::array({element("AXButton", {{"AXTitle", "Add"}})})), json({{"title", "Add"}}));
  EXPECT_FALSE(affordanceIn(json::array({element("AXButton", {{"AXTitle", "Save"}}),
                                         element("AXButton", {{"AXTitle", "Cancel"}})})));
  EXPECT_FALSE(affordanceIn(json::array()));
}

TEST(FindAddAffordance, LooksOnly20LevelsDeepAndAtTheFirst4000Elements) {
  // The window is at depth 0; 19 groups put a button at depth 20.
  auto deep = [](int groups) {
    return affordanceIn(json::array({nestedBelow(groups, element("AXButton", {{"AXTitle", "Add"}}))}));
  };
  EXPECT_TRUE(deep(19));
  EXPECT_FALSE(deep(20));

  // Examined in pre-order: the window, the group, the filler, then the button.
  auto afterFiller = [](int filler) {
    return affordanceIn(json::array({fillerGroup(filler), element("AXButton", {{"AXTitle", "Add"}})}));
  };
  EXPECT_TRUE(afterFiller(4000 - 3));
  EXPECT_FALSE(afterFiller(4000 - 2));
}

}  // namespace
}  // namespace morvel
