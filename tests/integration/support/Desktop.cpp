#include "support/Desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace morvel::testing {
namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

std::vector<unsigned long> windowProperty(Display* display, Window window, const char* name, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> items;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1 << 16, False, type, &actualType,
                         &format, &count, &remaining, &data) == Success &&
      data != nullptr && format == 32) {
    const auto* longs = reinterpret_cast<const unsigned long*>(data);
    items.assign(longs, longs + count);
  }
  if (data != nullptr) XFree(data);
  return items;
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

// A connection to the test's X server on which a window that went meanwhile is
// no error.
DisplayPtr openDisplay() {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (display) XSetErrorHandler(ignoreErrors);
  return display;
}

std::optional<Window> activeWindow(Display* display) {
  auto active = windowProperty(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
  if (active.empty() || active.front() == 0) return std::nullopt;
  return active.front();
}

std::optional<Window> viewableWindowOf(Display* display, pid_t pid) {
  const Window root = DefaultRootWindow(display);
  for (unsigned long window : windowProperty(display, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
    auto owner = windowProperty(display, window, "_NET_WM_PID", XA_CARDINAL);
    if (owner.empty() || static_cast<pid_t>(owner.front()) != pid) continue;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) != 0 && attributes.map_state == IsViewable) return window;
  }
  return std::nullopt;
}

std::optional<ScreenRect> placeOf(Display* display, std::optional<Window> window) {
  XWindowAttributes attributes;
  int x = 0;
  int y = 0;
  Window child = 0;
  if (!window || XGetWindowAttributes(display, *window, &attributes) == 0 ||
      XTranslateCoordinates(display, *window, DefaultRootWindow(display), 0, 0, &x, &y, &child) == 0) {
    return std::nullopt;
  }
  return ScreenRect{x, y, attributes.width, attributes.height};
}

std::optional<ScreenRect> viewableClientOf(Display* display, pid_t pid) {
  return placeOf(display, viewableWindowOf(display, pid));
}

}  // namespace

HelperProcess::HelperProcess(const std::map<std::string, std::optional<std::string>>& environment)
    : process_({MORVEL_AX_HELPER_PATH}, environment) {}

HelperProcess::HelperProcess(std::vector<std::string> argv) : process_(std::move(argv)) {}

std::optional<Json> HelperProcess::ask(const Json& request, std::chrono::milliseconds timeout) {
  process_.writeLine(request.dump());
  auto line = process_.readLine(timeout);
  if (!line) return std::nullopt;
  return Json::parse(*line, nullptr, /*allow_exceptions=*/false);
}

FixtureApplication::FixtureApplication(std::vector<std::string> argv,
                                       const std::map<std::string, std::optional<std::string>>& environment)
    : process_(std::move(argv), environment) {
  auto line = process_.readLine(startupTimeout);
  started_ = line == "ready" && clientWindowOf(process_.pid()).has_value();
}

std::string FixtureApplication::command(const std::string& line) {
  process_.writeLine(line);
  return process_.readLine(replyTimeout).value_or("");
}

std::vector<std::string> FixtureApplication::commandLines(const std::string& line) {
  std::vector<std::string> lines;
  std::size_t count = 0;
  try {
    count = std::stoul(command(line));
  } catch (const std::exception&) {
    return lines;
  }
  for (std::size_t index = 0; index < count; ++index) {
    auto next = process_.readLine(replyTimeout);
    if (!next) break;
    lines.push_back(*next);
  }
  return lines;
}

ScreenRect FixtureApplication::frameOf(const std::string& widget, int scale) {
  std::istringstream place(command("geometry " + widget));
  ScreenRect inWindow;
  if (!(place >> inWindow.x >> inWindow.y >> inWindow.width >> inWindow.height)) {
    throw std::runtime_error("no geometry for " + widget);
  }
  auto client = clientWindowOf(process_.pid());
  if (!client) throw std::runtime_error("application window not on screen");
  return {client->x + inWindow.x * scale, client->y + inWindow.y * scale, inWindow.width * scale,
          inWindow.height * scale};
}

std::optional<ScreenRect> clientWindowOf(pid_t pid, std::chrono::milliseconds timeout) {
  DisplayPtr display = openDisplay();
  if (!display) return std::nullopt;
  std::optional<ScreenRect> found;
  eventually([&] { return (found = viewableClientOf(display.get(), pid)).has_value(); }, timeout);
  return found;
}

std::optional<ScreenRect> framedWindowOf(pid_t pid, std::chrono::milliseconds timeout) {
  auto client = clientWindowOf(pid, timeout);
  if (!client) return std::nullopt;
  DisplayPtr display = openDisplay();
  if (!display) return std::nullopt;
  auto window = viewableWindowOf(display.get(), pid);
  if (!window) return std::nullopt;
  // Left, right, top and bottom decoration widths.
  auto extents = windowProperty(display.get(), *window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
  if (extents.size() != 4) return client;
  const int left = static_cast<int>(extents[0]);
  const int right = static_cast<int>(extents[1]);
  const int top = static_cast<int>(extents[2]);
  const int bottom = static_cast<int>(extents[3]);
  return ScreenRect{client->x - left, client->y - top, client->width + left + right, client->height + top + bottom};
}

std::optional<ScreenRect> activeClientWindow() {
  DisplayPtr display = openDisplay();
  if (!display) return std::nullopt;
  return placeOf(display.get(), activeWindow(display.get()));
}

bool moveWindowOf(pid_t pid, int x, int y) {
  DisplayPtr display = openDisplay();
  if (!display) return false;
  auto window = viewableWindowOf(display.get(), pid);
  if (!window) return false;
  XMoveWindow(display.get(), *window, x, y);
  XFlush(display.get());
  // The window manager puts its frame there, the client window inside it.
  constexpr int decorationSlack = 40;
  return eventually(
      [&] {
        auto client = viewableClientOf(display.get(), pid);
        return client && std::abs(client->x - x) <= decorationSlack && std::abs(client->y - y) <= decorationSlack;
      },
      startupTimeout);
}

bool activateWindowOf(pid_t pid) {
  DisplayPtr display = openDisplay();
  if (!display) return false;
  auto window = viewableWindowOf(display.get(), pid);
  if (!window) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = *window;
  event.xclient.message_type = XInternAtom(display.get(), "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  constexpr long fromAPager = 2;  // a source the window manager obeys without second thoughts
  event.xclient.data.l[0] = fromAPager;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display.get(), DefaultRootWindow(display.get()), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XFlush(display.get());
  return eventually([&] { return activeWindowPid() == pid; }, startupTimeout);
}

std::optional<std::int32_t> activeWindowPid() {
  DisplayPtr display = openDisplay();
  if (!display) return std::nullopt;
  auto active = activeWindow(display.get());
  if (!active) return std::nullopt;
  auto owner = windowProperty(display.get(), *active, "_NET_WM_PID", XA_CARDINAL);
  if (owner.empty()) return std::nullopt;
  return static_cast<std::int32_t>(owner.front());
}

}  // namespace morvel::testing
