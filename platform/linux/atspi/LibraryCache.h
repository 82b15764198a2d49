#pragma once

// libatspi's own cache of role, name, description and states. libatspi fills it
// in one batch for every object an application reports (the first time it sees
// the application) and keeps it current from the change events the toolkit
// always sends for those four. The helper lets it serve them, but only once the
// events an application sent before the current request have been handled: see
// AtspiReader::syncWith. Child lists and parents are never served from it (its
// cached child lists can be wrong).

#include "platform/linux/atspi/GlibOwnership.h"

#include <cstdint>

namespace morvel::linux_ax {

// What libatspi may keep for the helper.
constexpr AtspiCache libraryCacheMask = static_cast<AtspiCache>(
    ATSPI_CACHE_ROLE | ATSPI_CACHE_NAME | ATSPI_CACHE_DESCRIPTION | ATSPI_CACHE_STATES | ATSPI_CACHE_INTERFACES);

// Turns the cache on for every application; call after each connection.
void enableLibraryCache();

// Whether libatspi would answer a read of `part` of `accessible` without asking
// the application (the same test libatspi makes).
bool heldInLibraryCache(AtspiAccessible* accessible, AtspiCache part);

// Leaves a value the helper read by its own question in libatspi's cache, as
// libatspi's own read would have, where the application's mask lets it keep
// that part: later requests are served from it like any other cached value.
void keepRoleInLibraryCache(AtspiAccessible* accessible, AtspiRole role);
void keepStatesInLibraryCache(AtspiAccessible* accessible, std::uint64_t states);
// The interfaces, from an answer to GetInterfaces, numbered as libatspi numbers them.
void keepInterfacesInLibraryCache(AtspiAccessible* accessible, DBusMessage* reply);
// `part`: ATSPI_CACHE_NAME or ATSPI_CACHE_DESCRIPTION.
void keepTextInLibraryCache(AtspiAccessible* accessible, AtspiCache part, const char* text);

// Handles the events and replies that have arrived (cache updates among them),
// at most a bounded number so that a flood cannot hold up a request.
void drainPendingEvents();

}  // namespace morvel::linux_ax
