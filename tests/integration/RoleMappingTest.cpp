// Roles of AT-SPI elements: those the element's context decides, those the
// commands look for that the sample application does not show, and those left
// out. (What a GTK form, table and window get is checked on the sample application.)

#include "platform/linux/atspi/RoleMapping.h"

#include <gtest/gtest.h>

namespace morvel::linux_ax {
namespace {

AxRole plain(AtspiRole role) { return mapRole(role, RoleContext{}); }

TEST(RoleMapping, ContextDecidesTextComboAndDialogRoles) {
  EXPECT_EQ(mapRole(ATSPI_ROLE_TEXT, {.multiLine = true}).role, "AXTextArea");
  EXPECT_EQ(mapRole(ATSPI_ROLE_TEXT, {.multiLine = false}).role, "AXTextField");
  EXPECT_EQ(mapRole(ATSPI_ROLE_COMBO_BOX, {.holdsEditableText = true}).role, "AXComboBox");
  EXPECT_EQ(mapRole(ATSPI_ROLE_COMBO_BOX, {.holdsEditableText = false}).role, "AXPopUpButton");
  const AxRole topDialog = mapRole(ATSPI_ROLE_DIALOG, {.toplevel = true});
  EXPECT_EQ(topDialog.role, "AXWindow");
  EXPECT_EQ(topDialog.subrole, "AXDialog");
  EXPECT_EQ(mapRole(ATSPI_ROLE_ALERT, {.toplevel = false}).role, "AXGroup");
  EXPECT_TRUE(needsToplevelProbe(ATSPI_ROLE_ALERT));
  EXPECT_FALSE(needsToplevelProbe(ATSPI_ROLE_FRAME));
}

TEST(RoleMapping, OutlinesListItemsAndTogglesTakeTheRolesTheCommandsLookFor) {
  EXPECT_EQ(plain(ATSPI_ROLE_TREE_TABLE).role, "AXOutline");
  EXPECT_EQ(plain(ATSPI_ROLE_LIST_ITEM).role, "AXRow");
  EXPECT_EQ(plain(ATSPI_ROLE_TOGGLE_BUTTON).role, "AXCheckBox");
  EXPECT_EQ(plain(ATSPI_ROLE_TOGGLE_BUTTON).subrole, "AXToggle");
}

TEST(RoleMapping, UnmappedRolesAreUnknown) {
  EXPECT_EQ(plain(ATSPI_ROLE_INVALID).role, "AXUnknown");
  EXPECT_EQ(plain(ATSPI_ROLE_MATH_FRACTION).role, "AXUnknown");
  EXPECT_EQ(plain(static_cast<AtspiRole>(ATSPI_ROLE_LAST_DEFINED + 7)).role, "AXUnknown");
}

}  // namespace
}  // namespace morvel::linux_ax
