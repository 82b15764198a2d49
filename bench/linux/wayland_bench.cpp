// X11 beside a Wayland compositor in one run, taking turns. Capture of an
// 800x600 rectangle: X11 (XShm on the virtual desktop's X server) beside, on
// sway, the in-process screencopy client and the grim command (whether grim's
// pixels, made grey the same way, equal ours), or, on GNOME Shell, the helper's
// capture through mutter's screen cast and through the extension's PNG, and
// whether their pixels agree.
// Then the commands that read the accessibility tree, through morvel_ax_helper
// on the sample contacts application in each session. Medians and ratios.
// Run through bench/linux/run-wayland-bench.sh, which brings up both sessions.

#include "accessibility/AXNames.h"
#include "platform/linux/gnome/GnomeWindowSystem.h"
#include "platform/linux/gnome/PngGrey.h"
#include "platform/linux/gnome/ShellExtensionBus.h"
#include "platform/linux/image/GreyImage.h"
#include "platform/linux/wayland/SwayWindowSystem.h"
#include "platform/linux/x11/X11Workspace.h"
#include "support/ChildProcess.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using morvel::linux_ax::GreyImage;

constexpr int rounds = 30;
constexpr int firstCaptureRounds = 10;
constexpr morvel::ax::Rect region{100, 100, 800, 600};

