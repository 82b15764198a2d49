#include "platform/linux/gnome/ShellExtensionBus.h"

#include "platform/linux/ServiceNotice.h"
#include "platform/linux/DBusHandles.h"

#include <dbus/dbus.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace morvel::linux_ax {
namespace {

constexpr const char* gnomeShellBusName = "org.gnome.Shell";
constexpr const char* objectPath = "/org/morvel/AxHelper/Shell";
constexpr const char* interfaceName = "org.morvel.AxHelper.Shell1";
// The window list is built from what the shell holds; a capture paints the
// stage and encodes a PNG, which takes longer on a large, loaded screen.
constexpr int listTimeoutMs = 2000;
constexpr int captureTimeoutMs = 5000;
constexpr std::string_view serviceName = "the helper's GNOME Shell extension";
constexpr const char* changeSignal = "WindowsChanged";

std::string changeSignalRule() {
  return std::string("type='signal',sender='") + shellExtensionBusName + "',path='" + objectPath + "',interface='" +
         interfaceName + "',member='" + changeSignal + "'";
}

// The extension disabled and enabled again between two requests signals nothing itself.
std::string ownerChangeRule() {
  return std::string("type='signal',sender='" DBUS_SERVICE_DBUS "',interface='" DBUS_INTERFACE_DBUS
                     "',member='NameOwnerChanged',arg0='") +
         shellExtensionBusName + "'";
}

}  // namespace

bool gnomeShellOnSessionBus(bool extensionOnly) {
  DBusConnection* bus = openPrivateSessionBus();
  if (bus == nullptr) return false;
  const bool present = (!extensionOnly && dbus_bus_name_has_owner(bus, gnomeShellBusName, nullptr)) ||
                       dbus_bus_name_has_owner(bus, shellExtensionBusName, nullptr);
  closePrivateBus(bus);
  return present;
}

ShellExtensionBus::~ShellExtensionBus() { closePrivateBus(bus_); }

DBusConnection* ShellExtensionBus::connection() {
  if (bus_ != nullptr && dbus_connection_get_is_connected(bus_)) return bus_;
  if (bus_ != nullptr) {
    dbus_connection_unref(bus_);
    bus_ = nullptr;
  }
  listCurrent_ = false;
  bus_ = openPrivateSessionBus();
  if (bus_ == nullptr) return nullptr;
  ErrorGuard error;
  dbus_bus_add_match(bus_, changeSignalRule().c_str(), &error.error);
  if (!dbus_error_is_set(&error.error)) dbus_bus_add_match(bus_, ownerChangeRule().c_str(), &error.error);
  watchingChanges_ = !dbus_error_is_set(&error.error);
  return bus_;
}

bool ShellExtensionBus::takeChangeSignals() {
  bool changed = false;
  while (MessagePtr message{dbus_connection_pop_message(bus_)}) {
    changed = changed || dbus_message_is_signal(message.get(), interfaceName, changeSignal) ||
              dbus_message_is_signal(message.get(), DBUS_INTERFACE_DBUS, "NameOwnerChanged");
  }
  return changed;
}

bool ShellExtensionBus::lastListCurrent() {
  if (!listCurrent_ || bus_ == nullptr || !dbus_connection_get_is_connected(bus_)) return false;
  // What the bus has delivered by now, read without waiting: a signal leaves
  // the bus daemon before any answer the shell sent after it, so a change that
  // anyone could have seen before this request is here.
  constexpr int mostReads = 8;
  for (int read = 0; read < mostReads && listCurrent_; ++read) {
    if (!dbus_connection_read_write(bus_, 0)) {
      listCurrent_ = false;
    } else if (dbus_connection_get_dispatch_status(bus_) != DBUS_DISPATCH_DATA_REMAINS) {
      break;
    } else {
      listCurrent_ = !takeChangeSignals();
    }
  }
  return listCurrent_;
}

