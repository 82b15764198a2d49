#pragma once

// Capture of a screen rectangle from the X server at full pixel resolution, in
// grey. Shared memory (XShm) when the server offers it, a plain XGetImage
// otherwise. A rectangle partly off screen is clipped to the screen; the capture
// remembers where the clipped part lies in the whole rectangle.

#include "accessibility/Accessibility.h"
#include "platform/linux/image/GreyCapture.h"
#include "platform/linux/x11/X11Connection.h"

#include <cstdint>
#include <memory>

namespace morvel::linux_ax {

class X11Capture {
 public:
  std::unique_ptr<GreyCapture> capture(const ax::Rect& region);

 private:
  std::optional<GreyImage> grab(const PixelRect& area);
  std::optional<GreyImage> grabShared(const PixelRect& area);
  std::optional<GreyImage> grabPlain(const PixelRect& area);

  X11Connection connection_;
  enum class SharedMemory { Unknown, Usable, Unusable } sharedMemory_ = SharedMemory::Unknown;
  // The connection sharedMemory_ was learnt on: a server started again may differ.
  std::uint64_t sharedMemoryConnection_ = 0;
};

}  // namespace morvel::linux_ax
