#include "platform/linux/atspi/AccessibilityBus.h"

#include "platform/linux/ServiceNotice.h"
#include "platform/linux/atspi/GlibOwnership.h"
#include "platform/linux/atspi/QuietLogs.h"

#include <sys/time.h>

#include <vector>

namespace morvel::linux_ax {
namespace {

constexpr std::string_view serviceName = "the accessibility bus";
// While the bus is away a request tries to connect no more often than this:
// a try reads the bus address (from the X root window or the session bus) and
// opens a socket, which is quick but not free.
constexpr auto retryInterval = std::chrono::milliseconds(500);

// atspi_init's answers when it connected (1 means it already had).
constexpr int atspiInitialized = 0;
constexpr int atspiAlreadyInitialized = 1;

// libatspi's application records. libatspi keeps each for the life of the
// process; so does this, with a reference of its own, so that none can be
// finalized under it.
std::vector<AtspiApplication*>& applicationRecords() {
  static std::vector<AtspiApplication*> records;
  return records;
}

void (*libraryConstructed)(GObject*) = nullptr;

void rememberRecord(GObject* object) {
  if (libraryConstructed != nullptr) libraryConstructed(object);
  applicationRecords().push_back(ATSPI_APPLICATION(g_object_ref(object)));
}

// Before libatspi makes its first record.
void watchApplicationRecords() {
  static const bool watching = [] {
    auto* objectClass = G_OBJECT_CLASS(g_type_class_ref(ATSPI_TYPE_APPLICATION));
    libraryConstructed = objectClass->constructed;
    objectClass->constructed = rememberRecord;
    return true;
  }();
  (void)watching;
}

// What libatspi sets up for an application it meets for the first time, on the
// new connection. Calls then go over the bus (libatspi would open a direct
// connection to the application for a new record; the bus is as correct).
void renewRecord(AtspiApplication* application, DBusConnection* bus) {
  // Releases what still belongs to the old connection; a second dispose of a
  // disposed record finds nothing to release.
  g_object_run_dispose(G_OBJECT(application));
  application->bus = dbus_connection_ref(bus);
  application->hash = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_object_unref);
  application->cache = ATSPI_CACHE_UNDEFINED;
  g_clear_pointer(&application->toolkit_name, g_free);
  g_clear_pointer(&application->toolkit_version, g_free);
  g_clear_pointer(&application->atspi_version, g_free);
  gettimeofday(&application->time_added, nullptr);
  // libatspi files the registry under its bus name too without taking a
  // reference, and drops one when the new bus gives the same name again: this
  // one keeps every record alive for as long as libatspi may hand it out.
  g_object_ref(application);
}

}  // namespace

AccessibilityBus::AccessibilityBus() {
  silenceLibraryLogs();
  watchApplicationRecords();
  connect();
}

bool AccessibilityBus::connect() {
  lastAttempt_ = std::chrono::steady_clock::now();
  const int status = atspi_init();
  if (status != atspiInitialized && status != atspiAlreadyInitialized) {
    // libatspi counts itself initialised even so, and any later call would end
    // the process for want of a bus: it must forget this try.
    atspi_exit();
    return false;
  }
  DBusConnection* bus = atspi_get_a11y_bus();
  if (bus == nullptr) {
    atspi_exit();
    return false;
  }
  bus_ = dbus_connection_ref(bus);
  return true;
}

AccessibilityBus::~AccessibilityBus() {
  if (bus_ != nullptr) dbus_connection_unref(bus_);
}

bool AccessibilityBus::broken() const { return bus_ != nullptr && !dbus_connection_get_is_connected(bus_); }

void AccessibilityBus::leave() {
  if (bus_ == nullptr) return;
  dbus_connection_unref(bus_);
  bus_ = nullptr;
  atspi_exit();
  if (!lost_) {
    lost_ = true;
    noticeServiceLost(serviceName);
  }
}

bool AccessibilityBus::reconnect() {
  if (bus_ != nullptr) return true;
  if (std::chrono::steady_clock::now() - lastAttempt_ < retryInterval) return false;
  if (!connect()) return false;
  for (AtspiApplication* application : applicationRecords()) renewRecord(application, bus_);
  if (lost_) {
    lost_ = false;
    noticeServiceBack(serviceName);
  }
  return true;
}

}  // namespace morvel::linux_ax
