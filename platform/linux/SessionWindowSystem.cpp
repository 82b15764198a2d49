#include "platform/linux/SessionWindowSystem.h"

#include "platform/linux/gnome/GnomeWindowSystem.h"
#include "platform/linux/gnome/ShellCaptureOnX11.h"
#include "platform/linux/wayland/SwayWindowSystem.h"
#include "platform/linux/x11/X11Workspace.h"

#include <cstdio>
#include <cstdlib>

namespace morvel::linux_ax {
namespace {

std::string environmentText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// A Wayland compositor that tells clients nothing about windows: no active
// window, no places. Toolkits' extents are still relative to their surfaces,
// so they cannot be turned into screen positions and are left out.
class UnknownWaylandWindows final : public WindowSystem {
 public:
  std::optional<WindowId> activeWindow() override { return std::nullopt; }
  std::optional<std::int32_t> windowPid(WindowId) override { return std::nullopt; }
  std::optional<std::string> applicationId(WindowId) override { return std::nullopt; }
  std::optional<std::string> windowTitle(WindowId) override { return std::nullopt; }
  std::vector<ClientWindow> clientsTopFirst() override { return {}; }
  std::unique_ptr<GreyCapture> capture(const ax::Rect&) override { return nullptr; }
  bool extentsAreWindowRelative() override { return true; }
};

bool throughScreenCast() { return environmentText("MORVEL_GNOME_SCREEN_CAST") != "0"; }

}  // namespace

SessionEnvironment SessionEnvironment::fromProcess() {
  SessionEnvironment environment{environmentText("WAYLAND_DISPLAY"), environmentText("SWAYSOCK"),
                                 environmentText("DISPLAY")};
  const bool gnomeX11 =
      environment.waylandDisplay.empty() && environmentText("XDG_CURRENT_DESKTOP").find("GNOME") != std::string::npos;
  const bool otherWayland = !environment.waylandDisplay.empty() && environment.swaySocket.empty();
  // On X11 only the extension adds anything: windows are known without it.
  environment.gnomeShell = (gnomeX11 && gnomeShellOnSessionBus(true)) || (otherWayland && gnomeShellOnSessionBus());
  return environment;
}

SessionKind sessionKindOf(const SessionEnvironment& environment) {
  // Xwayland sets DISPLAY inside a Wayland session too: WAYLAND_DISPLAY decides.
  if (environment.waylandDisplay.empty()) return environment.gnomeShell ? SessionKind::GnomeX11 : SessionKind::X11;
  if (!environment.swaySocket.empty()) return SessionKind::Sway;
  return environment.gnomeShell ? SessionKind::Gnome : SessionKind::UnsupportedWayland;
}

std::unique_ptr<WindowSystem> openSessionWindowSystem(const SessionEnvironment& environment) {
  switch (sessionKindOf(environment)) {
    case SessionKind::X11:
      return std::make_unique<X11Workspace>();
    case SessionKind::GnomeX11:
      return std::make_unique<ShellCaptureOnX11>(std::make_unique<X11Workspace>(), throughScreenCast());
    case SessionKind::Sway:
      return std::make_unique<SwayWindowSystem>(environment.swaySocket);
    case SessionKind::Gnome:
      return std::make_unique<GnomeWindowSystem>(throughScreenCast());
    case SessionKind::UnsupportedWayland:
      break;
  }
  std::fputs(
      "morvel_ax_helper: this Wayland compositor offers no window list (neither SWAYSOCK nor GNOME Shell); frames, "
      "hit tests and screen text need sway, another compositor with sway's IPC, or GNOME Shell with the helper's "
      "extension\n",
      stderr);
  return std::make_unique<UnknownWaylandWindows>();
}

}  // namespace morvel::linux_ax
