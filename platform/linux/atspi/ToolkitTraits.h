#pragma once

// What an application's toolkit, by the name and version it gives on the bus,
// does differently from the others.

#include <optional>
#include <string>
#include <string_view>

namespace morvel::linux_ax {

// How the children of an element without the Collection interface are asked.
enum class ChildListing {
  // Each by its index (GetChildAtIndex), after the count.
  ByIndex,
  // All in one message (GetChildren), but those of item views (tables, trees,
  // lists), whose list differs from their children by index.
  WholeListButItemViews,
  // All in one message where the first child listed is the child at index 0,
  // asked with it: a GTK 4 stack lists what its pages hold, not its pages.
  WholeListWhenFirstIsByIndex,
};

struct ToolkitTraits {
  // The elements it has on screen are marked SHOWING; GTK 4 (4.8 at least)
  // marks its windows only.
  bool marksShowing = true;
  // The elements it has on screen are marked VISIBLE. A process that names no
  // toolkit (WebKitGTK's web process, which only hangs its page into the
  // application's web view) marks neither on its page's scroll view.
  bool marksVisible = true;
  // Its trees hang into other applications' windows rather than windows of
  // its own: a process that names no toolkit (WebKitGTK's web process).
  bool hangsIntoOthers = false;
  // Its hit test goes on to the deepest element under the point: where it
  // answers with the element asked, the point lies on that element and none of
  // its children. GTK's and Qt's stop at containers (notebooks, stacks).
  bool hitTestGoesDeep = false;
  // Its hit test answers the first child whose frame holds the point, or
  // nothing where none does (ATK's own, which GTK 3 keeps for its containers):
  // there no child lies under the point, but for the elements that answer
  // otherwise (a notebook, whose pages lie outside their tabs; the views of
  // items, which answer from their rows alone).
  bool hitTestWeighsEveryChild = false;
  // A window's open popovers are among its children, after its content, and
  // its hit test answers the content below them: GTK 3.
  bool popoversAmongWindowChildren = false;
  // An element without a name gives its widget type's name instead ("GtkBox",
  // "AdwHeaderBar"): GTK 4.
  bool namesUnnamedByType = false;
  // It gives accessible ids (AccessibleId): GTK 4 answers an empty one for
  // every element, which is no id.
  bool givesAccessibleIds = true;
  // It names every role alike for all its elements of that role. GTK 4 names
  // its own roles, several of which share one AT-SPI role ("group", "tab
  // panel"): each element's name is asked.
  bool namesEachRoleAlike = true;
  // Some of its titles hold the mnemonic marker as the application wrote them
  // ("&Edit", "&&" for a literal ampersand): Qt's tool bars.
  bool keepsMnemonicMarkers = false;
  ChildListing childListing = ChildListing::ByIndex;
};

// An application that does not say is taken to behave as most toolkits do.
ToolkitTraits traitsOfToolkit(std::string_view name, std::string_view version);

// The name an element of the toolkit shows, from the name it gives on the bus:
// none where that is a widget type's name standing in for none, and without
// the mnemonic markers where it is a `markedTitle`.
std::optional<std::string> shownName(const ToolkitTraits& traits, std::string given, bool markedTitle);

// Whether the children of an element are asked in one message, and whether the
// first of them must then be confirmed by index; `itemView`: the element is a
// table, a tree or a list.
struct ChildListPlan {
  bool wholeList = false;
  bool confirmFirst = false;
};
ChildListPlan childListPlan(const ToolkitTraits& traits, bool itemView);

}  // namespace morvel::linux_ax
