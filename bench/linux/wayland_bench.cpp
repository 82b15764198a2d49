// X11 beside a Wayland compositor in one run, taking turns. Capture of an
// 800x600 rectangle: X11 (XShm on the virtual desktop's X server) beside, on
// sway, the in-process screencopy client and the grim command (whether grim's
// pixels, made grey the same way, equal ours), or, on GNOME Shell, the helper's
// capture (the extension's PNG: the shell's painting and PNG apart from the
// helper's decoding) beside mutter's screen cast, and whether their pixels
// agree.
// Then the commands that read the accessibility tree, through morvel_ax_helper
// on the sample contacts application in each session. Medians and ratios.
// Run through bench/linux/run-wayland-bench.sh, which brings up both sessions.

#include "accessibility/AXNames.h"
#include "platform/linux/gnome/GnomeWindowSystem.h"
#include "platform/linux/gnome/PngGrey.h"
#include "platform/linux/gnome/ScreenCastCapture.h"
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

// The capture as the helper asks it (the extension's PNG; the shell's side,
// painting, PNG and the bus, apart from the helper's decoding), and beside it
// mutter's screen cast, kept open between captures.
void compareGnomeCapture() {
  morvel::linux_ax::X11Workspace x11;
  morvel::linux_ax::GnomeWindowSystem gnome;
  morvel::linux_ax::ShellExtensionBus shell;
  morvel::linux_ax::ScreenCastCapture screenCast;
  const morvel::linux_ax::PixelRect area = *morvel::linux_ax::pixelRectOf(region);
  const auto windows = morvel::linux_ax::parseShellWindows(shell.listWindows().value_or(""));
  const morvel::linux_ax::PixelRect screen{0, 0, windows ? windows->screenWidth : 0, windows ? windows->screenHeight : 0};
  const bool oneMonitor = windows && windows->monitorCount == 1;
  const auto grabCast = [&] { return screenCast.grab(area, screen, oneMonitor, shell); };
  std::vector<double> x11Times;
  std::vector<double> gnomeTimes;
  std::vector<double> shellTimes;
  std::vector<double> decodeTimes;
  std::vector<double> castTimes;
  std::vector<double> castAfterChangeTimes;
  std::vector<double> settleTimes;
  std::size_t pngBytes = 0;
  x11.capture(region);
  gnome.capture(region);
  for (int round = 0; round < rounds; ++round) {
    x11Times.push_back(millisecondsOf([&] { return x11.capture(region) != nullptr; }));
    gnomeTimes.push_back(millisecondsOf([&] {
      gnome.forgetReads();
      return gnome.capture(region) != nullptr;
    }));
    std::optional<std::vector<std::uint8_t>> png;
    shellTimes.push_back(millisecondsOf([&] { return (png = shell.captureArea(area)).has_value(); }));
    decodeTimes.push_back(millisecondsOf([&] { return png && morvel::linux_ax::greyImageFromPng(*png); }));
    pngBytes = png ? png->size() : 0;
    grabCast();
    castTimes.push_back(millisecondsOf([&] { return grabCast().has_value(); }));
    settleTimes.push_back(millisecondsOf([&] { return shell.settle().has_value(); }));
    // The whole screen drawn anew just before: the capture waits for its frame.
    shell.redraw();
    castAfterChangeTimes.push_back(millisecondsOf([&] { return grabCast().has_value(); }));
  }
  const double x11Median = median(x11Times);
  std::printf("capture 800x600, median of %d rounds taking turns\n", rounds);
  std::printf("  X11 (XShm, Xvfb)              %8.2f ms\n", x11Median);
  std::printf("  GNOME, as the helper asks     %8.2f ms  %.2fx X11\n", median(gnomeTimes), median(gnomeTimes) / x11Median);
  std::printf("    the shell's CaptureArea     %8.2f ms  (a PNG of %zu bytes)\n", median(shellTimes), pngBytes);
  std::printf("    the helper's PNG decoding   %8.2f ms\n", median(decodeTimes));
  std::printf("  mutter's screen cast          %8.2f ms  %.2fx X11  (the screen unchanged)\n", median(castTimes),
              median(castTimes) / x11Median);
  std::printf("    of which the shell's Settle %8.2f ms\n", median(settleTimes));
  std::printf("    just after a change         %8.2f ms  %.2fx X11\n", median(castAfterChangeTimes),
              median(castAfterChangeTimes) / x11Median);
  // The screen cast and the shell's PNG must show the same pixels.
  const auto cast = grabCast();
  const auto png = shell.captureArea(area);
  const auto decoded = png ? morvel::linux_ax::greyImageFromPng(*png) : std::nullopt;
  if (!cast) std::printf("    the screen cast gave no frame\n");
  if (cast && decoded && cast->pixels.size() == decoded->pixels.size()) {
    std::size_t differing = 0;
    for (std::size_t pixel = 0; pixel < decoded->pixels.size(); ++pixel) {
      differing += cast->pixels[pixel] != decoded->pixels[pixel] ? 1 : 0;
    }
    std::printf("    pixels unlike the PNG's     %8zu of %zu\n", differing, decoded->pixels.size());
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
