// morvel_ax_bench: per-command median latency, libatspi calls and D-Bus round
// trips of the helper's accessibility commands on whatever application is in
// front (the benchmark script puts gtk3-widget-factory there). Each request is
// handled as the request loop does, between requestStarted and replyWritten, in
// this process.
//
// Output, one line per command:
//   "<command> median_us=<n> calls=<n> round_trips=<n> found=<bool>[ answer=<x>,<y>,<w>,<h>]"
// calls are the libatspi calls that may reach the application; round_trips are
// the method calls sent on the bus, counted by libmorvel_bus_call_counter.so
// when it is preloaded ("-" without it); answer is the frame of the element that
// element-at answered or that selector-at's selector names (as a find of it,
// after the measured rounds, answers), for comparing the answers of two clients.
// Benchmarks report; they never fail on a time.
//
//   morvel_ax_bench [--rounds N] [--point NAME X Y]... [--find-button TITLE]
// --rounds sets the measured rounds per command; each --point adds a screen
// point, named NAME in the output, to those probed by element-at, selector-at
// and find; --find-button adds "find-button", a "find" of the button with that
// title, as a client that knows the button's name asks it.

#include "accessibility/Clock.h"
#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "app/Dispatcher.h"
#include "platform/linux/atspi/LinuxAccessibility.h"
#include "platform/linux/LinuxScreen.h"
#include "platform/linux/x11/X11Workspace.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using morvel::Json;

constexpr int warmupRounds = 1;
constexpr int defaultMeasuredRounds = 9;

// Points over the front window, as fractions of its frame; the pyatspi script
// uses the same ones.
constexpr double probePoints[][2] = {{0.25, 0.30}, {0.50, 0.50}, {0.75, 0.30}, {0.30, 0.80}, {0.60, 0.70}};

// How long the front window may take to show with a frame, and how often it is asked.
constexpr std::chrono::seconds frontWindowWait{90};
constexpr std::chrono::milliseconds frontWindowPoll{500};

// One resolution per "find", no waiting: the cost of a lookup, not of a pause.
constexpr int findTimeoutMs = 0;

using RoundTripCounter = std::uint64_t (*)();

RoundTripCounter roundTripCounter() {
  return reinterpret_cast<RoundTripCounter>(dlsym(RTLD_DEFAULT, "morvel_bus_round_trips"));
}

struct Measure {
  double medianMicros = 0;
  std::uint64_t calls = 0;
  std::optional<std::uint64_t> roundTrips;
  bool found = false;
  Json reply;
};

class Bench {
 public:
  Bench(morvel::linux_ax::LinuxAccessibility& ax, morvel::Platform& platform, int measuredRounds)
      : ax_(ax), platform_(platform), counter_(roundTripCounter()), measuredRounds_(measuredRounds) {}

  Json ask(const Json& request) {
    ax_.requestStarted();
    Json reply = morvel::handle(request, platform_);
    ax_.replyWritten();
    return reply;
  }

  Measure measure(const Json& request) {
    std::vector<double> micros;
    Measure result;
    for (int round = 0; round < warmupRounds + measuredRounds_; ++round) {
      const auto callsBefore = ax_.callCount();
      const auto tripsBefore = roundTrips();
      const auto started = std::chrono::steady_clock::now();
      Json reply = ask(request);
      const auto took = std::chrono::steady_clock::now() - started;
      if (round < warmupRounds) continue;
      micros.push_back(std::chrono::duration<double, std::micro>(took).count());
      result.calls = ax_.callCount() - callsBefore;
      if (counter_ != nullptr) result.roundTrips = roundTrips() - tripsBefore;
      result.found = reply.value("found", reply.contains("axDigest"));
      result.reply = std::move(reply);
    }
    std::sort(micros.begin(), micros.end());
    result.medianMicros = micros[micros.size() / 2];
    return result;
  }

 private:
  std::uint64_t roundTrips() const { return counter_ != nullptr ? counter_() : 0; }

  morvel::linux_ax::LinuxAccessibility& ax_;
  morvel::Platform& platform_;
  RoundTripCounter counter_;
  int measuredRounds_;
};

// The frame of the element a reply answers, as "x,y,w,h" in whole pixels; empty
// where it names none.
std::string answeredFrame(const Json& reply) {
  auto frame = reply.find("frame");
  if (frame == reply.end() || !frame->is_object()) return {};
  std::string answer;
  for (const char* key : {"x", "y", "w", "h"}) {
    if (!frame->contains(key) || !(*frame)[key].is_number()) return {};
    answer += (answer.empty() ? "" : ",") + std::to_string(std::lround((*frame)[key].get<double>()));
  }
  return answer;
}

