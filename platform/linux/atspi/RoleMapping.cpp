#include "platform/linux/atspi/RoleMapping.h"

#include "accessibility/AXNames.h"

#include <unordered_map>

namespace morvel::linux_ax {
namespace {

// Roles whose mapping needs no context. Anything missing here and not handled
// in mapRole is "AXUnknown".
const std::unordered_map<int, AxRole>& plainRoles() {
  static const std::unordered_map<int, AxRole> table = {
      {ATSPI_ROLE_PUSH_BUTTON, {ax::AXButton, std::nullopt}},
      {ATSPI_ROLE_PUSH_BUTTON_MENU, {ax::AXMenuButton, std::nullopt}},
      {ATSPI_ROLE_CHECK_BOX, {ax::AXCheckBox, std::nullopt}},
      {ATSPI_ROLE_TOGGLE_BUTTON, {ax::AXCheckBox, ax::AXToggle}},
      {ATSPI_ROLE_RADIO_BUTTON, {ax::AXRadioButton, std::nullopt}},
      {ATSPI_ROLE_ENTRY, {ax::AXTextField, std::nullopt}},
      {ATSPI_ROLE_SPIN_BUTTON, {ax::AXTextField, std::nullopt}},
      {ATSPI_ROLE_PASSWORD_TEXT, {ax::AXTextField, ax::AXSecureTextField}},
      {ATSPI_ROLE_LABEL, {ax::AXStaticText, std::nullopt}},
      {ATSPI_ROLE_STATIC, {ax::AXStaticText, std::nullopt}},
      {ATSPI_ROLE_ACCELERATOR_LABEL, {ax::AXStaticText, std::nullopt}},
      {ATSPI_ROLE_CAPTION, {ax::AXStaticText, std::nullopt}},
      {ATSPI_ROLE_TABLE, {ax::AXTable, std::nullopt}},
      {ATSPI_ROLE_TREE_TABLE, {ax::AXOutline, std::nullopt}},
      {ATSPI_ROLE_TREE, {ax::AXOutline, std::nullopt}},
      {ATSPI_ROLE_LIST, {ax::AXList, std::nullopt}},
      {ATSPI_ROLE_LIST_BOX, {ax::AXList, std::nullopt}},
      {ATSPI_ROLE_TABLE_ROW, {ax::AXRow, std::nullopt}},
      {ATSPI_ROLE_LIST_ITEM, {ax::AXRow, std::nullopt}},
      {ATSPI_ROLE_TREE_ITEM, {ax::AXRow, std::nullopt}},
      {ATSPI_ROLE_TABLE_CELL, {ax::AXCell, std::nullopt}},
      {ATSPI_ROLE_TABLE_COLUMN_HEADER, {ax::AXCell, std::nullopt}},
      {ATSPI_ROLE_COLUMN_HEADER, {ax::AXCell, std::nullopt}},
      {ATSPI_ROLE_TABLE_ROW_HEADER, {ax::AXCell, std::nullopt}},
      {ATSPI_ROLE_ROW_HEADER, {ax::AXCell, std::nullopt}},
      {ATSPI_ROLE_WINDOW, {ax::AXWindow, std::nullopt}},
      {ATSPI_ROLE_APPLICATION, {ax::AXApplication, std::nullopt}},
      {ATSPI_ROLE_DESKTOP_FRAME, {ax::AXSystemWide, std::nullopt}},
      {ATSPI_ROLE_SCROLL_PANE, {ax::AXScrollArea, std::nullopt}},
      {ATSPI_ROLE_DOCUMENT_WEB, {ax::AXWebArea, std::nullopt}},
      {ATSPI_ROLE_PANEL, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_FILLER, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_GROUPING, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_SECTION, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_FORM, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_VIEWPORT, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_LAYERED_PANE, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_ROOT_PANE, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_INTERNAL_FRAME, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_OPTION_PANE, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_SPLIT_PANE, {ax::AXSplitGroup, std::nullopt}},
      {ATSPI_ROLE_MENU, {ax::AXMenu, std::nullopt}},
      {ATSPI_ROLE_POPUP_MENU, {ax::AXMenu, std::nullopt}},
      {ATSPI_ROLE_MENU_BAR, {ax::AXMenuBar, std::nullopt}},
      {ATSPI_ROLE_MENU_ITEM, {ax::AXMenuItem, std::nullopt}},
      {ATSPI_ROLE_CHECK_MENU_ITEM, {ax::AXMenuItem, std::nullopt}},
      {ATSPI_ROLE_RADIO_MENU_ITEM, {ax::AXMenuItem, std::nullopt}},
      {ATSPI_ROLE_TEAROFF_MENU_ITEM, {ax::AXMenuItem, std::nullopt}},
      {ATSPI_ROLE_TOOL_BAR, {ax::AXToolbar, std::nullopt}},
      {ATSPI_ROLE_PAGE_TAB_LIST, {ax::AXTabGroup, std::nullopt}},
      {ATSPI_ROLE_PAGE_TAB, {ax::AXRadioButton, ax::AXTabButton}},
      {ATSPI_ROLE_SLIDER, {ax::AXSlider, std::nullopt}},
      {ATSPI_ROLE_SCROLL_BAR, {ax::AXScrollBar, std::nullopt}},
      {ATSPI_ROLE_PROGRESS_BAR, {ax::AXProgressIndicator, std::nullopt}},
      {ATSPI_ROLE_LEVEL_BAR, {ax::AXLevelIndicator, std::nullopt}},
      {ATSPI_ROLE_IMAGE, {ax::AXImage, std::nullopt}},
      {ATSPI_ROLE_ICON, {ax::AXImage, std::nullopt}},
      {ATSPI_ROLE_LINK, {ax::AXLink, std::nullopt}},
      {ATSPI_ROLE_HEADING, {ax::AXHeading, std::nullopt}},
      {ATSPI_ROLE_SEPARATOR, {ax::AXSplitter, std::nullopt}},
      {ATSPI_ROLE_TOOL_TIP, {ax::AXHelpTag, std::nullopt}},
      {ATSPI_ROLE_STATUS_BAR, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_CANVAS, {ax::AXGroup, std::nullopt}},
      {ATSPI_ROLE_DRAWING_AREA, {ax::AXGroup, std::nullopt}},
  };
  return table;
}

}  // namespace

bool needsEditableTextProbe(AtspiRole role) { return role == ATSPI_ROLE_COMBO_BOX; }

bool needsToplevelProbe(AtspiRole role) {
  return role == ATSPI_ROLE_DIALOG || role == ATSPI_ROLE_ALERT || role == ATSPI_ROLE_FILE_CHOOSER ||
         role == ATSPI_ROLE_COLOR_CHOOSER || role == ATSPI_ROLE_FONT_CHOOSER || role == ATSPI_ROLE_FILLER ||
         role == ATSPI_ROLE_PANEL || role == ATSPI_ROLE_FRAME;
}

bool needsMultiLineProbe(AtspiRole role) { return role == ATSPI_ROLE_TEXT; }

bool isItemView(AtspiRole role) {
  switch (role) {
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_TREE_TABLE:
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
      return true;
    default:
      return false;
  }
}

AxRole mapRole(AtspiRole role, const RoleContext& context) {
  switch (role) {
    case ATSPI_ROLE_TEXT:
      return {context.multiLine ? ax::AXTextArea : ax::AXTextField, std::nullopt};
    case ATSPI_ROLE_COMBO_BOX:
      return {context.holdsEditableText ? ax::AXComboBox : ax::AXPopUpButton, std::nullopt};
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
    case ATSPI_ROLE_COLOR_CHOOSER:
    case ATSPI_ROLE_FONT_CHOOSER:
      // A dialog (or chooser) inside a page is a group of controls, not a window of its own.
      if (context.toplevel) return {ax::AXWindow, ax::AXDialog};
      return {ax::AXGroup, std::nullopt};
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_PANEL:
      // Qt gives a plain top-level widget a filler's or a panel's role: a window
      // all the same. A frame inside a window is a bordered box (Qt's QFrame).
      if (context.toplevel) return {ax::AXWindow, ax::AXStandardWindow};
      return {ax::AXGroup, std::nullopt};
    default:
      break;
  }
  const auto& table = plainRoles();
  if (auto row = table.find(role); row != table.end()) return row->second;
  return {ax::AXUnknown, std::nullopt};
}

bool isTextValued(const std::string& axRole) {
  return axRole == ax::AXTextField || axRole == ax::AXTextArea || axRole == ax::AXComboBox || axRole == ax::AXStaticText ||
         axRole == ax::AXCell || axRole == ax::AXHeading;
}

bool isCheckValued(const std::string& axRole) { return axRole == ax::AXCheckBox || axRole == ax::AXRadioButton; }

}  // namespace morvel::linux_ax
