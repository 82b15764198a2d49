#include "platform/linux/atspi/ToolkitTraits.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace morvel::linux_ax {
namespace {

// The shape of a GTK or libadwaita type name: the namespace, then a capital,
// then letters and digits only ("GtkBox", "AdwHeaderBar", "GtkListItemWidget").
bool isWidgetTypeName(std::string_view text) {
  constexpr std::array<std::string_view, 2> typeNamespaces = {"Gtk", "Adw"};
  for (std::string_view prefix : typeNamespaces) {
    if (!text.starts_with(prefix) || text.size() <= prefix.size()) continue;
    const std::string_view rest = text.substr(prefix.size());
    const auto isAsciiAlnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    if (std::isupper(static_cast<unsigned char>(rest.front())) != 0 && std::all_of(rest.begin(), rest.end(), isAsciiAlnum)) {
      return true;
    }
  }
  return false;
}

// The text as drawn: a marker before a character is dropped, a doubled marker
// is one literal ampersand, and a marker at the end stays.
std::string withoutMnemonicMarkers(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (text[index] == '&' && index + 1 < text.size()) ++index;
    shown.push_back(text[index]);
  }
  return shown;
}

// GTK 3 says "gtk", GTK 4 "GTK".
bool isGtk(std::string_view name) {
  constexpr std::string_view gtk = "gtk";
  return std::equal(name.begin(), name.end(), gtk.begin(), gtk.end(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace

ToolkitTraits traitsOfToolkit(std::string_view name, std::string_view version) {
  ToolkitTraits traits;
  const bool gtk3 = isGtk(name) && version.starts_with("3.");
  const bool gtk4 = isGtk(name) && version.starts_with("4.");
  const bool unnamed = name.empty();
  traits.marksShowing = !gtk4 && !unnamed;
  traits.marksVisible = !unnamed;
  traits.hangsIntoOthers = unnamed;
  traits.namesUnnamedByType = gtk4;
  traits.givesAccessibleIds = !gtk4;
  traits.namesEachRoleAlike = !gtk4;
  traits.popoversAmongWindowChildren = gtk3;
  traits.hitTestWeighsEveryChild = gtk3;
  traits.keepsMnemonicMarkers = name == "Qt";
  // The browsers' engines answer from their own layout, down to the text leaf;
  // Electron applications give Chromium's name.
  traits.hitTestGoesDeep = name == "Chromium" || name == "Gecko";
  if (name == "Qt") traits.childListing = ChildListing::WholeListButItemViews;
  if (gtk4) traits.childListing = ChildListing::WholeListWhenFirstIsByIndex;
  return traits;
}

std::optional<std::string> shownName(const ToolkitTraits& traits, std::string given, bool markedTitle) {
  if (traits.namesUnnamedByType && isWidgetTypeName(given)) return std::nullopt;
  if (traits.keepsMnemonicMarkers && markedTitle) return withoutMnemonicMarkers(given);
  return given;
}

ChildListPlan childListPlan(const ToolkitTraits& traits, bool itemView) {
  switch (traits.childListing) {
    case ChildListing::ByIndex:
      return {};
    case ChildListing::WholeListButItemViews:
      return {.wholeList = !itemView};
    case ChildListing::WholeListWhenFirstIsByIndex:
      return {.wholeList = true, .confirmFirst = true};
  }
  return {};
}

}  // namespace morvel::linux_ax
