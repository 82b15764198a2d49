#pragma once

// Capture of a rectangle of the global layout from a wlroots compositor, in
// process, over the screencopy protocol: one frame per output the rectangle
// touches, copied into shared memory and turned grey. The connection to the
// compositor is opened on first use and again after it broke (a compositor
// started again is bound afresh). Nothing here waits on the compositor longer
// than a fixed deadline.

#include "platform/linux/image/GreyImage.h"
#include "platform/linux/image/PixelRect.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_shm;
struct wl_output;
struct wl_proxy;

namespace morvel::linux_ax {

// Where the compositor has put an output on its global layout.
struct OutputPlacement {
  std::string name;
  PixelRect logical;
};

// A frame as the compositor hands it over.
struct FrameBuffer {
  std::uint32_t format = 0;
  int width = 0;
  int height = 0;
  int stride = 0;
  bool bottomFirst = false;
  const std::uint8_t* bytes = nullptr;
};

// Copies `frame` (which shows `into`'s `area` scaled to the buffer's size) into
// `into` at `area`, relative to `origin`. False for a format that is not 32-bit RGB.
bool copyFrameToGrey(const FrameBuffer& frame, const PixelRect& area, int originX, int originY, GreyImage& into);

class ScreencopyCapture {
 public:
  ScreencopyCapture() = default;
  ~ScreencopyCapture();
  ScreencopyCapture(const ScreencopyCapture&) = delete;
  ScreencopyCapture& operator=(const ScreencopyCapture&) = delete;

  // The pixels of `area` (inside the outputs' union); parts no output shows
  // stay black. Nothing when the compositor offers no screencopy or failed.
  std::optional<GreyImage> grab(const PixelRect& area, const std::vector<OutputPlacement>& outputs);

  struct BoundOutput {
    wl_output* output = nullptr;
    std::uint32_t globalName = 0;
    std::string name;
  };

 private:
  bool connect();
  void disconnect();
  std::optional<GreyImage> grabFromOutputs(const PixelRect& area, const std::vector<OutputPlacement>& outputs);
  bool grabFromOutput(wl_output* output, const PixelRect& piece, const PixelRect& outputRect, const PixelRect& area,
                      GreyImage& into);
  static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
  static void onGlobalRemoved(void* data, wl_registry* registry, std::uint32_t name);
  wl_output* outputFor(const OutputPlacement& placement, std::size_t placementCount);

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_shm* shm_ = nullptr;
  wl_proxy* manager_ = nullptr;
  std::vector<std::unique_ptr<BoundOutput>> outputs_;  // stable addresses for their listeners
};

}  // namespace morvel::linux_ax
