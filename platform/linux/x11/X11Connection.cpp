#include "platform/linux/x11/X11Connection.h"

#include <X11/Xlib.h>

#include <set>

namespace morvel::linux_ax {
namespace {

std::uint64_t errorsSeen = 0;

// Displays whose connection broke; they are never used again.
std::set<Display*>& brokenDisplays() {
  static std::set<Display*> displays;
  return displays;
}

// Requests about windows that vanished meanwhile fail with BadWindow, a capture
// of a bad rectangle with BadMatch: absent answers, nothing to print.
int countXError(Display*, XErrorEvent*) {
  ++errorsSeen;
  return 0;
}
int quietIOError(Display*) { return 0; }
// Called instead of exit() when the server goes away.
void keepRunningAfterIOError(Display* display, void*) { brokenDisplays().insert(display); }

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
  if (display_ != nullptr && !brokenDisplays().contains(display_)) XCloseDisplay(display_);
}

Display* X11Connection::display() {
  if (display_ != nullptr && brokenDisplays().contains(display_)) display_ = nullptr;  // unusable; left as it is
  if (display_ == nullptr) {
    installErrorHandlersOnce();
    display_ = XOpenDisplay(nullptr);
    if (display_ != nullptr) XSetIOErrorExitHandler(display_, keepRunningAfterIOError, nullptr);
  }
  return display_;
}

std::uint64_t X11Connection::errorCount() { return errorsSeen; }

}  // namespace morvel::linux_ax
