#include "platform/linux/x11/X11Workspace.h"

#include "platform/linux/x11/XcbReplies.h"
#include "text/UnicodeText.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <utility>

namespace morvel::linux_ax {
namespace {

// Enough for any title or window list a desktop holds, in 32-bit units.
constexpr std::uint32_t maxPropertyLongs = 1U << 16;

using PropertyCookie = xcb_get_property_cookie_t;
using PropertyReply = ReplyPtr<xcb_get_property_reply_t>;

PropertyCookie askProperty(xcb_connection_t* connection, WindowId window, xcb_atom_t name, xcb_atom_t type,
                           std::uint32_t longs = maxPropertyLongs) {
  return xcb_get_property(connection, 0, static_cast<xcb_window_t>(window), name, type, 0, longs);
}

PropertyReply propertyReply(xcb_connection_t* connection, PropertyCookie cookie) {
  return replyOrNone(connection, cookie, xcb_get_property_reply);
}

// The 32-bit items of a property; empty when missing or of another format.
std::vector<std::uint32_t> items(const PropertyReply& reply) {
  if (!reply || reply->type == XCB_NONE || reply->format != 32) return {};
  const auto* first = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return {first, first + xcb_get_property_value_length(reply.get()) / 4};
}

// The bytes of a property up to its first NUL, as text; none when missing,
// empty or of another format.
std::optional<std::string> text(const PropertyReply& reply) {
  if (!reply || reply->type == XCB_NONE || reply->format != 8) return std::nullopt;
  const auto* first = static_cast<const char*>(xcb_get_property_value(reply.get()));
  std::string content(first, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
  if (auto end = content.find('\0'); end != std::string::npos) content.resize(end);
  if (content.empty()) return std::nullopt;
  return repairUtf8(content);
}

// A process id as a window states it; none when it states none or nonsense.
std::optional<std::int32_t> statedPid(const PropertyReply& reply) {
  const std::vector<std::uint32_t> pid = items(reply);
  if (pid.empty() || pid.front() == 0 || pid.front() > static_cast<std::uint32_t>(INT32_MAX)) return std::nullopt;
  return static_cast<std::int32_t>(pid.front());
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

// The class part of WM_CLASS, which holds the instance name, a NUL, then the class name.
std::optional<std::string> className(const PropertyReply& classes) {
  if (!classes || classes->format != 8) return std::nullopt;
  const auto* first = static_cast<const char*>(xcb_get_property_value(classes.get()));
  const std::string both(first, static_cast<std::size_t>(xcb_get_property_value_length(classes.get())));
  const auto split = both.find('\0');
  if (split == std::string::npos) return std::nullopt;
  std::string name = both.substr(split + 1);
  if (auto end = name.find('\0'); end != std::string::npos) name.resize(end);
  if (name.empty()) return std::nullopt;
  return repairUtf8(name);
}

xcb_window_t rootOf(Display* display) { return static_cast<xcb_window_t>(DefaultRootWindow(display)); }

// What the server tells this connection of, so that what was read can be kept
// until it changes: of the root window, its children coming, going, moving and
// being shown or hidden; of each managed window, the same of itself and its
// properties.
constexpr std::uint32_t rootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
constexpr std::uint32_t managedWindowEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;

void watch(xcb_connection_t* connection, xcb_window_t window, std::uint32_t events) {
  xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &events);
}

// Whether an event may change what was read: any change of a window's place,
// size, mapping or stacking, and the properties read; not the many properties
// applications change as they run (user time, icons, opacity).
bool touchesReads(const XEvent& event, const X11Workspace::Atoms& names) {
  if (event.type != PropertyNotify) return true;
  const Atom changed = event.xproperty.atom;
  const std::array<Atom, 7> read = {names.wmPid, names.frameExtents, names.wmName,       names.gtkApplicationId,
                                    XA_WM_NAME,  XA_WM_CLASS,        XA_WM_TRANSIENT_FOR};
  return std::find(read.begin(), read.end(), changed) != read.end();
}

// Refused questions and X errors of the process so far.
std::uint64_t failuresSoFar() { return refusedQuestions() + X11Connection::errorCount(); }

// A client window's questions, sent together with every other window's.
struct ClientQuestions {
  xcb_get_window_attributes_cookie_t attributes;
  xcb_get_geometry_cookie_t geometry;
  xcb_translate_coordinates_cookie_t origin;
  PropertyCookie frameExtents;
};

// The window as its answers describe it; none when it is not shown.
std::optional<ClientWindow> describe(xcb_connection_t* connection, WindowId window, const ClientQuestions& asked) {
  auto attributes = replyOrNone(connection, asked.attributes, xcb_get_window_attributes_reply);
  auto geometry = replyOrNone(connection, asked.geometry, xcb_get_geometry_reply);
  auto origin = replyOrNone(connection, asked.origin, xcb_translate_coordinates_reply);
  const PropertyReply extents = propertyReply(connection, asked.frameExtents);
  if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !geometry || !origin) return std::nullopt;
  ClientWindow described;
  described.id = window;
  described.client = {origin->dst_x, origin->dst_y, geometry->width, geometry->height};
  described.frame = described.client;
  // Left, right, top, bottom decoration widths, as the window manager states them.
  constexpr std::size_t frameExtentCount = 4;
  const std::vector<std::uint32_t> widths = items(extents);
  if (widths.size() == frameExtentCount) {
    const auto left = static_cast<int>(widths[0]);
    const auto right = static_cast<int>(widths[1]);
    const auto top = static_cast<int>(widths[2]);
    const auto bottom = static_cast<int>(widths[3]);
    described.frame = {origin->dst_x - left, origin->dst_y - top, geometry->width + left + right,
                       geometry->height + top + bottom};
  }
  return described;
}

}  // namespace

Display* X11Workspace::display() { return connection_.display(); }

xcb_connection_t* X11Workspace::xcb() {
  Display* connection = display();
  if (connection == nullptr) return nullptr;
  xcb_connection_t* underlying = XGetXCBConnection(connection);
  return underlying != nullptr && xcb_connection_has_error(underlying) == 0 ? underlying : nullptr;
}

const X11Workspace::Atoms& X11Workspace::atoms(xcb_connection_t* connection) {
  if (atoms_ && atomsOfConnection_ == connection_.openCount()) return *atoms_;
  static constexpr std::array<const char*, 7> names = {"_NET_ACTIVE_WINDOW", "_NET_CLIENT_LIST_STACKING",
                                                       "_NET_WM_PID",        "_NET_FRAME_EXTENTS",
                                                       "_NET_WM_NAME",       "UTF8_STRING",
                                                       "_GTK_APPLICATION_ID"};
  std::array<xcb_intern_atom_cookie_t, names.size()> asked{};
  for (std::size_t index = 0; index < names.size(); ++index) {
    asked[index] = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(names[index])), names[index]);
  }
  std::array<std::uint32_t, names.size()> interned{};
  for (std::size_t index = 0; index < names.size(); ++index) {
    auto reply = replyOrNone(connection, asked[index], xcb_intern_atom_reply);
    interned[index] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }
  atoms_ = Atoms{interned[0], interned[1], interned[2], interned[3], interned[4], interned[5], interned[6]};
  atomsOfConnection_ = connection_.openCount();
  return *atoms_;
}