void report(const std::string& name, const Measure& m, const std::string& answer = {}) {
  const std::string trips = m.roundTrips ? std::to_string(*m.roundTrips) : std::string("-");
  std::printf("%s median_us=%.0f calls=%llu round_trips=%s found=%s%s%s\n", name.c_str(), m.medianMicros,
              static_cast<unsigned long long>(m.calls), trips.c_str(), m.found ? "true" : "false",
              answer.empty() ? "" : " answer=", answer.c_str());
  std::fflush(stdout);
}

struct Probe {
  std::string name;
  double x = 0;
  double y = 0;
};

Json atProbe(const char* command, const Probe& probe) { return {{"cmd", command}, {"x", probe.x}, {"y", probe.y}}; }

// The whole selector-at reply goes back, as a client would send it.
Json findRequest(const Json& selector) { return {{"cmd", "find"}, {"selector", selector}, {"timeoutMs", findTimeoutMs}}; }

struct Options {
  int measuredRounds = defaultMeasuredRounds;
  std::vector<Probe> namedPoints;
  std::optional<std::string> buttonTitle;
};

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument == "--rounds" && index + 1 < argc) {
      options.measuredRounds = std::max(1, std::atoi(argv[++index]));
    } else if (argument == "--find-button" && index + 1 < argc) {
      options.buttonTitle = argv[++index];
    } else if (argument == "--point" && index + 3 < argc) {
      options.namedPoints.push_back({argv[index + 1], std::atof(argv[index + 2]), std::atof(argv[index + 3])});
      index += 3;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  auto options = parseOptions(argc, argv);
  if (!options) {
    std::puts("usage: morvel_ax_bench [--rounds N] [--point NAME X Y]... [--find-button TITLE]");
    return 2;
  }
  morvel::linux_ax::X11Workspace windows;
  morvel::linux_ax::LinuxAccessibility ax(windows);
  morvel::linux_ax::LinuxScreen screen(windows);
  morvel::ax::SystemClock clock;
  morvel::Platform platform{ax, screen, clock};
  if (!ax.connected()) {
    std::puts("no accessibility bus");
    return 1;
  }
  // A browser's window may be in front a while before it has a frame (Firefox
  // lays out its page first): wait for both, as a client would.
  morvel::ax::FrontWindow front;
  std::optional<morvel::ax::Rect> frame;
  const auto givingUp = std::chrono::steady_clock::now() + frontWindowWait;
  do {
    ax.requestStarted();
    front = morvel::ax::frontmostWindow(ax);
    frame = front.window ? morvel::ax::axFrame(ax, *front.window) : std::nullopt;
    ax.replyWritten();
    if (frame) break;
    std::this_thread::sleep_for(frontWindowPoll);
  } while (std::chrono::steady_clock::now() < givingUp);
  const auto& window = front.window;
  if (!window) {
    std::puts("no front window");
    return 1;
  }

  std::vector<Probe> probes;
  // Points over the window need its frame (some browsers' windows have none).
  for (std::size_t index = 0; frame && index < std::size(probePoints); ++index) {
    probes.push_back({"#" + std::to_string(index), frame->x + frame->width * probePoints[index][0],
                      frame->y + frame->height * probePoints[index][1]});
  }
  for (const Probe& named : options->namedPoints) probes.push_back({"@" + named.name, named.x, named.y});

  Bench bench(ax, platform, options->measuredRounds);
  report("ping", bench.measure({{"cmd", "ping"}}));
  report("focused", bench.measure({{"cmd", "focused"}}));
  for (const Probe& probe : probes) {
    Measure elementAt = bench.measure(atProbe("element-at", probe));
    report("element-at" + probe.name, elementAt, answeredFrame(elementAt.reply));
  }
  std::vector<Json> selectors;
  for (const Probe& probe : probes) {
    Measure selectorAt = bench.measure(atProbe("selector-at", probe));
    report("selector-at" + probe.name, selectorAt, answeredFrame(bench.ask(findRequest(selectorAt.reply))));
    selectors.push_back(std::move(selectorAt.reply));
  }
  for (std::size_t index = 0; index < selectors.size(); ++index) {
    report("find" + probes[index].name, bench.measure(findRequest(selectors[index])));
  }
  if (options->buttonTitle) {
    const Json target = {{"role", morvel::ax::AXButton}, {"title", *options->buttonTitle}};
    const Json selector = {{"path", Json::array({target})}, {"windowTitle", front.title.value_or("")}};
    report("find-button", bench.measure({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", findTimeoutMs}}));
  }
  report("structure", bench.measure({{"cmd", "structure"}}));
  report("fields", bench.measure({{"cmd", "fields"}}));
  report("fingerprint", bench.measure({{"cmd", "fingerprint"}}));
  return 0;
}
