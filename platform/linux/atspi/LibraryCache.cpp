#include "platform/linux/atspi/LibraryCache.h"

namespace morvel::linux_ax {
namespace {

// Events are handled between reads; a flood of them is cut off here rather than
// holding up the request.
constexpr int mostEventsPerDrain = 10000;

}  // namespace

void enableLibraryCache() {
  // The desktop's mask holds for every application that sets none of its own.
  AccessibleRef desktop = AccessibleRef::adopt(atspi_get_desktop(0));
  if (desktop) atspi_accessible_set_cache_mask(desktop.get(), libraryCacheMask);
}

bool heldInLibraryCache(AtspiAccessible* accessible, AtspiCache part) {
  if (accessible == nullptr || (part & libraryCacheMask) == 0) return false;
  if ((accessible->cached_properties & part) == 0) return false;
  // libatspi never serves transient objects (list cells, for instance) from its cache.
  return accessible->states == nullptr || !atspi_state_set_contains(accessible->states, ATSPI_STATE_TRANSIENT);
}

void drainPendingEvents() {
  for (int handled = 0; handled < mostEventsPerDrain && g_main_context_iteration(nullptr, FALSE); ++handled) {
  }
}

}  // namespace morvel::linux_ax
