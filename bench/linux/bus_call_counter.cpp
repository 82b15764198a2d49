// libmorvel_bus_call_counter.so: preloaded (LD_PRELOAD) into both sides of the
// accessibility benchmark, it counts the D-Bus method calls a process sends and
// waits for, whichever library sends them: the round trips themselves, counted
// the same way for the helper and for the Python client. Read the count through
// morvel_bus_round_trips(), found with dlsym or ctypes. With MORVEL_BUS_TRACE=1
// each call is also written to stderr (interface, method, object path, when in
// microseconds of the steady clock, and the property a Properties.Get asks), to
// see which questions a command asks and when.

#include <dbus/dbus.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::uint64_t roundTrips = 0;
// libdbus may send the blocking call through its own non-blocking one: count the
// outer call only.
thread_local int sendDepth = 0;

template <class Function>
Function nextDefinition(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool traceWanted() {
  static const bool wanted = [] {
    const char* value = std::getenv("MORVEL_BUS_TRACE");
    return value != nullptr && std::strcmp(value, "1") == 0;
  }();
  return wanted;
}

// The property a Properties.Get asks for (its second argument), else none.
const char* propertyAsked(DBusMessage* message) {
  if (!dbus_message_is_method_call(message, DBUS_INTERFACE_PROPERTIES, "Get")) return nullptr;
  const char* interface = nullptr;
  const char* property = nullptr;
  DBusError ignored;
  dbus_error_init(&ignored);
  const bool read = dbus_message_get_args(message, &ignored, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                                          DBUS_TYPE_INVALID);
  dbus_error_free(&ignored);
  return read ? property : nullptr;
}

void trace(DBusMessage* message) {
  const char* interface = dbus_message_get_interface(message);
  const char* member = dbus_message_get_member(message);
  const char* path = dbus_message_get_path(message);
  const auto sent = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  std::fprintf(stderr, "bus-call %s.%s %s %lld%s%s\n", interface != nullptr ? interface : "-",
               member != nullptr ? member : "-", path != nullptr ? path : "-", static_cast<long long>(sent.count()),
               propertyAsked(message) != nullptr ? " " : "", propertyAsked(message) != nullptr ? propertyAsked(message) : "");
}

struct DepthGuard {
  explicit DepthGuard(DBusMessage* message) {
    if (sendDepth++ != 0) return;
    ++roundTrips;
    if (traceWanted()) trace(message);
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
  DepthGuard counted(message);
  return send(connection, message, timeoutMilliseconds, error);
}

__attribute__((visibility("default"))) dbus_bool_t dbus_connection_send_with_reply(DBusConnection* connection,
                                                                                   DBusMessage* message,
                                                                                   DBusPendingCall** pending,
                                                                                   int timeoutMilliseconds) {
  using Send = dbus_bool_t (*)(DBusConnection*, DBusMessage*, DBusPendingCall**, int);
  static const Send send = nextDefinition<Send>("dbus_connection_send_with_reply");
  DepthGuard counted(message);
  return send(connection, message, pending, timeoutMilliseconds);
}

}  // extern "C"
