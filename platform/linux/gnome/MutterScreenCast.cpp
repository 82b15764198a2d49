#include "platform/linux/gnome/MutterScreenCast.h"

#include "platform/linux/DBusHandles.h"

#include <chrono>

namespace morvel::linux_ax {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* screenCastName = "org.gnome.Mutter.ScreenCast";
constexpr const char* screenCastPath = "/org/gnome/Mutter/ScreenCast";
constexpr const char* sessionInterface = "org.gnome.Mutter.ScreenCast.Session";
constexpr const char* streamInterface = "org.gnome.Mutter.ScreenCast.Stream";
constexpr const char* nodeSignal = "PipeWireStreamAdded";
// Each step is one call that mutter answers from its main loop; the node is
// named once the stream is known to PipeWire.
constexpr int callTimeoutMs = 2000;
constexpr auto nodeDeadline = std::chrono::seconds(2);
// Mutter's cursor modes: 0 leaves the pointer out of the frames.
constexpr dbus_uint32_t cursorHidden = 0;

// Appends an a{sv} with at most one entry, a uint32 (none when `key` is null).
bool appendOptions(DBusMessage* message, const char* key, dbus_uint32_t value) {
  DBusMessageIter args;
  DBusMessageIter options;
  dbus_message_iter_init_append(message, &args);
  if (!dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &options)) return false;
  if (key != nullptr) {
    DBusMessageIter entry;
    DBusMessageIter variant;
    if (!dbus_message_iter_open_container(&options, DBUS_TYPE_DICT_ENTRY, nullptr, &entry) ||
        !dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key) ||
        !dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, DBUS_TYPE_UINT32_AS_STRING, &variant) ||
        !dbus_message_iter_append_basic(&variant, DBUS_TYPE_UINT32, &value) ||
        !dbus_message_iter_close_container(&entry, &variant) || !dbus_message_iter_close_container(&options, &entry)) {
      return false;
    }
  }
  return dbus_message_iter_close_container(&args, &options);
}

MessagePtr call(DBusConnection* bus, DBusMessage* message) {
  ErrorGuard error;
  return MessagePtr(dbus_connection_send_with_reply_and_block(bus, message, callTimeoutMs, &error.error));
}

std::optional<std::string> objectPathOf(DBusMessage* reply) {
  const char* path = nullptr;
  ErrorGuard error;
  if (reply == nullptr || !dbus_message_get_args(reply, &error.error, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID)) {
    return std::nullopt;
  }
  return std::string(path);
}

std::string nodeSignalRule(const std::string& streamPath) {
  return std::string("type='signal',sender='") + screenCastName + "',path='" + streamPath + "',interface='" +
         streamInterface + "',member='" + nodeSignal + "'";
}

}  // namespace

MutterScreenCast::~MutterScreenCast() {
  stop();
  closePrivateBus(bus_);
}

DBusConnection* MutterScreenCast::connection() {
  if (bus_ != nullptr && dbus_connection_get_is_connected(bus_)) return bus_;
  closePrivateBus(bus_);
  sessionPath_.clear();
  bus_ = openPrivateSessionBus();
  return bus_;
}

std::optional<std::uint32_t> MutterScreenCast::start(const PixelRect& area, bool wholeMonitor) {
  stop();
  DBusConnection* bus = connection();
  if (bus == nullptr) return std::nullopt;
  MessagePtr create(dbus_message_new_method_call(screenCastName, screenCastPath, screenCastName, "CreateSession"));
  if (!create || !appendOptions(create.get(), nullptr, 0)) return std::nullopt;
  auto session = objectPathOf(call(bus, create.get()).get());
  if (!session) return std::nullopt;
  sessionPath_ = *session;

  MessagePtr record(dbus_message_new_method_call(screenCastName, sessionPath_.c_str(), sessionInterface,
                                                 wholeMonitor ? "RecordMonitor" : "RecordArea"));
  const dbus_int32_t x = area.x;
  const dbus_int32_t y = area.y;
  const dbus_int32_t width = area.width;
  const dbus_int32_t height = area.height;
  const char* primaryMonitor = "";
  const bool described =
      record && (wholeMonitor ? dbus_message_append_args(record.get(), DBUS_TYPE_STRING, &primaryMonitor, DBUS_TYPE_INVALID)
                              : dbus_message_append_args(record.get(), DBUS_TYPE_INT32, &x, DBUS_TYPE_INT32, &y,
                                                         DBUS_TYPE_INT32, &width, DBUS_TYPE_INT32, &height,
                                                         DBUS_TYPE_INVALID));
  if (!described || !appendOptions(record.get(), "cursor-mode", cursorHidden)) {
    stop();
    return std::nullopt;
  }
  auto stream = objectPathOf(call(bus, record.get()).get());
  if (!stream) {
    stop();
    return std::nullopt;
  }
  auto node = awaitNode(*stream);
  if (!node) stop();
  return node;
}

std::optional<std::uint32_t> MutterScreenCast::awaitNode(const std::string& streamPath) {
  const std::string rule = nodeSignalRule(streamPath);
  ErrorGuard error;
  dbus_bus_add_match(bus_, rule.c_str(), &error.error);
  if (dbus_error_is_set(&error.error)) return std::nullopt;
  MessagePtr begin(dbus_message_new_method_call(screenCastName, sessionPath_.c_str(), sessionInterface, "Start"));
  std::optional<std::uint32_t> node;
  if (begin && call(bus_, begin.get())) {
    const auto deadline = Clock::now() + nodeDeadline;
    // The signal may have come with Start's answer, already read.
    while (!node && dbus_connection_get_is_connected(bus_)) {
      while (MessagePtr message{dbus_connection_pop_message(bus_)}) {
        dbus_uint32_t id = 0;
        if (dbus_message_is_signal(message.get(), streamInterface, nodeSignal) &&
            dbus_message_has_path(message.get(), streamPath.c_str()) &&
            dbus_message_get_args(message.get(), nullptr, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID)) {
          node = id;
        }
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (node || left.count() <= 0) break;
      dbus_connection_read_write(bus_, static_cast<int>(left.count()) + 1);
    }
  }
  dbus_bus_remove_match(bus_, rule.c_str(), nullptr);
  return node;
}

void MutterScreenCast::stop() {
  if (sessionPath_.empty() || bus_ == nullptr) return;
  MessagePtr end(dbus_message_new_method_call(screenCastName, sessionPath_.c_str(), sessionInterface, "Stop"));
  // Nobody waits for the answer: the session is gone either way.
  if (end) {
    dbus_message_set_no_reply(end.get(), true);
    dbus_connection_send(bus_, end.get(), nullptr);
    dbus_connection_flush(bus_);
  }
  sessionPath_.clear();
}

}  // namespace morvel::linux_ax
