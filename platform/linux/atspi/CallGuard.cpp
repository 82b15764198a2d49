#include "platform/linux/atspi/CallGuard.h"

#include "platform/linux/DBusHandles.h"
#include "platform/linux/atspi/LibraryCache.h"

#include <cmath>

namespace morvel::linux_ax {
namespace {

// A call that took this share of its time-out or more was cut off by it: D-Bus
// fires the time-out on its own clock, so the measured time can fall a little
// short of the nominal value.
constexpr double timedOutShare = 0.9;

// One round trip over the accessibility bus to the application that owns
// `busName`; every D-Bus peer answers it.
bool pingOverBus(DBusConnection* bus, const std::string& busName, CallGuard::Milliseconds timeout) {
  if (bus == nullptr) return false;
  MessagePtr message(dbus_message_new_method_call(busName.c_str(), "/", DBUS_INTERFACE_PEER, "Ping"));
  if (!message) return false;
  ErrorGuard error;
  MessagePtr reply(
      dbus_connection_send_with_reply_and_block(bus, message.get(), static_cast<int>(timeout.count()), &error.error));
  return reply != nullptr;
}

}  // namespace

bool CallGuard::ping(const std::string& application) {
  if (hung_.contains(application)) return false;
  if (auto known = pinged_.find(application); known != pinged_.end()) return known->second;
  const Milliseconds limit = timeoutFor(application);
  const auto started = std::chrono::steady_clock::now();
  const bool answered = pingOverBus(bus_, application, limit);
  ++calls_;
  pinged_[application] = answered;
  if (answered) {
    drainPendingEvents();
  } else if (timedOut(std::chrono::steady_clock::now() - started, limit)) {
    hung_.insert(application);
  }
  return answered;
}

std::set<std::string, std::less<>>& CallGuard::busNames() {
  static std::set<std::string, std::less<>> names;
  return names;
}

const std::string* CallGuard::applicationOf(AtspiAccessible* accessible) {
  if (accessible == nullptr) return nullptr;
  AtspiApplication* application = accessible->parent.app;
  if (application == nullptr || application->bus == nullptr || application->bus_name == nullptr) return nullptr;
  return &*busNames().insert(application->bus_name).first;
}

std::optional<CallGuard::Milliseconds> CallGuard::clampTimeout(double seconds) {
  if (!std::isfinite(seconds) && seconds > 0) return longestTimeout;
  if (!(seconds > 0)) return std::nullopt;  // zero, negative or NaN: back to the default
  const double milliseconds = std::ceil(seconds * 1000.0);
  if (milliseconds >= static_cast<double>(longestTimeout.count())) return longestTimeout;
  return Milliseconds(static_cast<Milliseconds::rep>(milliseconds));
}

void CallGuard::setDefaultTimeout(double seconds) { defaultTimeout_ = clampTimeout(seconds).value_or(defaultTimeout); }

void CallGuard::setApplicationTimeout(AtspiAccessible* member, double seconds) {
  const std::string* application = applicationOf(member);
  if (application == nullptr) return;
  if (auto limit = clampTimeout(seconds)) {
    requestTimeouts_[*application] = *limit;
  } else {
    requestTimeouts_.erase(*application);
  }
}

bool CallGuard::isHung(AtspiAccessible* member) const {
  const std::string* application = applicationOf(member);
  return application != nullptr && hung_.contains(*application);
}

void CallGuard::endRequest() {
  hung_.clear();
  pinged_.clear();
  requestTimeouts_.clear();
}

CallGuard::Milliseconds CallGuard::timeoutFor(const std::string& application) const {
  if (auto found = requestTimeouts_.find(application); found != requestTimeouts_.end()) return found->second;
  return defaultTimeout_;
}

bool CallGuard::timedOut(std::chrono::steady_clock::duration elapsed, Milliseconds limit) {
  return std::chrono::duration<double, std::milli>(elapsed).count() >=
         timedOutShare * static_cast<double>(limit.count());
}

}  // namespace morvel::linux_ax
