#include "platform/linux/atspi/RoleMapping.h"

#include <unordered_map>

namespace morvel::linux_ax {
namespace {

// Roles whose mapping needs no context. Anything missing here and not handled
// in mapRole is "AXUnknown".
const std::unordered_map<int, AxRole>& plainRoles() {
  static const std::unordered_map<int, AxRole> table = {
      {ATSPI_ROLE_PUSH_BUTTON, {"AXButton", std::nullopt}},
      {ATSPI_ROLE_PUSH_BUTTON_MENU, {"AXMenuButton", std::nullopt}},
      {ATSPI_ROLE_CHECK_BOX, {"AXCheckBox", std::nullopt}},
      {ATSPI_ROLE_TOGGLE_BUTTON, {"AXCheckBox", "AXToggle"}},
      {ATSPI_ROLE_RADIO_BUTTON, {"AXRadioButton", std::nullopt}},
      {ATSPI_ROLE_ENTRY, {"AXTextField", std::nullopt}},
      {ATSPI_ROLE_SPIN_BUTTON, {"AXTextField", std::nullopt}},
      {ATSPI_ROLE_PASSWORD_TEXT, {"AXTextField", "AXSecureTextField"}},
      {ATSPI_ROLE_LABEL, {"AXStaticText", std::nullopt}},
      {ATSPI_ROLE_STATIC, {"AXStaticText", std::nullopt}},
      {ATSPI_ROLE_ACCELERATOR_LABEL, {"AXStaticText", std::nullopt}},
      {ATSPI_ROLE_CAPTION, {"AXStaticText", std::nullopt}},
      {ATSPI_ROLE_TABLE, {"AXTable", std::nullopt}},
      {ATSPI_ROLE_TREE_TABLE, {"AXOutline", std::nullopt}},
      {ATSPI_ROLE_TREE, {"AXOutline", std::nullopt}},
      {ATSPI_ROLE_LIST, {"AXList", std::nullopt}},
      {ATSPI_ROLE_LIST_BOX, {"AXList", std::nullopt}},
      {ATSPI_ROLE_TABLE_ROW, {"AXRow", std::nullopt}},
      {ATSPI_ROLE_LIST_ITEM, {"AXRow", std::nullopt}},
      {ATSPI_ROLE_TREE_ITEM, {"AXRow", std::nullopt}},
      {ATSPI_ROLE_TABLE_CELL, {"AXCell", std::nullopt}},
      {ATSPI_ROLE_TABLE_COLUMN_HEADER, {"AXCell", std::nullopt}},
      {ATSPI_ROLE_COLUMN_HEADER, {"AXCell", std::nullopt}},
      {ATSPI_ROLE_TABLE_ROW_HEADER, {"AXCell", std::nullopt}},
      {ATSPI_ROLE_ROW_HEADER, {"AXCell", std::nullopt}},
      {ATSPI_ROLE_FRAME, {"AXWindow", "AXStandardWindow"}},
      {ATSPI_ROLE_WINDOW, {"AXWindow", std::nullopt}},
      {ATSPI_ROLE_APPLICATION, {"AXApplication", std::nullopt}},
      {ATSPI_ROLE_DESKTOP_FRAME, {"AXSystemWide", std::nullopt}},
      {ATSPI_ROLE_SCROLL_PANE, {"AXScrollArea", std::nullopt}},
      {ATSPI_ROLE_DOCUMENT_WEB, {"AXWebArea", std::nullopt}},
      {ATSPI_ROLE_PANEL, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_FILLER, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_GROUPING, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_SECTION, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_FORM, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_VIEWPORT, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_LAYERED_PANE, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_ROOT_PANE, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_INTERNAL_FRAME, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_OPTION_PANE, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_SPLIT_PANE, {"AXSplitGroup", std::nullopt}},
      {ATSPI_ROLE_MENU, {"AXMenu", std::nullopt}},
      {ATSPI_ROLE_POPUP_MENU, {"AXMenu", std::nullopt}},
      {ATSPI_ROLE_MENU_BAR, {"AXMenuBar", std::nullopt}},
      {ATSPI_ROLE_MENU_ITEM, {"AXMenuItem", std::nullopt}},
      {ATSPI_ROLE_CHECK_MENU_ITEM, {"AXMenuItem", std::nullopt}},
      {ATSPI_ROLE_RADIO_MENU_ITEM, {"AXMenuItem", std::nullopt}},
      {ATSPI_ROLE_TEAROFF_MENU_ITEM, {"AXMenuItem", std::nullopt}},
      {ATSPI_ROLE_TOOL_BAR, {"AXToolbar", std::nullopt}},
      {ATSPI_ROLE_PAGE_TAB_LIST, {"AXTabGroup", std::nullopt}},
      {ATSPI_ROLE_PAGE_TAB, {"AXRadioButton", "AXTabButton"}},
      {ATSPI_ROLE_SLIDER, {"AXSlider", std::nullopt}},
      {ATSPI_ROLE_SCROLL_BAR, {"AXScrollBar", std::nullopt}},
      {ATSPI_ROLE_PROGRESS_BAR, {"AXProgressIndicator", std::nullopt}},
      {ATSPI_ROLE_LEVEL_BAR, {"AXLevelIndicator", std::nullopt}},
      {ATSPI_ROLE_IMAGE, {"AXImage", std::nullopt}},
      {ATSPI_ROLE_ICON, {"AXImage", std::nullopt}},
      {ATSPI_ROLE_LINK, {"AXLink", std::nullopt}},
      {ATSPI_ROLE_HEADING, {"AXHeading", std::nullopt}},
      {ATSPI_ROLE_SEPARATOR, {"AXSplitter", std::nullopt}},
      {ATSPI_ROLE_TOOL_TIP, {"AXHelpTag", std::nullopt}},
      {ATSPI_ROLE_STATUS_BAR, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_CANVAS, {"AXGroup", std::nullopt}},
      {ATSPI_ROLE_DRAWING_AREA, {"AXGroup", std::nullopt}},
  };
  return table;
}

}  // namespace

bool needsEditableTextProbe(AtspiRole role) { return role == ATSPI_ROLE_COMBO_BOX; }

bool needsToplevelProbe(AtspiRole role) {
  return role == ATSPI_ROLE_DIALOG || role == ATSPI_ROLE_ALERT || role == ATSPI_ROLE_FILE_CHOOSER ||
         role == ATSPI_ROLE_COLOR_CHOOSER || role == ATSPI_ROLE_FONT_CHOOSER || role == ATSPI_ROLE_FILLER ||
         role == ATSPI_ROLE_PANEL;
}

AxRole mapRole(AtspiRole role, const RoleContext& context) {
  switch (role) {
    case ATSPI_ROLE_TEXT:
      return {context.multiLine ? "AXTextArea" : "AXTextField", std::nullopt};
    case ATSPI_ROLE_COMBO_BOX:
      return {context.holdsEditableText ? "AXComboBox" : "AXPopUpButton", std::nullopt};
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
    case ATSPI_ROLE_COLOR_CHOOSER:
    case ATSPI_ROLE_FONT_CHOOSER:
      // A dialog (or chooser) inside a page is a group of controls, not a window of its own.
      if (context.toplevel) return {"AXWindow", "AXDialog"};
      return {"AXGroup", std::nullopt};
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_PANEL:
      // Qt gives a plain top-level widget one of these roles; it is a window all the same.
      if (context.toplevel) return {"AXWindow", "AXStandardWindow"};
      return {"AXGroup", std::nullopt};
    default:
      break;
  }
  const auto& table = plainRoles();
  if (auto row = table.find(role); row != table.end()) return row->second;
  return {"AXUnknown", std::nullopt};
}

bool isTextValued(const std::string& axRole) {
  return axRole == "AXTextField" || axRole == "AXTextArea" || axRole == "AXComboBox" || axRole == "AXStaticText" ||
         axRole == "AXCell" || axRole == "AXHeading";
}

bool isCheckValued(const std::string& axRole) { return axRole == "AXCheckBox" || axRole == "AXRadioButton"; }

}  // namespace morvel::linux_ax
