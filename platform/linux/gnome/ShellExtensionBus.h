#pragma once

// The helper's GNOME Shell extension on the session bus: its two methods, one
// blocking call each with a time-out. The connection is the helper's own
// (opened on first use, again after the bus went away), so that no other part's
// messages are read here. A call that fails is an absent value; when it fails
// because the extension is not there, that is told once on standard error with
// what to enable, and once more when it is back.

#include "platform/linux/image/PixelRect.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DBusConnection;

namespace morvel::linux_ax {

inline constexpr const char* shellExtensionUuid = "morvel-ax-helper@morvel.org";
inline constexpr const char* shellExtensionBusName = "org.morvel.AxHelper.Shell";

// Whether GNOME Shell, or the extension, holds its name on the session bus.
bool gnomeShellOnSessionBus();

class ShellExtensionBus {
 public:
  ShellExtensionBus() = default;
  ~ShellExtensionBus();
  ShellExtensionBus(const ShellExtensionBus&) = delete;
  ShellExtensionBus& operator=(const ShellExtensionBus&) = delete;

  // The reply of ListWindows (JSON text).
  std::optional<std::string> listWindows();
  // A PNG of the area, in global logical pixels.
  std::optional<std::vector<std::uint8_t>> captureArea(const PixelRect& area);

 private:
  DBusConnection* connection();
  void noteAnswered(bool answered, bool extensionMissing);

  DBusConnection* bus_ = nullptr;
  bool missingTold_ = false;
};

}  // namespace morvel::linux_ax
