#include "platform/linux/CallGuard.h"

#include <cmath>

namespace morvel::linux_ax {
namespace {

// A call that took this share of its time-out or more was cut off by it: D-Bus
// fires the time-out on its own clock, so the measured time can fall a little
// short of the nominal value.
constexpr double timedOutShare = 0.9;

}  // namespace

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
  synced_.clear();
  requestTimeouts_.clear();
}

CallGuard::Milliseconds CallGuard::timeoutFor(AtspiAccessible* member) const {
  const std::string* application = applicationOf(member);
  return application == nullptr ? defaultTimeout_ : timeoutFor(*application);
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
