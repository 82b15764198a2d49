#include "accessibility/Descriptor.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

json oneWindowDesktop(json windowChildren) {
  return {{"frontmost", {{"pid", 7}}},
          {"applications",
           {{{"pid", 7},
             {"id", "app"},
             {"windows",
              {{{"id", "window"},
                {"attrs", {{"AXRole", "AXWindow"}, {"AXTitle", "Main"}}},
                {"children", std::move(windowChildren)}}}}}}}};
}

json element(const std::string& id, json attrs) { return {{"id", id}, {"attrs", std::move(attrs)}}; }

TEST(ElementDescriptor, CarriesEveryReadableTextExactlyAndTheValueOnlyOnRequest) {
  SimDesktopFixture fixture(oneWindowDesktop({
      element("box", {{"AXRole", "AXCheckBox"},
                      {"AXSubrole", "AXToggle"},
                      {"AXIdentifier", "remember"},
                      {"AXTitle", ""},
                      {"AXDescription", " Remember me "},
                      {"AXRoleDescription", {{"error", "unsupported"}}},
                      {"AXValue", 1}}),
      element("bare", json::object()),
  }));

  json withValue = ax::elementDescriptor(fixture.ax(), fixture.element("box"), true);
  EXPECT_EQ(withValue, (json{{"role", "AXCheckBox"},
                             {"subrole", "AXToggle"},
                             {"identifier", "remember"},
                             {"title", ""},
                             {"description", " Remember me "},
                             {"value", "1"},
                             {"index", 0}}));

  json withoutValue = ax::elementDescriptor(fixture.ax(), fixture.element("box"), false);
  EXPECT_FALSE(withoutValue.contains("value"));
  withValue.erase("value");
  EXPECT_EQ(withoutValue, withValue);
  EXPECT_EQ(ax::elementDescriptor(fixture.ax(), fixture.element("box"), false), withoutValue);

  // Nothing readable but the parent: only the index is left.
  EXPECT_EQ(ax::elementDescriptor(fixture.ax(), fixture.element("bare"), true), (json{{"index", 0}}));
}

TEST(SiblingIndex, CountsOnlyChildrenOfTheSameRoleInChildOrder) {
  SimDesktopFixture fixture(oneWindowDesktop({
      element("b0", {{"AXRole", "AXButton"}}),
      element("t0", {{"AXRole", "AXStaticText"}}),
      element("b1", {{"AXRole", "AXButton"}}),
      element("t1", {{"AXRole", "AXStaticText"}}),
      element("b2", {{"AXRole", "AXButton"}}),
      element("n0", {{"AXTitle", "no role"}}),
      element("n1", {{"AXRole", {{"error", "gone"}}}}),
      element("lower", {{"AXRole", "axbutton"}}),
  }));
  ax::Accessibility& ax = fixture.ax();
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("b0")), 0);
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("b2")), 2);
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("t1")), 1);
  // Unreadable roles are counted among each other, whatever made them unreadable.
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("n1")), 1);
  // Role comparison is case-sensitive.
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("lower")), 0);
}

TEST(SiblingIndex, IsZeroWithoutParentOrWhenTheParentDoesNotListTheElement) {
  json scene = oneWindowDesktop({
      element("listed", {{"AXRole", "AXButton"}}),
      element("hidden", {{"AXRole", "AXButton"}}),
  });
  // The window lists only the first button; the second still names it as parent.
  scene["applications"][0]["windows"][0]["attrs"]["AXChildren"] = json::array({{{"ref", "listed"}}});
  scene["applications"][0]["windows"].push_back(
      {{"id", "second-window"}, {"attrs", {{"AXRole", "AXWindow"}, {"AXTitle", "Other"}}}});
  scene["elements"] = {element("orphan", {{"AXRole", "AXButton"}})};
  SimDesktopFixture fixture(scene);
  ax::Accessibility& ax = fixture.ax();

  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("hidden")), 0);
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("orphan")), 0);
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("app")), 0);
  // A window is counted among the application's windows.
  EXPECT_EQ(ax::siblingIndex(ax, fixture.element("second-window")), 1);
}

TEST(SiblingIndex, ReadsEverySiblingRoleOnceAndNothingPastAMissingParent) {
  SimDesktopFixture fixture(oneWindowDesktop({
      element("first", {{"AXRole", "AXButton"}}),
      element("a", {{"AXRole", "AXButton"}}),
      element("b", {{"AXRole", "AXStaticText"}}),
      element("c", {{"AXRole", "AXButton"}}),
  }));
  fixture.stats();
  EXPECT_EQ(ax::siblingIndex(fixture.ax(), fixture.element("first")), 0);
  // parent, own role, the parent's children, then one role per child
  EXPECT_EQ(fixture.stats()["reads"], 3 + 4);

  EXPECT_EQ(ax::siblingIndex(fixture.ax(), fixture.element("app")), 0);
  EXPECT_EQ(fixture.stats()["reads"], 1);
}

}  // namespace
}  // namespace morvel
