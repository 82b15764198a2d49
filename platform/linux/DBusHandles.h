#pragma once

// Owners of libdbus's reference-counted messages and of its error records,
// and the helper's private session-bus connections.

#include <dbus/dbus.h>

#include <memory>

namespace morvel::linux_ax {

struct MessageUnref {
  void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<DBusMessage, MessageUnref>;

struct PendingCallUnref {
  void operator()(DBusPendingCall* pending) const { dbus_pending_call_unref(pending); }
};
using PendingCallPtr = std::unique_ptr<DBusPendingCall, PendingCallUnref>;

struct ErrorGuard {
  DBusError error;
  ErrorGuard() { dbus_error_init(&error); }
  ~ErrorGuard() { dbus_error_free(&error); }
  ErrorGuard(const ErrorGuard&) = delete;
  ErrorGuard& operator=(const ErrorGuard&) = delete;
};

// The helper's own connection to the session bus, which must not end the
// helper when the bus goes away; nothing when there is no session bus.
inline DBusConnection* openPrivateSessionBus() {
  ErrorGuard error;
  DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error.error);
  if (bus != nullptr) dbus_connection_set_exit_on_disconnect(bus, false);
  return bus;
}

inline void closePrivateBus(DBusConnection* bus) {
  if (bus == nullptr) return;
  dbus_connection_close(bus);
  dbus_connection_unref(bus);
}

}  // namespace morvel::linux_ax