std::optional<WindowId> X11Workspace::activeWindow() {
  // Read with the stacking list, in the same wait: a request that asks one
  // asks the other.
  if (!reads_.active) stackingBottomFirst();
  return reads_.active.value_or(std::nullopt);
}

void X11Workspace::readPids(const std::vector<WindowId>& windows) {
  xcb_connection_t* connection = xcb();
  if (connection == nullptr) return;
  const Atoms& names = atoms(connection);
  std::vector<std::pair<WindowId, PropertyCookie>> asked;
  for (WindowId window : windows) {
    if (!reads_.pids.contains(window)) asked.emplace_back(window, askProperty(connection, window, names.wmPid, XCB_ATOM_CARDINAL, 1));
  }
  for (const auto& [window, cookie] : asked) {
    std::optional<std::int32_t> pid = statedPid(propertyReply(connection, cookie));
    if (!pid) pid = serverKnownPid(display(), window);
    reads_.pids[window] = pid;
  }
}

std::optional<std::int32_t> X11Workspace::windowPid(WindowId window) {
  // A managed window's process comes with every client's, in one wait.
  if (!reads_.pids.contains(window) && !reads_.clients) {
    const std::vector<WindowId>& stacking = stackingBottomFirst();
    if (std::find(stacking.begin(), stacking.end(), window) != stacking.end()) clientsTopFirst();
  }
  readPids({window});
  auto known = reads_.pids.find(window);
  return known == reads_.pids.end() ? std::nullopt : known->second;
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
  if (auto known = reads_.applicationIds.find(window); known != reads_.applicationIds.end()) return known->second;
  std::optional<std::string> id = readApplicationId(window);
  reads_.applicationIds[window] = id;
  return id;
}

