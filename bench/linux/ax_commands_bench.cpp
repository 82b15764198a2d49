// morvel_ax_bench: per-command median latency and libatspi calls of the helper's
// commands on whatever application is in front (the benchmark script puts
// gtk3-widget-factory there). Each request is handled as the request loop does,
// between requestStarted and replyWritten, in this process.
//
// Output, one line per command: "<command> median_us=<n> calls=<n> found=<bool>".
// Benchmarks report; they never fail on a time.

#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "app/Dispatcher.h"
#include "platform/linux/LinuxAccessibility.h"
#include "platform/linux/LinuxScreen.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using morvel::Json;

constexpr int warmupRounds = 2;
constexpr int measuredRounds = 25;

// Points over the front window, as fractions of its frame; the pyatspi script
// uses the same ones.
constexpr double probePoints[][2] = {{0.25, 0.30}, {0.50, 0.50}, {0.75, 0.30}, {0.30, 0.80}, {0.60, 0.70}};

struct Measure {
  double medianMicros = 0;
  std::uint64_t calls = 0;
  bool found = false;
};

Measure measure(morvel::linux_ax::LinuxAccessibility& ax, morvel::Platform& platform, const Json& request) {
  std::vector<double> micros;
  Measure result;
  for (int round = 0; round < warmupRounds + measuredRounds; ++round) {
    const auto callsBefore = ax.callCount();
    const auto started = std::chrono::steady_clock::now();
    ax.requestStarted();
    Json reply = morvel::handle(request, platform);
    ax.replyWritten();
    const auto took = std::chrono::steady_clock::now() - started;
    if (round < warmupRounds) continue;
    micros.push_back(std::chrono::duration<double, std::micro>(took).count());
    result.calls = ax.callCount() - callsBefore;
    result.found = reply.value("found", false);
  }
  std::sort(micros.begin(), micros.end());
  result.medianMicros = micros[micros.size() / 2];
  return result;
}

}  // namespace

int main() {
  morvel::linux_ax::LinuxAccessibility ax;
  morvel::linux_ax::LinuxScreen screen;
  morvel::ax::SystemClock clock;
  morvel::Platform platform{ax, screen, clock};
  if (!ax.connected()) {
    std::puts("no accessibility bus");
    return 1;
  }
  ax.requestStarted();
  auto window = morvel::ax::frontmostWindow(ax).window;
  auto frame = window ? morvel::ax::axFrame(ax, *window) : std::nullopt;
  ax.replyWritten();
  if (!frame) {
    std::puts("no front window");
    return 1;
  }

  auto report = [](const char* name, const Measure& m) {
    std::printf("%s median_us=%.0f calls=%llu found=%s\n", name, m.medianMicros,
                static_cast<unsigned long long>(m.calls), m.found ? "true" : "false");
  };
  report("ping", measure(ax, platform, {{"cmd", "ping"}}));
  report("focused", measure(ax, platform, {{"cmd", "focused"}}));
  int index = 0;
  for (const auto& point : probePoints) {
    const Json request = {{"cmd", "element-at"},
                          {"x", frame->x + frame->width * point[0]},
                          {"y", frame->y + frame->height * point[1]}};
    const std::string name = "element-at#" + std::to_string(index++);
    report(name.c_str(), measure(ax, platform, request));
  }
  return 0;
}