void ShellExtensionBus::noteAnswered(bool answered, const DBusError& error) {
  const bool missing = dbus_error_has_name(&error, DBUS_ERROR_SERVICE_UNKNOWN) ||
                       dbus_error_has_name(&error, DBUS_ERROR_NAME_HAS_NO_OWNER);
  if (answered && (missingTold_ || refusalTold_)) {
    missingTold_ = false;
    refusalTold_ = false;
    noticeServiceBack(serviceName);
  } else if (dbus_error_has_name(&error, DBUS_ERROR_ACCESS_DENIED) && !refusalTold_) {
    refusalTold_ = true;
    std::error_code unknown;
    const std::string executable = std::filesystem::read_symlink("/proc/self/exe", unknown).string();
    std::fprintf(stderr,
                 "morvel_ax_helper: the helper's GNOME Shell extension does not answer this executable (%s), so "
                 "window frames, hit tests and screen text are unknown; it answers /usr/bin/morvel_ax_helper and "
                 "the executables named in MORVEL_AX_HELPER_TRUSTED (colon-separated) in GNOME Shell's "
                 "environment\n",
                 executable.c_str());
    std::fflush(stderr);
  } else if (missing && !missingTold_) {
    missingTold_ = true;
    std::fprintf(stderr,
                 "morvel_ax_helper: GNOME Shell answers without the helper's extension, so window frames, hit tests "
                 "and screen text are unknown; enable it with `gnome-extensions enable %s` (installed with the "
                 "helper; log in again if the shell has not seen it yet)\n",
                 shellExtensionUuid);
    std::fflush(stderr);
  }
}

std::optional<std::string> ShellExtensionBus::listWindows() {
  DBusConnection* bus = connection();
  if (bus == nullptr) return std::nullopt;
  MessagePtr call(dbus_message_new_method_call(shellExtensionBusName, objectPath, interfaceName, "ListWindows"));
  if (!call) return std::nullopt;
  ErrorGuard error;
  MessagePtr reply(dbus_connection_send_with_reply_and_block(bus, call.get(), listTimeoutMs, &error.error));
  const char* text = nullptr;
  const bool answered =
      reply && dbus_message_get_args(reply.get(), &error.error, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
  noteAnswered(answered, error.error);
  // Every change signalled before the reply is older than the list.
  takeChangeSignals();
  listCurrent_ = answered && watchingChanges_;
  if (!answered) return std::nullopt;
  return std::string(text);
}

std::optional<std::int64_t> ShellExtensionBus::redraw() { return askTime("Redraw"); }

std::optional<std::int64_t> ShellExtensionBus::settle() { return askTime("Settle"); }

std::optional<std::int64_t> ShellExtensionBus::askTime(const char* method) {
  DBusConnection* bus = connection();
  if (bus == nullptr) return std::nullopt;
  MessagePtr call(dbus_message_new_method_call(shellExtensionBusName, objectPath, interfaceName, method));
  if (!call) return std::nullopt;
  ErrorGuard error;
  MessagePtr reply(dbus_connection_send_with_reply_and_block(bus, call.get(), listTimeoutMs, &error.error));
  dbus_int64_t time = 0;
  if (!reply || !dbus_message_get_args(reply.get(), &error.error, DBUS_TYPE_INT64, &time, DBUS_TYPE_INVALID)) {
    return std::nullopt;
  }
  return time;
}

std::optional<std::vector<std::uint8_t>> ShellExtensionBus::captureArea(const PixelRect& area) {
  DBusConnection* bus = connection();
  if (bus == nullptr) return std::nullopt;
  MessagePtr call(dbus_message_new_method_call(shellExtensionBusName, objectPath, interfaceName, "CaptureArea"));
  const dbus_int32_t x = area.x;
  const dbus_int32_t y = area.y;
  const dbus_int32_t width = area.width;
  const dbus_int32_t height = area.height;
  if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_INT32, &x, DBUS_TYPE_INT32, &y, DBUS_TYPE_INT32,
                                         &width, DBUS_TYPE_INT32, &height, DBUS_TYPE_INVALID)) {
    return std::nullopt;
  }
  ErrorGuard error;
  MessagePtr reply(dbus_connection_send_with_reply_and_block(bus, call.get(), captureTimeoutMs, &error.error));
  const std::uint8_t* bytes = nullptr;
  int length = 0;
  if (!reply || !dbus_message_get_args(reply.get(), &error.error, DBUS_TYPE_ARRAY, DBUS_TYPE_BYTE, &bytes, &length,
                                       DBUS_TYPE_INVALID)) {
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(bytes, bytes + length);
}

}  // namespace morvel::linux_ax
