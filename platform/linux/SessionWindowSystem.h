#pragma once

// The window system of the session the helper runs in, chosen once at start:
// a Wayland session (WAYLAND_DISPLAY) is served through its compositor when
// that is sway or another compositor speaking sway's IPC ($SWAYSOCK), or
// through the helper's extension when it is GNOME Shell (its name on the
// session bus); any other Wayland compositor offers clients no window list, so
// windows and their places stay unknown there. Otherwise X11 (DISPLAY), with
// captures through the same extension in GNOME's X11 session.

#include "platform/linux/WindowSystem.h"

#include <memory>
#include <string>

namespace morvel::linux_ax {

enum class SessionKind { X11, GnomeX11, Sway, Gnome, UnsupportedWayland };

struct SessionEnvironment {
  std::string waylandDisplay;  // empty when unset
  std::string swaySocket;
  std::string x11Display;
  // Asked of the session bus only in a Wayland session without sway, and in
  // an X11 session whose desktop is GNOME.
  bool gnomeShell = false;
  static SessionEnvironment fromProcess();
};

SessionKind sessionKindOf(const SessionEnvironment& environment);

// The window system for the session; says once on stderr when it is a Wayland
// session whose windows cannot be known.
std::unique_ptr<WindowSystem> openSessionWindowSystem(const SessionEnvironment& environment);

}  // namespace morvel::linux_ax
