#pragma once

// A screen cast of one area of the global layout from mutter
// (org.gnome.Mutter.ScreenCast on the session bus), pointer left out: the
// session is made and started here, and mutter hands the frames over PipeWire
// under the node id it names. Mutter ends the session when the helper's
// connection to the bus closes, so an ended helper leaves no cast behind.

#include "platform/linux/image/PixelRect.h"

#include <cstdint>
#include <optional>
#include <string>

struct DBusConnection;

namespace morvel::linux_ax {

class MutterScreenCast {
 public:
  MutterScreenCast() = default;
  ~MutterScreenCast();
  MutterScreenCast(const MutterScreenCast&) = delete;
  MutterScreenCast& operator=(const MutterScreenCast&) = delete;

  // Starts a cast of `area` (logical pixels) and answers the PipeWire node
  // that carries it; a cast started before is stopped first. Nothing when
  // mutter offers no screen cast or does not start it in time. The screen of
  // one monitor is cast as the monitor: mutter copies what it has drawn for
  // it, where for an area it draws the area once more.
  std::optional<std::uint32_t> start(const PixelRect& area, bool wholeMonitor);
  void stop();

 private:
  DBusConnection* connection();
  std::optional<std::uint32_t> awaitNode(const std::string& streamPath);

  DBusConnection* bus_ = nullptr;
  std::string sessionPath_;
};

}  // namespace morvel::linux_ax
