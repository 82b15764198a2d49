// Roles of AT-SPI elements: those the element's context decides, those the
// commands look for that the sample application does not show, and those left
// out. (What a GTK form, table and window get is checked on the sample application.)

#include "accessibility/AXNames.h"
#include "platform/linux/atspi/RoleMapping.h"

#include <gtest/gtest.h>

namespace morvel::linux_ax {
namespace {

AxRole plain(AtspiRole role) { return mapRole(role, RoleContext{}); }

TEST(RoleMapping, ContextDecidesTextComboAndDialogRoles) {
  EXPECT_EQ(mapRole(ATSPI_ROLE_TEXT, {.multiLine = true}).role, ax::AXTextArea);
  EXPECT_EQ(mapRole(ATSPI_ROLE_TEXT, {.multiLine = false}).role, ax::AXTextField);
  EXPECT_EQ(mapRole(ATSPI_ROLE_COMBO_BOX, {.holdsEditableText = true}).role, ax::AXComboBox);
  EXPECT_EQ(mapRole(ATSPI_ROLE_COMBO_BOX, {.holdsEditableText = false}).role, ax::AXPopUpButton);
  const AxRole topDialog = mapRole(ATSPI_ROLE_DIALOG, {.toplevel = true});
  EXPECT_EQ(topDialog.role, ax::AXWindow);
  EXPECT_EQ(topDialog.subrole, ax::AXDialog);
  EXPECT_EQ(mapRole(ATSPI_ROLE_ALERT, {.toplevel = false}).role, ax::AXGroup);
  EXPECT_TRUE(needsToplevelProbe(ATSPI_ROLE_ALERT));
  EXPECT_EQ(mapRole(ATSPI_ROLE_FRAME, {.toplevel = true}).subrole, ax::AXStandardWindow);
  EXPECT_EQ(mapRole(ATSPI_ROLE_FRAME, {.toplevel = false}).role, ax::AXGroup);
  EXPECT_TRUE(needsToplevelProbe(ATSPI_ROLE_FRAME));
  EXPECT_FALSE(needsToplevelProbe(ATSPI_ROLE_PUSH_BUTTON));
}

TEST(RoleMapping, OutlinesListItemsAndTogglesTakeTheRolesTheCommandsLookFor) {
  EXPECT_EQ(plain(ATSPI_ROLE_TREE_TABLE).role, ax::AXOutline);
  EXPECT_EQ(plain(ATSPI_ROLE_LIST_ITEM).role, ax::AXRow);
  EXPECT_EQ(plain(ATSPI_ROLE_TOGGLE_BUTTON).role, ax::AXCheckBox);
  EXPECT_EQ(plain(ATSPI_ROLE_TOGGLE_BUTTON).subrole, ax::AXToggle);
}

TEST(RoleMapping, UnmappedRolesAreUnknown) {
  EXPECT_EQ(plain(ATSPI_ROLE_INVALID).role, ax::AXUnknown);
  EXPECT_EQ(plain(ATSPI_ROLE_MATH_FRACTION).role, ax::AXUnknown);
  EXPECT_EQ(plain(static_cast<AtspiRole>(ATSPI_ROLE_LAST_DEFINED + 7)).role, ax::AXUnknown);
}

}  // namespace
}  // namespace morvel::linux_ax