std::optional<std::string> X11Workspace::readApplicationId(WindowId window) {
  xcb_connection_t* connection = xcb();
  if (connection == nullptr) return std::nullopt;
  const Atoms& names = atoms(connection);
  // An application declares its id on its main windows only; its dialogs are
  // the same application. The window and every other window of its process
  // are asked at once, with the window's class and owner, which tell the id
  // where none is declared.
  const std::optional<std::int32_t> pid = windowPid(window);
  std::vector<WindowId> ofProcess{window};
  if (pid) {
    const std::vector<WindowId> others = stackingBottomFirst();
    readPids(others);
    for (WindowId other : others) {
      if (other != window && windowPid(other) == pid) ofProcess.push_back(other);
    }
  }
  std::vector<PropertyCookie> declaredAsked;
  declaredAsked.reserve(ofProcess.size());
  for (WindowId member : ofProcess) {
    declaredAsked.push_back(askProperty(connection, member, names.gtkApplicationId, names.utf8String));
  }
  const PropertyCookie classAsked = askProperty(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
  const PropertyCookie ownerAsked = askProperty(connection, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1);
  std::optional<std::string> declared;
  for (const PropertyCookie& cookie : declaredAsked) {
    std::optional<std::string> id = text(propertyReply(connection, cookie));
    if (!declared) declared = std::move(id);
  }
  std::optional<std::string> ownClass = className(propertyReply(connection, classAsked));
  const std::vector<std::uint32_t> owner = items(propertyReply(connection, ownerAsked));
  if (declared) return declared;
  // A dialog's own class may name the dialog: the main window's names the application.
  const bool ownedBySameProcess = pid && !owner.empty() && owner.front() != XCB_WINDOW_NONE &&
                                  owner.front() != window && windowPid(owner.front()) == pid;
  if (!ownedBySameProcess) return ownClass;
  const WindowId main = applicationMainWindow(owner.front());
  return className(propertyReply(connection, askProperty(connection, main, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)));
}

std::optional<std::string> X11Workspace::windowTitle(WindowId window) {
  if (auto known = reads_.titles.find(window); known != reads_.titles.end()) return known->second;
  xcb_connection_t* connection = xcb();
  if (connection == nullptr) return std::nullopt;
  const Atoms& names = atoms(connection);
  // Both asked at once: an old client states only WM_NAME.
  const PropertyCookie utf8 = askProperty(connection, window, names.wmName, names.utf8String);
  const PropertyCookie legacy = askProperty(connection, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY);
  std::optional<std::string> title = text(propertyReply(connection, utf8));
  std::optional<std::string> legacyTitle = text(propertyReply(connection, legacy));
  if (!title) title = std::move(legacyTitle);
  reads_.titles[window] = title;
  return title;
}

const std::vector<WindowId>& X11Workspace::stackingBottomFirst() {
  if (reads_.stacking) return *reads_.stacking;
  std::vector<WindowId>& windows = reads_.stacking.emplace();
  std::vector<WindowId>& rootChildren = reads_.rootChildren.emplace();
  xcb_connection_t* connection = xcb();
  if (connection == nullptr) return windows;
  const Atoms& names = atoms(connection);
  const xcb_window_t root = rootOf(display());
  if (rootWatchedOn_ != connection_.openCount()) {
    // Asked before the questions below: a change after them is told.
    watch(connection, root, rootEvents);
    rootWatchedOn_ = connection_.openCount();
  }
  reads_.connection = connection_.openCount();
  const bool activeUnknown = !reads_.active;
  const PropertyCookie listAsked = askProperty(connection, root, names.clientListStacking, XCB_ATOM_WINDOW);
  const PropertyCookie activeAsked = askProperty(connection, root, names.activeWindow, XCB_ATOM_WINDOW, 1);
  const xcb_query_tree_cookie_t treeAsked = xcb_query_tree(connection, root);
  const PropertyReply list = propertyReply(connection, listAsked);
  const std::vector<std::uint32_t> active = items(propertyReply(connection, activeAsked));
  if (auto tree = replyOrNone(connection, treeAsked, xcb_query_tree_reply)) {
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    rootChildren.assign(children, children + xcb_query_tree_children_length(tree.get()));
  }
  if (activeUnknown) {
    reads_.active = !active.empty() && active.front() != XCB_WINDOW_NONE ? std::optional<WindowId>(active.front())
                                                                          : std::nullopt;
  }
  if (list && list->type != XCB_NONE) {
    for (std::uint32_t window : items(list)) windows.push_back(window);
  } else {
    // No window manager: the root's children are the top-level windows.
    windows = rootChildren;
  }
  carryKeptReads();
  return windows;
}

const std::vector<WindowId>& X11Workspace::rootChildrenBottomFirst() {
  if (!reads_.rootChildren) stackingBottomFirst();
  return *reads_.rootChildren;
}

std::vector<ClientWindow> X11Workspace::clientsTopFirst() {
  // The first step may find the last request's clients still hold.
  const std::vector<WindowId> stacking = stackingBottomFirst();
  if (reads_.clients) return *reads_.clients;
  std::vector<ClientWindow>& clients = reads_.clients.emplace();
  xcb_connection_t* connection = xcb();
  if (connection == nullptr) return clients;
  const Atoms& names = atoms(connection);
  const xcb_window_t root = rootOf(display());
  std::vector<ClientQuestions> asked;
  asked.reserve(stacking.size());
  for (WindowId window : stacking) {
    const auto id = static_cast<xcb_window_t>(window);
    watch(connection, id, managedWindowEvents);
    asked.push_back({xcb_get_window_attributes(connection, id), xcb_get_geometry(connection, id),
                     xcb_translate_coordinates(connection, id, root, 0, 0),
                     askProperty(connection, window, names.frameExtents, XCB_ATOM_CARDINAL, 4)});
  }
  // A hit test looks for menus above the clients next: their questions go in
  // the same wait.
  std::optional<UnmanagedQuestions> unmanagedAsked;
  if (!reads_.unmanaged) unmanagedAsked = askUnmanagedWindows(connection, rootChildrenBottomFirst());
  // Sent before the first answer above is taken, so all in the same wait.
  readPids(stacking);
  for (std::size_t index = stacking.size(); index-- > 0;) {
    if (auto described = describe(connection, stacking[index], asked[index])) {
      described->pid = reads_.pids[stacking[index]];
      clients.push_back(*described);
    }
  }
  if (unmanagedAsked) reads_.unmanaged = unmanagedWindowsTopFirst(connection, *unmanagedAsked);
  return clients;
}

const std::vector<UnmanagedWindow>& X11Workspace::unmanagedWindows() {
  rootChildrenBottomFirst();
  if (reads_.unmanaged) return *reads_.unmanaged;
  xcb_connection_t* connection = xcb();
  if (connection == nullptr) return reads_.unmanaged.emplace();
  const UnmanagedQuestions asked = askUnmanagedWindows(connection, rootChildrenBottomFirst());
  return reads_.unmanaged.emplace(unmanagedWindowsTopFirst(connection, asked));
}

std::optional<bool> X11Workspace::unmanagedWindowOfAt(std::int32_t pid, double x, double y) {
  if (display() == nullptr) return std::nullopt;
  // Only the processes of the windows over the point matter, asked all at once.
  std::vector<WindowId> overPoint;
  for (const UnmanagedWindow& window : unmanagedWindows()) {
    if (window.place.contains(x, y)) overPoint.push_back(window.id);
  }
  readPids(overPoint);
  for (const UnmanagedWindow& window : unmanagedWindows()) {
    if (!window.place.contains(x, y)) continue;
    const auto owner = windowPid(window.id);
    // A window of no known process may be the application's.
    if (!owner) return std::nullopt;
    if (*owner == pid) return true;
  }
  return false;
}

std::vector<PixelRect> X11Workspace::unmanagedWindowsOf(std::int32_t pid) {
  std::vector<WindowId> ids;
  for (const UnmanagedWindow& window : unmanagedWindows()) ids.push_back(window.id);
  readPids(ids);
  std::vector<PixelRect> places;
  for (const UnmanagedWindow& window : unmanagedWindows()) {
    if (windowPid(window.id) == pid) places.push_back(window.place);
  }
  return places;
}

void X11Workspace::forgetReads() {
  // A request that asked the server nothing leaves the last one's reads as they were.
  if (reads_.stacking) kept_ = std::move(reads_);
  reads_ = {};
}

void X11Workspace::carryKeptReads() {
  Reads kept = std::exchange(kept_, {});
  // The answers just taken came after every event sent before them.
  const bool changed = takeEvents();
  reads_.failuresBefore = failuresSoFar();
  if (changed || !kept.stacking || kept.connection != reads_.connection ||
      kept.failuresBefore != reads_.failuresBefore || kept.stacking != reads_.stacking ||
      kept.rootChildren != reads_.rootChildren) {
    return;
  }
  // Managed windows are watched once the clients were read; the root window's
  // children are told of through the root's events, and a window's process is
  // its own for its life.
  const bool clientsWatched = kept.clients.has_value();
  const auto listed = [](const std::optional<std::vector<WindowId>>& windows, WindowId window) {
    return windows && std::find(windows->begin(), windows->end(), window) != windows->end();
  };
  const auto watched = [&](WindowId window) { return clientsWatched && listed(reads_.stacking, window); };
  reads_.clients = std::move(kept.clients);
  reads_.unmanaged = std::move(kept.unmanaged);
  std::erase_if(kept.pids,
                [&](const auto& read) { return !watched(read.first) && !listed(reads_.rootChildren, read.first); });
  std::erase_if(kept.titles, [&](const auto& read) { return !watched(read.first); });
  std::erase_if(kept.applicationIds, [&](const auto& read) { return !watched(read.first); });
  reads_.pids = std::move(kept.pids);
  reads_.titles = std::move(kept.titles);
  reads_.applicationIds = std::move(kept.applicationIds);
}

bool X11Workspace::takeEvents() {
  Display* connection = display();
  if (connection == nullptr || !atoms_ || atomsOfConnection_ != connection_.openCount()) return true;
  bool changed = false;
  while (XEventsQueued(connection, QueuedAfterReading) > 0) {
    XEvent event;
    XNextEvent(connection, &event);
    changed = changed || touchesReads(event, *atoms_);
  }
  return changed;
}

}  // namespace morvel::linux_ax
