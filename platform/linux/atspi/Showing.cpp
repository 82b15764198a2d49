#include "platform/linux/atspi/Showing.h"

#include <algorithm>

namespace morvel::linux_ax {
namespace {

// Roles the commands pick out of a walk: tables and lists ("structure") and form
// controls ("fields"). Toolkits leave such an element SHOWING with an empty frame
// when it is collapsed or was never laid out (Qt's closed combo list, Chromium's
// address bar in an application window), so their frames are asked too. Other
// roles are not: one more round trip per element would slow every walk.
bool mayBeLeftEmpty(std::optional<AtspiRole> role) {
  switch (role.value_or(ATSPI_ROLE_INVALID)) {
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_TREE_TABLE:
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_PASSWORD_TEXT:
    case ATSPI_ROLE_SPIN_BUTTON:
    case ATSPI_ROLE_COMBO_BOX:
    case ATSPI_ROLE_CHECK_BOX:
    case ATSPI_ROLE_TOGGLE_BUTTON:
    case ATSPI_ROLE_RADIO_BUTTON:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool isShown(AtspiReader& reader, AtspiAccessible* accessible) {
  auto states = reader.states(accessible);
  if (!states) return false;
  const ToolkitTraits& toolkit = reader.toolkitOf(accessible);
  // An element with no states at all is one its toolkit does not describe: a
  // socket that holds another process's tree (WebKitGTK's web view), and the
  // top of that tree. It is judged by its frame.
  const bool undescribed = *states == 0;
  if (!undescribed && toolkit.marksVisible && !hasState(*states, ATSPI_STATE_VISIBLE)) return false;
  if (hasState(*states, ATSPI_STATE_SHOWING)) return true;
  // Where the toolkit never says, what is on screen has a frame: a widget it
  // has not laid out (a hidden page) has none. What has no place of its own
  // (GTK 4's stack pages) is as shown as the children it holds.
  if (!undescribed && toolkit.marksShowing) return false;
  if (!hasPlace(reader, accessible)) return true;
  auto extents = reader.toolkitExtents(accessible);
  return extents && extents->width > 0 && extents->height > 0;
}

bool hasPlace(AtspiReader& reader, AtspiAccessible* accessible) { return reader.hasComponent(accessible); }

std::optional<PixelRect> placeOf(AtspiReader& reader, AtspiAccessible* accessible) {
  if (hasPlace(reader, accessible) || reader.role(accessible) == ATSPI_ROLE_APPLICATION) {
    return reader.screenExtents(accessible);
  }
  // Listed rather than asked by index: a hit test goes on into the same child.
  // Where the toolkit lists children in one message, a list of at most two
  // tells one child from more without the count.
  const bool listedWhole = reader.toolkitOf(accessible).childListing != ChildListing::ByIndex;
  if (!listedWhole && reader.childCount(accessible) != 1) return std::nullopt;
  auto only = reader.children(accessible, childrenListedForPlace);
  if (!only || only->size() != 1 || !hasPlace(reader, only->front().get())) return std::nullopt;
  return reader.screenExtents(only->front().get());
}

bool hasEmptyFrame(AtspiReader& reader, AtspiAccessible* accessible) {
  auto extents = reader.toolkitExtents(accessible);
  return extents && (extents->width <= 0 || extents->height <= 0);
}

std::optional<std::vector<AccessibleRef>> shownChildren(AtspiReader& reader, AtspiAccessible* accessible, int limit) {
  auto children = reader.children(accessible, limit);
  if (!children) return std::nullopt;
  // Every child's states and role are read next, and where the toolkit does not
  // mark what it shows, whether each has a frame and which.
  const ReadParts judged = reader.toolkitOf(accessible).marksShowing ? 0U : InterfacesPart | ExtentsPart;
  reader.prefetch(*children, RolePart | StatesPart | judged);
  std::erase_if(*children, [&](const AccessibleRef& child) {
    return !isShown(reader, child.get()) ||
           (mayBeLeftEmpty(reader.role(child.get())) && hasEmptyFrame(reader, child.get()));
  });
  return children;
}

}  // namespace morvel::linux_ax
