#pragma once

// The window system of a GNOME Shell (mutter) Wayland session, through the
// helper's shell extension: windows, focus, stacking and capture. Without the
// extension every answer is absent, and the tree commands leave out geometry
// they cannot know. The shell says where each client's surface lies, shadow
// included, so toolkits' surface-relative extents are placed exactly.

#include "platform/linux/ListedWindows.h"
#include "platform/linux/gnome/ShellExtensionBus.h"

namespace morvel::linux_ax {

class GnomeWindowSystem final : public ListedWindowSystem {
 public:
  std::unique_ptr<GreyCapture> capture(const ax::Rect& region) override;

 private:
  std::vector<ListedWindow> listWindows() override;

  ShellExtensionBus bus_;
  // The screen's size as of the last window list.
  int screenWidth_ = 0;
  int screenHeight_ = 0;
};

}  // namespace morvel::linux_ax
