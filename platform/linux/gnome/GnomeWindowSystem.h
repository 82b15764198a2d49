#pragma once

// The window system of a GNOME Shell (mutter) Wayland session, through the
// helper's shell extension: windows, focus, stacking and capture. Without the
// extension every answer is absent, and the tree commands leave out geometry
// they cannot know. The window list is asked for again only when the shell
// has signalled a change since. The shell says where each client's surface lies, shadow
// included, so toolkits' surface-relative extents are placed exactly.
// Captures are frames of mutter's screen cast, open while a client that
// captures keeps asking, with the extension's PNG for the first capture
// (while the cast opens) and as the fallback; or the PNG alone, when asked for.

#include "platform/linux/ListedWindows.h"
#include "platform/linux/gnome/ScreenCastCapture.h"
#include "platform/linux/gnome/ShellExtensionBus.h"
#include "platform/linux/gnome/ShellWindows.h"

namespace morvel::linux_ax {

class GnomeWindowSystem final : public ListedWindowSystem {
 public:
  explicit GnomeWindowSystem(bool throughScreenCast = true) : throughScreenCast_(throughScreenCast) {}
  std::unique_ptr<GreyCapture> capture(const ax::Rect& region) override;
  // Each request keeps an open screen cast open a while longer.
  void forgetReads() override;
  // Whether the screen cast is open: GNOME shows it as screen sharing.
  bool castOpen() { return screenCast_.isOpen(); }

 private:
  std::vector<ListedWindow> listWindows() override;

  ShellExtensionBus bus_;
  bool throughScreenCast_;
  ScreenCastCapture screenCast_;
  // Kept across requests while the shell signals no change.
  std::optional<ShellWindowList> lastList_;
};

}  // namespace morvel::linux_ax
