#pragma once

// The pieces of the virtual desktop the integration tests use: the helper
// process, the sample applications, and what the X server says about windows.

#include "support/ChildProcess.h"
#include "support/Eventually.h"
#include "support/ReplyChecks.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel::testing {

// Generous bound for one reply of a healthy helper on a loaded machine.
constexpr auto replyTimeout = 10000ms;
// For replies whose work no bound fits on every machine (recognising a page
// under the sanitizers on a loaded machine): the wait ends with the reply or
// with the helper's exit, and ctest's time-out of the test is the backstop.
constexpr auto untilReplied = std::chrono::milliseconds(std::chrono::hours(24));
// How long an application may take to show its window and settle.
constexpr auto startupTimeout = 20000ms;

class HelperProcess {
 public:
  explicit HelperProcess(const std::map<std::string, std::optional<std::string>>& environment = {});
  // Another program that speaks the helper's protocol (the simulator over a scene).
  explicit HelperProcess(std::vector<std::string> argv);
  // Sends one request and returns its reply, or nothing if none came in time.
  std::optional<Json> ask(const Json& request, std::chrono::milliseconds timeout = replyTimeout);
  ChildProcess& process() { return process_; }

 private:
  ChildProcess process_;
};

// Asks each request of `helper` and of a helper that asks every read on its
// own: both answer the same, and each finds what it was asked for. An
// application that drops what it made on demand (a sheet's cells) may answer a
// read once as gone: such a pair is asked again, up to `attempts` times in all.
// Inline, so that the benchmarks linking this support code need no test framework.
inline void expectSameAsSerialReads(HelperProcess& helper, const std::vector<Json>& requests, int attempts = 1) {
  HelperProcess oneByOne(std::map<std::string, std::optional<std::string>>{{"MORVEL_AX_SERIAL_READS", "1"}});
  for (const Json& request : requests) {
    Json fast;
    Json serial;
    for (int attempt = 0; attempt < attempts && (attempt == 0 || fast != serial); ++attempt) {
      fast = helper.ask(request).value_or(Json::object());
      // Read one by one, a sheet's cells take seconds on a loaded machine.
      serial = oneByOne.ask(request, untilReplied).value_or(Json::object());
    }
    EXPECT_EQ(fast, serial) << request;
    EXPECT_EQ(fast.value("found", fast.contains("axDigest")), true) << request << fast.dump().substr(0, 400);
  }
}

// A sample application the tests drive over its standard input.
class FixtureApplication {
 public:
  // The contacts application, or another program that speaks the same protocol,
  // with `environment` set on top of ours (GDK_SCALE...).
  explicit FixtureApplication(std::vector<std::string> argv = {MORVEL_CONTACTS_APP_PATH},
                              const std::map<std::string, std::optional<std::string>>& environment = {});
  // The application's answer to one command line.
  std::string command(const std::string& line);
  // The answer to a command that replies with a count N and then N lines.
  std::vector<std::string> commandLines(const std::string& line);
  // A widget's frame on screen: the X server's position of the window's client
  // area plus the widget's place in it as the toolkit laid it out, in the
  // toolkit's units that are `scale` pixels each.
  ScreenRect frameOf(const std::string& widget, int scale = 1);
  pid_t pid() const { return process_.pid(); }
  bool started() const { return started_; }

 private:
  ChildProcess process_;
  bool started_ = false;
};

// The client window of a process as the X server places it (root coordinates),
// once it is viewable; polls until the deadline.
std::optional<ScreenRect> clientWindowOf(pid_t pid, std::chrono::milliseconds timeout = startupTimeout);
// The same window with the decorations the window manager puts around it.
std::optional<ScreenRect> framedWindowOf(pid_t pid, std::chrono::milliseconds timeout = startupTimeout);
// The client area of the window manager's active window.
std::optional<ScreenRect> activeClientWindow();
// Asks the window manager to put the client window of a process at x, y of
// the screen and waits until it is there.
bool moveWindowOf(pid_t pid, int x, int y);
// Asks the window manager to make the client window of a process active and
// waits until it is.
bool activateWindowOf(pid_t pid);
// The process that owns the window manager's active window.
std::optional<std::int32_t> activeWindowPid();

}  // namespace morvel::testing
