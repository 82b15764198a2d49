#pragma once

// The helper's GNOME Shell extension on the session bus: its two methods, one
// blocking call each with a time-out, and its signal that the window list has
// changed. The connection is the helper's own (opened on first use, again after
// the bus went away), so that no other part's messages are read here. A call
// that fails is an absent value; when it fails because the extension is not
// there, or refuses this executable, that is told once on standard error with
// what to do, and once more when it answers again.

#include "platform/linux/image/PixelRect.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DBusConnection;
struct DBusError;

namespace morvel::linux_ax {

inline constexpr const char* shellExtensionUuid = "morvel-ax-helper@morvel.org";
inline constexpr const char* shellExtensionBusName = "org.morvel.AxHelper.Shell";

// Whether GNOME Shell, or the extension, holds its name on the session bus;
// with `extensionOnly`, the extension.
bool gnomeShellOnSessionBus(bool extensionOnly = false);

class ShellExtensionBus {
 public:
  ShellExtensionBus() = default;
  ~ShellExtensionBus();
  ShellExtensionBus(const ShellExtensionBus&) = delete;
  ShellExtensionBus& operator=(const ShellExtensionBus&) = delete;

  // The reply of ListWindows (JSON text).
  std::optional<std::string> listWindows();
  // Whether the last list is still what the shell would tell: no change
  // signalled since, and the extension still there. Reads the signals the bus
  // has delivered, without a round trip to the shell.
  bool lastListCurrent();
  // Has the shell draw the whole screen again: the shell's monotonic clock
  // (microseconds) when it was asked.
  std::optional<std::int64_t> redraw();
  // Once the shell has drawn what had changed when asked (nothing is drawn
  // when nothing had): the shell's monotonic clock (microseconds) when its
  // last drawing began.
  std::optional<std::int64_t> settle();
  // A PNG of the area, in global logical pixels.
  std::optional<std::vector<std::uint8_t>> captureArea(const PixelRect& area);

 private:
  DBusConnection* connection();
  void noteAnswered(bool answered, const DBusError& error);
  // A method answering a time on the shell's monotonic clock.
  std::optional<std::int64_t> askTime(const char* method);
  bool takeChangeSignals();

  DBusConnection* bus_ = nullptr;
  bool refusalTold_ = false;
  bool missingTold_ = false;
  bool watchingChanges_ = false;
  bool listCurrent_ = false;
};

}  // namespace morvel::linux_ax
