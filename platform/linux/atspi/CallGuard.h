#pragma once

// Every libatspi call that may reach an application goes through the guard. It
// gives the call the messaging time-out in force for that application, times it,
// and keeps the rule for applications that stop answering: libatspi reports a
// timed-out property read as an empty answer rather than an error, so a call
// that lasted about as long as its time-out is a failed call, and every further
// call on that application fails at once until the reply has been written.
//
// Before its first call of an attempt an application is pinged over the bus,
// where libdbus keeps the time-out exactly. libatspi's own wait for a reply on
// an application's private connection starts over whenever another message
// arrives, so that a call to a frozen application can last two time-outs; the
// ping finds the frozen application first, in one.

#include "platform/linux/DBusHandles.h"
#include "platform/linux/atspi/GlibOwnership.h"

#include <dbus/dbus.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <type_traits>

namespace morvel::linux_ax {

class CallGuard {
 public:
  using Milliseconds = std::chrono::milliseconds;

  // The time-out of every call unless a command sets another: long enough for a
  // busy application, short enough that a frozen one costs one wait per request.
  static constexpr Milliseconds defaultTimeout{2000};
  // No time-out may exceed this, whatever a command asks for.
  static constexpr Milliseconds longestTimeout{60000};

  // Runs `call(GError**)` against the application of `target`. Absent when the
  // application is gone or hung, when the call timed out, or when it reported an
  // error; otherwise the call's result.
  template <class Call>
  auto run(AtspiAccessible* target, Call&& call) -> std::optional<std::invoke_result_t<Call, GError**>> {
    const std::string* application = applicationOf(target);
    if (application == nullptr) return std::nullopt;
    ping(*application);
    if (hung_.contains(*application)) return std::nullopt;
    const Milliseconds limit = timeoutFor(*application);
    atspi_set_timeout(static_cast<gint>(limit.count()), noStartupGrace);
    CallError error;
    const auto started = std::chrono::steady_clock::now();
    auto result = call(error.out());
    ++calls_;
    if (timedOut(std::chrono::steady_clock::now() - started, limit)) {
      hung_.insert(*application);
      return std::nullopt;
    }
    if (error.isSet()) return std::nullopt;
    return result;
  }

  // Runs `call(GError**)` on what libatspi already holds for `target`: no time-out
  // and no call counted, but the same answer as `run` for an application that is
  // gone or hung.
  template <class Call>
  auto runHeld(AtspiAccessible* target, Call&& call) -> std::optional<std::invoke_result_t<Call, GError**>> {
    const std::string* application = applicationOf(target);
    if (application == nullptr || hung_.contains(*application)) return std::nullopt;
    CallError error;
    auto result = call(error.out());
    if (error.isSet()) return std::nullopt;
    return result;
  }

  // Whether the application answered its ping of this attempt, pinging it if it
  // has not been yet, or waiting for the ping sent. Its answer comes after every
  // event it sent before, and those have been handled when this is true.
  bool ping(const std::string& application);
  // Sends the ping of this attempt to `application` where its answer is neither
  // known nor on its way, without waiting: questions sent to the application
  // before `ping` waits for the answer share the ping's wait.
  void sendPing(const std::string& application);
  // Whether the application may be asked: not hung, and its ping of this
  // attempt answered or on its way.
  bool mayAsk(const std::string& application) const;

  // The accessibility bus the pings go over (libatspi's connection), or none
  // while there is no connection.
  void useBus(DBusConnection* bus) { bus_ = bus; }

  // A time-out for every application (set through the system-wide element); it
  // stays in force for the life of the process.
  void setDefaultTimeout(double seconds);
  // A time-out for one application, for the rest of the current request.
  void setApplicationTimeout(AtspiAccessible* member, double seconds);

  bool isHung(AtspiAccessible* member) const;
  // For calls made outside `run`: how long one may wait, that it was made, and
  // that it found the application hung.
  Milliseconds timeoutFor(const std::string& application) const;
  void countCalls(std::uint64_t calls) { calls_ += calls; }
  void markHung(const std::string& application) { hung_.insert(application); }
  // The command paused: the applications may have sent events since.
  void endAttempt() {
    pinged_.clear();
    dropPingsInFlight();
  }
  // The reply has been written: forget hung and pinged applications and request
  // time-outs.
  void endRequest();

  // libatspi calls made so far (for benchmarks and tests).
  std::uint64_t callCount() const { return calls_; }

  // The bus name of the application `accessible` belongs to, or nothing when the
  // application has gone away.
  static const std::string* applicationOf(AtspiAccessible* accessible);

 private:
  static constexpr gint noStartupGrace = 0;

  static bool timedOut(std::chrono::steady_clock::duration elapsed, Milliseconds limit);
  void dropPingsInFlight();
  static std::optional<Milliseconds> clampTimeout(double seconds);

  Milliseconds defaultTimeout_ = defaultTimeout;
  std::map<std::string, Milliseconds, std::less<>> requestTimeouts_;
  std::set<std::string, std::less<>> hung_;
  std::map<std::string, bool, std::less<>> pinged_;
  struct PingInFlight {
    PendingCallPtr pending;
    std::chrono::steady_clock::time_point sent;
  };
  std::map<std::string, PingInFlight, std::less<>> pingsInFlight_;
  std::uint64_t calls_ = 0;
  DBusConnection* bus_ = nullptr;
  // Keeps the bus names handed out by applicationOf alive and stable.
  static std::set<std::string, std::less<>>& busNames();
};

}  // namespace morvel::linux_ax
