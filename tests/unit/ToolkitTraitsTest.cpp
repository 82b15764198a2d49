#include "platform/linux/atspi/ToolkitTraits.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

namespace morvel::linux_ax {
namespace {

// A hit test trusted where the toolkit stops at containers would answer a
// notebook for every control on its page, and GTK 3's from a window the page
// below an open popover; one not trusted in a browser costs a read of every
// child's extents per level, and one whose answer of nothing is not trusted
// asks every leaf's children. A whole child list taken where it differs from
// the children by index (Qt's item views, GTK 4's stacks unless its first child
// is the child at index 0) answers other elements than the walk. A role name
// kept for GTK 4's AT-SPI role gives every group of a path the first one's.
TEST(ToolkitTraits, OnlyTheBrowsersHitTestsGoDeepOnlyGtk4AndTheUnnamedLeaveShowingUnmarkedAndOnlyGtk3PopsOverInsideItsWindow) {
  struct Case {
    const char* name;
    const char* version;
    bool marksShowing;
    bool hitTestGoesDeep;
    bool popoversAmongWindowChildren = false;
    ChildListPlan ofContainer{};
    ChildListPlan ofItemView{};
    bool givesAccessibleIds = true;
    bool namesEachRoleAlike = true;
  };
  constexpr ChildListPlan whole{.wholeList = true};
  constexpr ChildListPlan confirmed{.wholeList = true, .confirmFirst = true};
  const Case cases[] = {
      {"gtk", "3.24.38", true, false, true},
      {"GTK", "4.8.3", false, false, false, confirmed, confirmed, false, false},
      {"Qt", "5.15.8", true, false, false, whole, {}},
      {"Chromium", "120.0", true, true},
      {"Gecko", "115.5.0", true, true},
      {"", "", false, false},
      {"GTK", "", true, false},
  };
  for (const Case& c : cases) {
    const ToolkitTraits traits = traitsOfToolkit(c.name, c.version);
    EXPECT_EQ(traits.marksShowing, c.marksShowing) << c.name << ' ' << c.version;
    EXPECT_EQ(traits.hitTestGoesDeep, c.hitTestGoesDeep) << c.name << ' ' << c.version;
    EXPECT_EQ(traits.popoversAmongWindowChildren, c.popoversAmongWindowChildren) << c.name << ' ' << c.version;
    // A process that names no toolkit (WebKitGTK's web process) is judged by frames alone.
    EXPECT_EQ(traits.marksVisible, std::string_view(c.name) != "") << c.name << ' ' << c.version;
    EXPECT_EQ(traits.hangsIntoOthers, std::string_view(c.name) == "") << c.name << ' ' << c.version;
    // Both are ATK's ways, which GTK 3 alone keeps.
    EXPECT_EQ(traits.hitTestWeighsEveryChild, c.popoversAmongWindowChildren) << c.name << ' ' << c.version;
    EXPECT_EQ(traits.givesAccessibleIds, c.givesAccessibleIds) << c.name << ' ' << c.version;
    EXPECT_EQ(traits.namesEachRoleAlike, c.namesEachRoleAlike) << c.name << ' ' << c.version;
    for (const auto& [itemView, expected] : {std::pair{false, c.ofContainer}, std::pair{true, c.ofItemView}}) {
      const ChildListPlan plan = childListPlan(traits, itemView);
      EXPECT_EQ(plan.wholeList, expected.wholeList) << c.name << ' ' << c.version << ' ' << itemView;
      EXPECT_EQ(plan.confirmFirst, expected.confirmFirst) << c.name << ' ' << c.version << ' ' << itemView;
    }
  }
}

// GTK 4 names an unnamed widget by its type, which no selector should hold; Qt
// leaves the mnemonic marker in its tool bars' titles, which the user never sees.
TEST(ToolkitTraits, NamesAreTheTextsTheToolkitShows) {
  const ToolkitTraits gtk4 = traitsOfToolkit("GTK", "4.8.3");
  for (const char* typeName : {"GtkBox", "AdwHeaderBar", "GtkListItemWidget", "GtkColumnViewCell2"}) {
    EXPECT_EQ(shownName(gtk4, typeName, true), std::nullopt) << typeName;
  }
  for (const char* name : {"Gtk", "Gtkfoo", "GtkBox item", "Gtk-Box", "GtkÉtat", "Adw", "Open", "GIMP"}) {
    EXPECT_EQ(shownName(gtk4, name, true), name);
  }
  EXPECT_EQ(shownName(traitsOfToolkit("gtk", "3.24.38"), "GtkBox", false), "GtkBox");

  const ToolkitTraits qt = traitsOfToolkit("Qt", "5.15.8");
  const std::pair<const char*, const char*> markedLabels[] = {
      {"&Edit", "Edit"}, {"Save && &Close", "Save & Close"}, {"AT&&T", "AT&T"}, {"Fit &", "Fit &"}, {"Plain", "Plain"}};
  for (const auto& [given, shown] : markedLabels) EXPECT_EQ(shownName(qt, given, true), shown) << given;
  EXPECT_EQ(shownName(qt, "Tom & Jerry.pdf", false), "Tom & Jerry.pdf");
  EXPECT_EQ(shownName(traitsOfToolkit("gtk", "3.24.38"), "&Edit", true), "&Edit");
}

}  // namespace
}  // namespace morvel::linux_ax
