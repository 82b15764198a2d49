#include "platform/linux/x11/X11Connection.h"

#include "platform/linux/ServiceNotice.h"

#include <X11/Xlib.h>
#include <poll.h>

namespace morvel::linux_ax {
namespace {

constexpr std::string_view serviceName = "the X display";
// While the server is away, a connection is tried again no more often than
// this: one try costs little, but a request makes many X calls.
constexpr auto retryInterval = std::chrono::milliseconds(250);

std::uint64_t errorsSeen = 0;

// Every connection of the process that finds the server again after it went
// away starts a new generation; a connection of an older one that breaks later
// was left on the server that went away, and is not news.
std::uint64_t serverGeneration = 0;
bool serverLost = false;

// Requests about windows that vanished meanwhile fail with BadWindow, a capture
// of a bad rectangle with BadMatch: absent answers, nothing to print.
int countXError(Display*, XErrorEvent*) {
  ++errorsSeen;
  return 0;
}
int quietIOError(Display*) { return 0; }

void installErrorHandlersOnce() {
  static const bool installed = [] {
    XSetErrorHandler(countXError);
    XSetIOErrorHandler(quietIOError);
    return true;
  }();
  (void)installed;
}

}  // namespace

X11Connection::~X11Connection() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

// Called by Xlib instead of exit() when the server goes away.
void X11Connection::markBroken(Display*, void* connection) {
  auto* self = static_cast<X11Connection*>(connection);
  self->broken_ = true;
  if (self->generation_ == serverGeneration && !serverLost) {
    serverLost = true;
    noticeServiceLost(serviceName);
  }
}

void X11Connection::closeBroken() {
  // The one call Xlib allows on a display after its I/O error: it frees the
  // connection without talking to the server.
  XCloseDisplay(display_);
  display_ = nullptr;
  broken_ = false;
}

void X11Connection::open() {
  const auto now = std::chrono::steady_clock::now();
  if (lastAttempt_ != std::chrono::steady_clock::time_point{} && now - lastAttempt_ < retryInterval) return;
  lastAttempt_ = now;
  installErrorHandlersOnce();
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) return;
  XSetIOErrorExitHandler(display_, markBroken, this);
  if (serverLost) {
    serverLost = false;
    ++serverGeneration;
    noticeServiceBack(serviceName);
  }
  generation_ = serverGeneration;
  ++opens_;
}

Display* X11Connection::display() {
  if (broken_) closeBroken();
  if (display_ == nullptr) open();
  return display_;
}

void X11Connection::noticeHangUp() {
  pollfd socket{ConnectionNumber(display_), POLLIN, 0};
  if (poll(&socket, 1, 0) <= 0) return;
  // Reads what is there without waiting; an end of stream is Xlib's I/O error,
  // which marks this connection broken.
  XEventsQueued(display_, QueuedAfterReading);
}

bool X11Connection::serverGone() {
  if (display_ != nullptr && !broken_) noticeHangUp();
  return display() == nullptr && serverLost;
}

std::uint64_t X11Connection::errorCount() { return errorsSeen; }

}  // namespace morvel::linux_ax
