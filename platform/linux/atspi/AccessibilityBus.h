#pragma once

// The connection to the accessibility bus, through libatspi, for the life of
// the helper: the bus (its launcher, its daemon, the session bus that tells its
// address) may go away and come back under a new address while the helper runs.
//
// A broken connection is noticed from what libdbus already knows once pending
// events have been handled, without a round trip. Connecting again means
// libatspi's atspi_exit and atspi_init, and one repair: libatspi keeps its
// records of the applications it met (the registry's among them) by bus name
// for the life of the process, disposed by atspi_exit, and a new bus hands out
// the same names again, so a record met again would fail every call. Every
// record libatspi makes is therefore known here and made fresh for the new bus.

#include <dbus/dbus.h>

#include <chrono>

namespace morvel::linux_ax {

class AccessibilityBus {
 public:
  // Connects at once when the bus is there.
  AccessibilityBus();
  ~AccessibilityBus();
  AccessibilityBus(const AccessibilityBus&) = delete;
  AccessibilityBus& operator=(const AccessibilityBus&) = delete;

  bool connected() const { return bus_ != nullptr; }
  // libatspi's connection, or null while there is none.
  DBusConnection* connection() const { return bus_; }
  // Whether the connection has broken; handle pending events first, which is
  // where libdbus learns it.
  bool broken() const;
  // Lets libatspi forget the broken connection. Every reference into it must
  // have been released before.
  void leave();
  // Connects again unless the last try was moments ago; whether connected now.
  bool reconnect();

 private:
  bool connect();

  // libatspi's connection while connected, with a reference of this object's.
  DBusConnection* bus_ = nullptr;
  bool lost_ = false;
  std::chrono::steady_clock::time_point lastAttempt_{};
};

}  // namespace morvel::linux_ax
