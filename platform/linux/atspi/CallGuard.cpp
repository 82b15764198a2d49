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

// The ping of the application that owns `busName`, sent over the accessibility
// bus (every D-Bus peer answers it); none when it could not be sent.
PendingCallPtr sendPingOverBus(DBusConnection* bus, const std::string& busName, CallGuard::Milliseconds timeout) {
  if (bus == nullptr) return {};
  MessagePtr message(dbus_message_new_method_call(busName.c_str(), "/", DBUS_INTERFACE_PEER, "Ping"));
  DBusPendingCall* pending = nullptr;
  if (!message || !dbus_connection_send_with_reply(bus, message.get(), &pending, static_cast<int>(timeout.count()))) {
    return {};
  }
  return PendingCallPtr(pending);
}

// Whether the ping was answered, waiting for the answer until its time-out.
bool answered(DBusPendingCall* ping) {
  dbus_pending_call_block(ping);
  MessagePtr reply(dbus_pending_call_steal_reply(ping));
  return reply && dbus_message_get_type(reply.get()) != DBUS_MESSAGE_TYPE_ERROR;
}

}  // namespace

void CallGuard::sendPing(const std::string& application) {
  if (hung_.contains(application) || pinged_.contains(application) || pingsInFlight_.contains(application)) return;
  const auto sent = std::chrono::steady_clock::now();
  PendingCallPtr pending = sendPingOverBus(bus_, application, timeoutFor(application));
  ++calls_;
  if (!pending) {
    pinged_[application] = false;
    return;
  }
  pingsInFlight_.emplace(application, PingInFlight{std::move(pending), sent});
}

bool CallGuard::ping(const std::string& application) {
  if (hung_.contains(application)) return false;
  sendPing(application);
  if (auto known = pinged_.find(application); known != pinged_.end()) return known->second;
  auto inFlight = pingsInFlight_.extract(application);
  const bool wasAnswered = answered(inFlight.mapped().pending.get());
  pinged_[application] = wasAnswered;
  // Timed out when it went unanswered for its time-out from the moment it was
  // sent (questions sent with it wait no longer than it).
  if (wasAnswered) {
    drainPendingEvents();
  } else if (timedOut(std::chrono::steady_clock::now() - inFlight.mapped().sent, timeoutFor(application))) {
    hung_.insert(application);
  }
  return wasAnswered;
}

bool CallGuard::mayAsk(const std::string& application) const {
  if (hung_.contains(application)) return false;
  auto known = pinged_.find(application);
  return known == pinged_.end() ? pingsInFlight_.contains(application) : known->second;
}

void CallGuard::dropPingsInFlight() {
  for (auto& [application, inFlight] : pingsInFlight_) dbus_pending_call_cancel(inFlight.pending.get());
  pingsInFlight_.clear();
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
  dropPingsInFlight();
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