double millisecondsOf(const std::function<bool()>& work) {
  const auto start = Clock::now();
  if (!work()) return -1;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// grim's binary PPM of the region, made grey.
std::optional<GreyImage> grimCapture() {
  const std::string command = "grim -g '100,100 800x600' -t ppm -";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string bytes;
  char chunk[1 << 16];
  for (std::size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) bytes.append(chunk, got);
  if (pclose(pipe) != 0) return std::nullopt;
  std::istringstream header(bytes);
  std::string magic;
  int width = 0;
  int height = 0;
  int largest = 0;
  header >> magic >> width >> height >> largest;
  const auto start = static_cast<std::size_t>(header.tellg()) + 1;
  if (magic != "P6" || largest != 255 || bytes.size() < start + std::size_t(width) * height * 3) return std::nullopt;
  GreyImage grey{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
  for (std::size_t index = 0; index < grey.pixels.size(); ++index) {
    const auto* rgb = reinterpret_cast<const unsigned char*>(bytes.data() + start + index * 3);
    grey.pixels[index] = morvel::linux_ax::luminance(rgb[0], rgb[1], rgb[2]);
  }
  return grey;
}

using morvel::testing::ChildProcess;
using Environment = std::map<std::string, std::optional<std::string>>;

constexpr auto replyTimeout = std::chrono::seconds(20);

// The contacts application and a helper on one session.
struct Session {
  explicit Session(const Environment& environment)
      : app({MORVEL_CONTACTS_APP_PATH}, environment),
        helper({MORVEL_AX_HELPER_PATH}, environment) {
    ready = app.readLine(replyTimeout) == "ready";
  }
  bool ask(const std::string& request) {
    helper.writeLine(request);
    auto reply = helper.readLine(replyTimeout);
    return reply && reply->find("\"ok\":true") != std::string::npos;
  }
  // Whether the helper finds the application's focused field, asking until the
  // window is up and active or the time is out.
  bool findsTheFocus() {
    const auto deadline = std::chrono::steady_clock::now() + replyTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
      helper.writeLine(R"({"cmd":"focused"})");
      const auto reply = helper.readLine(replyTimeout);
      if (reply && reply->find("\"found\":true") != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  // The screen point of the Add button's centre, from the helper's own answer.
  std::string elementAtAdd() {
    const nlohmann::json addButton = {{"role", morvel::ax::AXButton}, {"title", "Add"}};
    helper.writeLine(nlohmann::json{{"cmd", "find"}, {"selector", {{"path", {addButton}}}}}.dump());
    const auto reply = nlohmann::json::parse(helper.readLine(replyTimeout).value_or("{}"), nullptr, false);
    const auto frame = reply.value("frame", nlohmann::json::object());
    const double x = frame.value("x", 0.0) + frame.value("w", 0.0) / 2;
    const double y = frame.value("y", 0.0) + frame.value("h", 0.0) / 2;
    return R"({"cmd":"element-at","x":)" + std::to_string(x) + R"(,"y":)" + std::to_string(y) + "}";
  }
  ChildProcess app;
  ChildProcess helper;
  bool ready = false;
};

void compareCommands(const char* compositor, const Environment& waylandEnvironment, const std::string& x11Bus) {
  // This process names the Wayland session's display and bus for its own
  // capture: the X11 side must not inherit them, or its helper would serve the
  // compositor's windows.
  Session x11(Environment{{"GDK_BACKEND", "x11"},
                          {"WAYLAND_DISPLAY", std::nullopt},
                          {"SWAYSOCK", std::nullopt},
                          {"DBUS_SESSION_BUS_ADDRESS", x11Bus}});
  Session sway(waylandEnvironment);
  if (!x11.ready || !sway.ready) {
    std::printf("commands: the contacts application did not come up\n");
    return;
  }
  // Both timed on the same work: each window up, active and found.
  if (!x11.findsTheFocus() || !sway.findsTheFocus()) {
    std::printf("commands: the helper did not find the focus on %s\n", x11.findsTheFocus() ? compositor : "X11");
    return;
  }
  std::printf("tree commands on the contacts application, median of %d rounds taking turns\n", rounds);
  std::printf("  %-12s %10s %7s ms %8s\n", "command", "X11 ms", compositor, "ratio");
  std::vector<std::pair<std::string, std::pair<std::string, std::string>>> requests = {
      {"element-at", {x11.elementAtAdd(), sway.elementAtAdd()}},
      {"focused", {R"({"cmd":"focused"})", R"({"cmd":"focused"})"}},
      {"structure", {R"({"cmd":"structure"})", R"({"cmd":"structure"})"}},
      {"fields", {R"({"cmd":"fields"})", R"({"cmd":"fields"})"}},
  };
  // What element-at hits on each, so that both are seen to time the same work.
  const auto& [x11Hit, swayHit] = requests.front().second;
  for (auto [session, request] : {std::pair{&x11, x11Hit}, std::pair{&sway, swayHit}}) {
    session->helper.writeLine(request);
    std::printf("  element-at answers %s\n", session->helper.readLine(replyTimeout).value_or("nothing").c_str());
  }
  for (const auto& [command, lines] : requests) {
    std::vector<double> onX11;
    std::vector<double> onSway;
    for (int round = 0; round < rounds; ++round) {
      onX11.push_back(millisecondsOf([&] { return x11.ask(lines.first); }));
      onSway.push_back(millisecondsOf([&] { return sway.ask(lines.second); }));
    }
    std::printf("  %-12s %10.2f %10.2f %7.2fx\n", command.c_str(), median(onX11), median(onSway),
                median(onSway) / median(onX11));
  }
}

// The capture as the helper asks it: in a burst of captures, mutter's screen
// cast, on the unchanged screen and right after the whole screen was drawn
// anew; the first capture of a burst, the extension's PNG while the cast
// opens; and the PNG alone (MORVEL_GNOME_SCREEN_CAST=0). Whether the cast's
// pixels and the PNG's agree.
void compareGnomeCapture() {
  using morvel::linux_ax::GnomeWindowSystem;
  morvel::linux_ax::X11Workspace x11;
  GnomeWindowSystem inBurst;
  GnomeWindowSystem throughPng(false);
  morvel::linux_ax::ShellExtensionBus shell;
  const morvel::linux_ax::PixelRect area = *morvel::linux_ax::pixelRectOf(region);
  std::vector<double> x11Times;
  std::vector<double> burstTimes;
  std::vector<double> afterChangeTimes;
  std::vector<double> firstTimes;
  std::vector<double> pngTimes;
  std::vector<double> settleTimes;
  const auto captureTime = [](GnomeWindowSystem& gnome) {
    return millisecondsOf([&] {
      gnome.forgetReads();
      return gnome.capture(region) != nullptr;
    });
  };
  x11.capture(region);
  throughPng.capture(region);
  // The cast opens in the background; the captures after it are the burst's.
  while (inBurst.capture(region) != nullptr && !inBurst.castOpen()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  for (int round = 0; round < rounds; ++round) {
    x11Times.push_back(millisecondsOf([&] { return x11.capture(region) != nullptr; }));
    burstTimes.push_back(captureTime(inBurst));
    settleTimes.push_back(millisecondsOf([&] { return shell.settle().has_value(); }));
    shell.redraw();
    afterChangeTimes.push_back(captureTime(inBurst));
    pngTimes.push_back(captureTime(throughPng));
  }
  // Apart, so that no other cast opens or closes under the burst's: a helper
  // whose cast is closed, its first capture answered while the cast opens.
  for (int round = 0; round < firstCaptureRounds; ++round) {
    GnomeWindowSystem idle;
    firstTimes.push_back(captureTime(idle));
  }
  const double x11Median = median(x11Times);
  const auto line = [&](const char* what, const std::vector<double>& times) {
    std::printf("  %-34s %8.2f ms  %.2fx X11\n", what, median(times), median(times) / x11Median);
  };
  std::printf("capture 800x600, median of %d rounds taking turns (first of a burst: %d rounds after them)\n", rounds,
              firstCaptureRounds);
  std::printf("  %-34s %8.2f ms\n", "X11 (XShm, Xvfb)", x11Median);
  line("GNOME, in a burst (the screen cast)", burstTimes);
  std::printf("  %-34s %8.2f ms\n", "  of which the shell's Settle", median(settleTimes));
  line("  just after a change", afterChangeTimes);
  line("GNOME, first of a burst (the PNG)", firstTimes);
  line("GNOME, the PNG alone", pngTimes);
  // The screen cast and the shell's PNG must show the same pixels.
  const auto cast = inBurst.capture(region);
  const auto png = shell.captureArea(area);
  const auto decoded = png ? morvel::linux_ax::greyImageFromPng(*png) : std::nullopt;
  if (!cast || !inBurst.castOpen()) std::printf("    the screen cast gave no frame\n");
  if (cast && decoded && cast->visible().pixels.size() == decoded->pixels.size()) {
    std::size_t differing = 0;
    for (std::size_t pixel = 0; pixel < decoded->pixels.size(); ++pixel) {
      differing += cast->visible().pixels[pixel] != decoded->pixels[pixel] ? 1 : 0;
    }
    std::printf("  %-34s %8zu of %zu\n", "pixels unlike the PNG's", differing, decoded->pixels.size());
  }
}

int compareSwayCapture(const char* swaySocket) {
  morvel::linux_ax::X11Workspace x11;
  morvel::linux_ax::SwayWindowSystem sway(swaySocket);

  std::vector<double> x11Times;
  std::vector<double> screencopyTimes;
  std::vector<double> grimTimes;
  // One untimed round each: connections, first allocations.
  x11.capture(region);
  sway.capture(region);
  grimCapture();
  for (int round = 0; round < rounds; ++round) {
    x11Times.push_back(millisecondsOf([&] { return x11.capture(region) != nullptr; }));
    screencopyTimes.push_back(millisecondsOf([&] { return sway.capture(region) != nullptr; }));
    grimTimes.push_back(millisecondsOf([&] { return grimCapture().has_value(); }));
  }
  auto ours = sway.capture(region);
  auto grims = grimCapture();
  const bool identical = ours && grims && ours->visible().pixels == grims->pixels;
  std::size_t differing = 0;
  if (ours && grims && ours->visible().pixels.size() == grims->pixels.size()) {
    for (std::size_t index = 0; index < grims->pixels.size(); ++index) {
      differing += ours->visible().pixels[index] != grims->pixels[index] ? 1 : 0;
    }
  }

  const double x11Median = median(x11Times);
  const double screencopyMedian = median(screencopyTimes);
  const double grimMedian = median(grimTimes);
  std::printf("capture 800x600, median of %d rounds taking turns\n", rounds);
  std::printf("  X11 (XShm, Xvfb)             %8.2f ms\n", x11Median);
  std::printf("  screencopy in process (sway) %8.2f ms  %.2fx X11\n", screencopyMedian, screencopyMedian / x11Median);
  std::printf("  grim (sway)                  %8.2f ms  %.2fx X11, %.2fx in process\n", grimMedian,
              grimMedian / x11Median, grimMedian / screencopyMedian);
  std::printf("  grim's pixels equal ours:    %s (%zu differ)\n", identical ? "yes" : "no", differing);
  return identical ? 0 : 1;
}

}  // namespace

// Without MORVEL_BENCH_SWAYSOCK the Wayland session is GNOME Shell's.
int main() {
  const char* swaySocket = std::getenv("MORVEL_BENCH_SWAYSOCK");
  const char* waylandDisplay = std::getenv("MORVEL_BENCH_WAYLAND_DISPLAY");
  const char* waylandBus = std::getenv("MORVEL_BENCH_BUS");
  const char* x11Bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (waylandDisplay == nullptr || std::getenv("DISPLAY") == nullptr || waylandBus == nullptr || x11Bus == nullptr ||
      std::getenv("MORVEL_BENCH_RUNTIME_DIR") == nullptr) {
    std::fprintf(stderr, "morvel_wayland_bench: run it through bench/linux/run-wayland-bench.sh\n");
    return 2;
  }
  const std::string x11BusAddress = x11Bus;
  setenv("WAYLAND_DISPLAY", waylandDisplay, 1);
  int status = 0;
  if (swaySocket != nullptr) {
    status = compareSwayCapture(swaySocket);
  } else {
    setenv("DBUS_SESSION_BUS_ADDRESS", waylandBus, 1);
    // The screen cast's frames come through the Wayland session's PipeWire.
    setenv("PIPEWIRE_RUNTIME_DIR", std::getenv("MORVEL_BENCH_RUNTIME_DIR"), 1);
    compareGnomeCapture();
  }
  Environment wayland{{"GDK_BACKEND", "wayland"},
                      {"WAYLAND_DISPLAY", waylandDisplay},
                      {"DISPLAY", std::nullopt},
                      {"DBUS_SESSION_BUS_ADDRESS", waylandBus},
                      {"XDG_RUNTIME_DIR", std::getenv("MORVEL_BENCH_RUNTIME_DIR")}};
  if (swaySocket != nullptr) wayland.emplace("SWAYSOCK", swaySocket);
  compareCommands(swaySocket != nullptr ? "sway" : "GNOME", wayland, x11BusAddress);
  return status;
}
