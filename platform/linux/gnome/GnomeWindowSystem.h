#pragma once

// The window system of a GNOME Shell (mutter) Wayland session, through the
// helper's shell extension: windows, focus, stacking and capture. Without the
// extension every answer is absent, and the tree commands leave out geometry
// they cannot know. The window list is asked for again only when the shell
// has signalled a change since. The shell says where each client's surface lies, shadow
// included, so toolkits' surface-relative extents are placed exactly.

#include "platform/linux/ListedWindows.h"
#include "platform/linux/gnome/ScreenCastCapture.h"
#include "platform/linux/gnome/ShellExtensionBus.h"
#include "platform/linux/gnome/ShellWindows.h"

namespace morvel::linux_ax {

class GnomeWindowSystem final : public ListedWindowSystem {
 public:
  std::unique_ptr<GreyCapture> capture(const ax::Rect& region) override;

 private:
  std::vector<ListedWindow> listWindows() override;

  ShellExtensionBus bus_;
  ScreenCastCapture screenCast_;
  // Kept across requests while the shell signals no change.
  std::optional<ShellWindowList> lastList_;
};

}  // namespace morvel::linux_ax
