// libmorvel_bus_call_counter.so: preloaded (LD_PRELOAD) into both sides of the
// accessibility benchmark, it counts the D-Bus method calls a process sends and
// waits for, whichever library sends them: the round trips themselves, counted
// the same way for the helper and for the Python client. Read the count through
// morvel_bus_round_trips(), found with dlsym or ctypes.

#include <dbus/dbus.h>
#include <dlfcn.h>

#include <cstdint>

namespace {

std::uint64_t roundTrips = 0;
// libdbus may send the blocking call through its own non-blocking one: count the
// outer call only.
thread_local int sendDepth = 0;

template <class Function>
Function nextDefinition(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

struct DepthGuard {
  DepthGuard() {
    if (sendDepth++ == 0) ++roundTrips;
  }
  ~DepthGuard() { --sendDepth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) std::uint64_t morvel_bus_round_trips() { return roundTrips; }

__attribute__((visibility("default"))) DBusMessage* dbus_connection_send_with_reply_and_block(
    DBusConnection* connection, DBusMessage* message, int timeoutMilliseconds, DBusError* error) {
  using Send = DBusMessage* (*)(DBusConnection*, DBusMessage*, int, DBusError*);
  static const Send send = nextDefinition<Send>("dbus_connection_send_with_reply_and_block");
  DepthGuard counted;
  return send(connection, message, timeoutMilliseconds, error);
}

__attribute__((visibility("default"))) dbus_bool_t dbus_connection_send_with_reply(DBusConnection* connection,
                                                                                   DBusMessage* message,
                                                                                   DBusPendingCall** pending,
                                                                                   int timeoutMilliseconds) {
  using Send = dbus_bool_t (*)(DBusConnection*, DBusMessage*, DBusPendingCall**, int);
  static const Send send = nextDefinition<Send>("dbus_connection_send_with_reply");
  DepthGuard counted;
  return send(connection, message, pending, timeoutMilliseconds);
}

}  // extern "C"
