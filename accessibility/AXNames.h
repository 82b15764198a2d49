#pragma once

// The attribute, role and subrole names of the protocol's vocabulary. Clients
// store selectors holding these strings, so every backend answers with exactly
// these; a misspelt name would read as "no value", which is why code names them
// through these constants rather than through literals.

namespace morvel::ax {

// Attributes
inline constexpr char AXRole[] = "AXRole";
inline constexpr char AXSubrole[] = "AXSubrole";
inline constexpr char AXRoleDescription[] = "AXRoleDescription";
inline constexpr char AXIdentifier[] = "AXIdentifier";
inline constexpr char AXTitle[] = "AXTitle";
inline constexpr char AXDescription[] = "AXDescription";
inline constexpr char AXHelp[] = "AXHelp";
inline constexpr char AXValue[] = "AXValue";
inline constexpr char AXPlaceholderValue[] = "AXPlaceholderValue";
inline constexpr char AXSelectedText[] = "AXSelectedText";
inline constexpr char AXEnabled[] = "AXEnabled";
inline constexpr char AXFrame[] = "AXFrame";
inline constexpr char AXPosition[] = "AXPosition";
inline constexpr char AXSize[] = "AXSize";
inline constexpr char AXParent[] = "AXParent";
inline constexpr char AXChildren[] = "AXChildren";
inline constexpr char AXRows[] = "AXRows";
inline constexpr char AXWindows[] = "AXWindows";
inline constexpr char AXFocusedWindow[] = "AXFocusedWindow";
inline constexpr char AXFocusedApplication[] = "AXFocusedApplication";
inline constexpr char AXFocusedUIElement[] = "AXFocusedUIElement";
inline constexpr char AXTitleUIElement[] = "AXTitleUIElement";

// Roles
inline constexpr char AXSystemWide[] = "AXSystemWide";
inline constexpr char AXApplication[] = "AXApplication";
inline constexpr char AXWindow[] = "AXWindow";
inline constexpr char AXSheet[] = "AXSheet";
inline constexpr char AXDrawer[] = "AXDrawer";
inline constexpr char AXGroup[] = "AXGroup";
inline constexpr char AXScrollArea[] = "AXScrollArea";
inline constexpr char AXSplitGroup[] = "AXSplitGroup";
inline constexpr char AXSplitter[] = "AXSplitter";
inline constexpr char AXWebArea[] = "AXWebArea";
inline constexpr char AXTable[] = "AXTable";
inline constexpr char AXOutline[] = "AXOutline";
inline constexpr char AXGrid[] = "AXGrid";
inline constexpr char AXList[] = "AXList";
inline constexpr char AXRow[] = "AXRow";
inline constexpr char AXCell[] = "AXCell";
inline constexpr char AXButton[] = "AXButton";
inline constexpr char AXMenuButton[] = "AXMenuButton";
inline constexpr char AXPopUpButton[] = "AXPopUpButton";
inline constexpr char AXCheckBox[] = "AXCheckBox";
inline constexpr char AXRadioButton[] = "AXRadioButton";
inline constexpr char AXTextField[] = "AXTextField";
inline constexpr char AXTextArea[] = "AXTextArea";
inline constexpr char AXComboBox[] = "AXComboBox";
inline constexpr char AXStaticText[] = "AXStaticText";
inline constexpr char AXImage[] = "AXImage";
inline constexpr char AXLink[] = "AXLink";
inline constexpr char AXHeading[] = "AXHeading";
inline constexpr char AXMenu[] = "AXMenu";
inline constexpr char AXMenuBar[] = "AXMenuBar";
inline constexpr char AXMenuBarItem[] = "AXMenuBarItem";
inline constexpr char AXMenuItem[] = "AXMenuItem";
inline constexpr char AXToolbar[] = "AXToolbar";
inline constexpr char AXTabGroup[] = "AXTabGroup";
inline constexpr char AXSlider[] = "AXSlider";
inline constexpr char AXScrollBar[] = "AXScrollBar";
inline constexpr char AXProgressIndicator[] = "AXProgressIndicator";
inline constexpr char AXLevelIndicator[] = "AXLevelIndicator";
inline constexpr char AXHelpTag[] = "AXHelpTag";
inline constexpr char AXUnknown[] = "AXUnknown";

// Subroles
inline constexpr char AXStandardWindow[] = "AXStandardWindow";
inline constexpr char AXDialog[] = "AXDialog";
inline constexpr char AXSecureTextField[] = "AXSecureTextField";
inline constexpr char AXSearchField[] = "AXSearchField";
inline constexpr char AXToggle[] = "AXToggle";
inline constexpr char AXTabButton[] = "AXTabButton";

}  // namespace morvel::ax
