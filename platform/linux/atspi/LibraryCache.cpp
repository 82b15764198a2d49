#include "platform/linux/atspi/LibraryCache.h"

// libatspi's own setter of an element's interfaces from an answer, exported
// though not in the public headers: its numbering of interfaces is its own.
extern "C" void _atspi_dbus_set_interfaces(AtspiAccessible* accessible, DBusMessageIter* iter);

namespace morvel::linux_ax {
namespace {

// Events are handled between reads; a flood of them is cut off here rather than
// holding up the request.
constexpr int mostEventsPerDrain = 10000;

// libatspi's own test: an application without a mask of its own follows the
// desktop's, which is ours (or libatspi's default, which keeps these parts too).
bool libraryKeeps(AtspiAccessible* accessible, AtspiCache part) {
  const AtspiApplication* application = accessible->parent.app;
  if (application == nullptr || (part & libraryCacheMask) == 0) return false;
  return application->cache == ATSPI_CACHE_UNDEFINED || (application->cache & part) != 0;
}

}  // namespace

void keepRoleInLibraryCache(AtspiAccessible* accessible, AtspiRole role) {
  if (!libraryKeeps(accessible, ATSPI_CACHE_ROLE)) return;
  accessible->role = role;
  accessible->cached_properties |= ATSPI_CACHE_ROLE;
}

void keepStatesInLibraryCache(AtspiAccessible* accessible, std::uint64_t states) {
  if (!libraryKeeps(accessible, ATSPI_CACHE_STATES)) return;
  // A set of its own, not tied to the element: once the cache is dropped, a tied
  // set would ask the application at every test of a state.
  if (accessible->states == nullptr) accessible->states = atspi_state_set_new(nullptr);
  accessible->states->states = static_cast<gint64>(states);
  accessible->cached_properties |= ATSPI_CACHE_STATES;
}

void keepInterfacesInLibraryCache(AtspiAccessible* accessible, DBusMessage* reply) {
  // libatspi keeps interfaces whatever the mask: they never change.
  DBusMessageIter iter;
  if (!dbus_message_iter_init(reply, &iter) || dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return;
  _atspi_dbus_set_interfaces(accessible, &iter);
  accessible->cached_properties |= ATSPI_CACHE_INTERFACES;
}

void keepTextInLibraryCache(AtspiAccessible* accessible, AtspiCache part, const char* text) {
  if (!libraryKeeps(accessible, part) || text == nullptr) return;
  char*& kept = part == ATSPI_CACHE_NAME ? accessible->name : accessible->description;
  g_free(kept);
  kept = g_strdup(text);
  accessible->cached_properties |= part;
}

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
