#include "platform/linux/x11/X11Workspace.h"

#include "platform/linux/x11/X11Ownership.h"
#include "platform/linux/x11/UnmanagedWindows.h"
#include "text/UnicodeText.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <cstring>

namespace morvel::linux_ax {
namespace {

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

// A window property as raw items; empty when missing or of another format.
struct Property {
  std::vector<unsigned char> bytes;
  std::vector<unsigned long> items;  // format 32, as Xlib returns it (long-sized)
  Atom type = None;
};

std::optional<Property> readProperty(Display* display, WindowId window, Atom name, Atom wantedType) {
  // Enough for any title or window list a desktop holds.
  constexpr long maxPropertyLongs = 1 << 16;
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* received = nullptr;
  const int status = XGetWindowProperty(display, window, name, 0, maxPropertyLongs, False, wantedType, &actualType,
                                        &format, &count, &remaining, &received);
  const XPtr<unsigned char> data(received);
  if (status != Success || !data) return std::nullopt;
  Property property;
  property.type = actualType;
  if (format == 8) {
    property.bytes.assign(data.get(), data.get() + count);
  } else if (format == 32) {
    const auto* longs = reinterpret_cast<const unsigned long*>(data.get());
    property.items.assign(longs, longs + count);
  }
  if (actualType == None) return std::nullopt;
  return property;
}

std::optional<unsigned long> firstItem(Display* display, WindowId window, const char* name, Atom type) {
  auto property = readProperty(display, window, atom(display, name), type);
  if (!property || property->items.empty()) return std::nullopt;
  return property->items.front();
}

std::optional<std::string> textProperty(Display* display, WindowId window, const char* name, Atom type) {
  auto property = readProperty(display, window, atom(display, name), type);
  if (!property || property->bytes.empty()) return std::nullopt;
  std::string text(property->bytes.begin(), property->bytes.end());
  if (auto end = text.find('\0'); end != std::string::npos) text.resize(end);
  return repairUtf8(text);
}

// The process behind the X client that created `window`, as the server knows
// it (local clients only): for windows that do not state their own.
std::optional<std::int32_t> serverKnownPid(Display* display, WindowId window) {
  int eventBase = 0;
  int errorBase = 0;
  if (!XResQueryExtension(display, &eventBase, &errorBase)) return std::nullopt;
  XResClientIdSpec spec{static_cast<XID>(window), XRES_CLIENT_ID_PID_MASK};
  long count = 0;
  XResClientIdValue* values = nullptr;
  if (XResQueryClientIds(display, 1, &spec, &count, &values) != Success) return std::nullopt;
  std::optional<std::int32_t> pid;
  for (long index = 0; index < count; ++index) {
    if (XResGetClientIdType(&values[index]) != XRES_CLIENT_ID_PID) continue;
    const pid_t found = XResGetClientPid(&values[index]);
    if (found > 0) pid = static_cast<std::int32_t>(found);
  }
  XResClientIdsDestroy(count, values);
  return pid;
}

}  // namespace

Display* X11Workspace::display() { return connection_.display(); }

std::optional<WindowId> X11Workspace::activeWindow() {
  Display* connection = display();
  if (connection == nullptr) return std::nullopt;
  auto active = firstItem(connection, DefaultRootWindow(connection), "_NET_ACTIVE_WINDOW", XA_WINDOW);
  if (!active || *active == None) return std::nullopt;
  return *active;
}

std::optional<std::int32_t> X11Workspace::windowPid(WindowId window) {
  Display* connection = display();
  if (connection == nullptr) return std::nullopt;
  auto pid = firstItem(connection, window, "_NET_WM_PID", XA_CARDINAL);
  if (!pid || *pid == 0 || *pid > static_cast<unsigned long>(INT32_MAX)) return serverKnownPid(connection, window);
  return static_cast<std::int32_t>(*pid);
}

std::optional<std::string> X11Workspace::declaredApplicationId(Display* connection, WindowId window) {
  auto id = textProperty(connection, window, "_GTK_APPLICATION_ID", atom(connection, "UTF8_STRING"));
  if (!id || id->empty()) return std::nullopt;
  return id;
}

WindowId X11Workspace::applicationMainWindow(WindowId window) {
  // Dialogs hang from dialogs; a chain this long is a loop.
  constexpr int longestOwnerChain = 8;
  Display* connection = display();
  const auto pid = windowPid(window);
  if (connection == nullptr || !pid) return window;
  for (int step = 0; step < longestOwnerChain; ++step) {
    Window owner = None;
    if (XGetTransientForHint(connection, window, &owner) == 0 || owner == None || owner == window) break;
    if (windowPid(owner) != pid) break;
    window = owner;
  }
  return window;
}

std::optional<std::string> X11Workspace::applicationId(WindowId window) {
  Display* connection = display();
  if (connection == nullptr) return std::nullopt;
  if (auto id = declaredApplicationId(connection, window)) return id;
  // An application declares its id on its main windows only; its dialogs are
  // the same application.
  if (auto pid = windowPid(window)) {
    for (WindowId other : stackingBottomFirst(connection)) {
      if (other == window || windowPid(other) != pid) continue;
      if (auto id = declaredApplicationId(connection, other)) return id;
    }
  }
  // WM_CLASS holds the instance name, a NUL, then the class name.
  auto property = readProperty(connection, applicationMainWindow(window), XA_WM_CLASS, XA_STRING);
  if (!property || property->bytes.empty()) return std::nullopt;
  std::string both(property->bytes.begin(), property->bytes.end());
  const auto split = both.find('\0');
  if (split == std::string::npos) return std::nullopt;
  std::string className = both.substr(split + 1);
  if (auto end = className.find('\0'); end != std::string::npos) className.resize(end);
  if (className.empty()) return std::nullopt;
  return repairUtf8(className);
}

std::optional<std::string> X11Workspace::windowTitle(WindowId window) {
  Display* connection = display();
  if (connection == nullptr) return std::nullopt;
  if (auto title = textProperty(connection, window, "_NET_WM_NAME", atom(connection, "UTF8_STRING"))) return title;
  return textProperty(connection, window, "WM_NAME", AnyPropertyType);
}

std::vector<WindowId> X11Workspace::stackingBottomFirst(Display* connection) {
  const WindowId root = DefaultRootWindow(connection);
  if (auto list = readProperty(connection, root, atom(connection, "_NET_CLIENT_LIST_STACKING"), XA_WINDOW)) {
    return {list->items.begin(), list->items.end()};
  }
  // No window manager: the root's children are the top-level windows, bottom first.
  Window rootReturn = 0;
  Window parentReturn = 0;
  Window* received = nullptr;
  unsigned int count = 0;
  const int queried = XQueryTree(connection, root, &rootReturn, &parentReturn, &received, &count);
  const XPtr<Window> children(received);
  std::vector<WindowId> windows;
  if (queried != 0 && children) windows.assign(children.get(), children.get() + count);
  return windows;
}

std::optional<ClientWindow> X11Workspace::describe(Display* connection, WindowId window) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(connection, window, &attributes) == 0 || attributes.map_state != IsViewable) {
    return std::nullopt;
  }
  int rootX = 0;
  int rootY = 0;
  Window child = 0;
  if (XTranslateCoordinates(connection, window, DefaultRootWindow(connection), 0, 0, &rootX, &rootY, &child) == 0) {
    return std::nullopt;
  }
  ClientWindow described;
  described.id = window;
  described.pid = windowPid(window);
  described.client = {rootX, rootY, attributes.width, attributes.height};
  described.frame = described.client;
  // Left, right, top, bottom decoration widths, as the window manager states them.
  constexpr std::size_t frameExtentCount = 4;
  auto extents = readProperty(connection, window, atom(connection, "_NET_FRAME_EXTENTS"), XA_CARDINAL);
  if (extents && extents->items.size() == frameExtentCount) {
    const auto left = static_cast<int>(extents->items[0]);
    const auto right = static_cast<int>(extents->items[1]);
    const auto top = static_cast<int>(extents->items[2]);
    const auto bottom = static_cast<int>(extents->items[3]);
    described.frame = {rootX - left, rootY - top, attributes.width + left + right, attributes.height + top + bottom};
  }
  return described;
}

std::vector<ClientWindow> X11Workspace::clientsTopFirst() {
  std::vector<ClientWindow> clients;
  Display* connection = display();
  if (connection == nullptr) return clients;
  const std::vector<WindowId> stacking = stackingBottomFirst(connection);
  for (auto window = stacking.rbegin(); window != stacking.rend(); ++window) {
    if (auto described = describe(connection, *window)) clients.push_back(*described);
  }
  return clients;
}

std::optional<bool> X11Workspace::unmanagedWindowOfAt(std::int32_t pid, double x, double y) {
  Display* connection = display();
  if (connection == nullptr) return std::nullopt;
  for (const UnmanagedWindow& window : unmanagedWindowsTopFirst(connection)) {
    if (!window.place.contains(x, y)) continue;
    const auto owner = windowPid(window.id);
    // A window of no known process may be the application's.
    if (!owner) return std::nullopt;
    if (*owner == pid) return true;
  }
  return false;
}

std::vector<PixelRect> X11Workspace::unmanagedWindowsOf(std::int32_t pid) {
  Display* connection = display();
  if (connection == nullptr) return {};
  std::vector<PixelRect> places;
  for (const UnmanagedWindow& window : unmanagedWindowsTopFirst(connection)) {
    if (windowPid(window.id) == pid) places.push_back(window.place);
  }
  return places;
}

}  // namespace morvel::linux_ax
