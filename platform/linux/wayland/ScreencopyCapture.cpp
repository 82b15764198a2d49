#include "platform/linux/wayland/ScreencopyCapture.h"

#include "platform/linux/wayland/ScreencopyProtocol.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>

namespace morvel::linux_ax {
namespace {

using Clock = std::chrono::steady_clock;

// A compositor that has not delivered a frame in this long is not going to.
constexpr auto frameDeadline = std::chrono::seconds(2);
// Version 1 of screencopy is all a copy to shared memory needs; output names
// came with version 4 of wl_output.
constexpr std::uint32_t screencopyVersion = 1;
constexpr std::uint32_t outputNamesVersion = 4;
constexpr int bytesPerPixel = 4;

// The shared-memory formats a frame may come in that this copies: 32-bit words
// with red, green and blue at these byte offsets (little-endian memory order).
struct ByteOrder {
  std::uint32_t format;
  int red;
  int green;
  int blue;
};
constexpr std::uint32_t fourcc(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b) << 8 | static_cast<std::uint32_t>(c) << 16 |
         static_cast<std::uint32_t>(d) << 24;
}
constexpr ByteOrder byteOrders[] = {
    {WL_SHM_FORMAT_ARGB8888, 2, 1, 0},
    {WL_SHM_FORMAT_XRGB8888, 2, 1, 0},
    {fourcc('A', 'B', '2', '4'), 0, 1, 2},
    {fourcc('X', 'B', '2', '4'), 0, 1, 2},
};

const ByteOrder* byteOrderOf(std::uint32_t format) {
  for (const ByteOrder& order : byteOrders) {
    if (order.format == format) return &order;
  }
  return nullptr;
}

// Handles events until `done` holds, the connection breaks or the deadline passes.
bool dispatchUntil(wl_display* display, const std::function<bool()>& done, Clock::time_point deadline) {
  while (!done()) {
    while (wl_display_prepare_read(display) != 0) {
      if (wl_display_dispatch_pending(display) < 0) return false;
      if (done()) return true;
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
      wl_display_cancel_read(display);
      return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd entry{wl_display_get_fd(display), POLLIN, 0};
    if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) <= 0) {
      wl_display_cancel_read(display);
      if (left > 0 && errno == EINTR) continue;
      return false;
    }
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) return false;
  }
  return true;
}

bool roundtrip(wl_display* display, Clock::time_point deadline) {
  bool done = false;
  static const wl_callback_listener listener = {
      [](void* data, wl_callback* callback, std::uint32_t) {
        *static_cast<bool*>(data) = true;
        wl_callback_destroy(callback);
      },
  };
  wl_callback* callback = wl_display_sync(display);
  if (callback == nullptr) return false;
  wl_callback_add_listener(callback, &listener, &done);
  return dispatchUntil(display, [&] { return done; }, deadline);
}

// Shared memory the compositor copies a frame into.
class ShmBuffer {
 public:
  ShmBuffer(wl_shm* shm, const FrameBuffer& layout) {
    size_ = static_cast<std::size_t>(layout.stride) * static_cast<std::size_t>(layout.height);
    const int fd = memfd_create("morvel-capture", MFD_CLOEXEC);
    if (fd < 0) return;
    if (ftruncate(fd, static_cast<off_t>(size_)) == 0) {
      void* mapped = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (mapped != MAP_FAILED) {
        bytes_ = static_cast<std::uint8_t*>(mapped);
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size_));
        buffer_ = wl_shm_pool_create_buffer(pool, 0, layout.width, layout.height, layout.stride, layout.format);
        wl_shm_pool_destroy(pool);
      }
    }
    close(fd);
  }
  ~ShmBuffer() {
    if (buffer_ != nullptr) wl_buffer_destroy(buffer_);
    if (bytes_ != nullptr) munmap(bytes_, size_);
  }
  ShmBuffer(const ShmBuffer&) = delete;
  ShmBuffer& operator=(const ShmBuffer&) = delete;

  wl_buffer* buffer() const { return buffer_; }
  const std::uint8_t* bytes() const { return bytes_; }

 private:
  std::size_t size_ = 0;
  std::uint8_t* bytes_ = nullptr;
  wl_buffer* buffer_ = nullptr;
};

// What one frame has told so far.
struct FrameState {
  std::optional<FrameBuffer> layout;
  bool bottomFirst = false;
  bool ready = false;
  bool failed = false;
  wl_shm* shm = nullptr;
  std::unique_ptr<ShmBuffer> memory;
};

void onBuffer(void* data, wl_proxy* frame, std::uint32_t format, std::uint32_t width, std::uint32_t height,
              std::uint32_t stride) {
  auto& state = *static_cast<FrameState*>(data);
  // The largest frame any output gives, far below what overflows the sizes.
  constexpr std::uint32_t largestSide = 1 << 15;
  if (state.layout) return;
  // The one buffer version 1 offers is all there will be: one this cannot read ends the frame.
  if (byteOrderOf(format) == nullptr || width == 0 || height == 0 || width > largestSide || height > largestSide ||
      stride < width * bytesPerPixel || stride > largestSide * bytesPerPixel) {
    state.failed = true;
    return;
  }
  state.layout = FrameBuffer{format, static_cast<int>(width), static_cast<int>(height), static_cast<int>(stride)};
  state.memory = std::make_unique<ShmBuffer>(state.shm, *state.layout);
  if (state.memory->buffer() == nullptr) {
    state.failed = true;
    return;
  }
  screencopy::copy(frame, state.memory->buffer());
}

const screencopy::FrameListener frameListener = {
    onBuffer,
    [](void* data, wl_proxy*, std::uint32_t flags) {
      static_cast<FrameState*>(data)->bottomFirst = (flags & screencopy::flagYInvert) != 0;
    },
    [](void* data, wl_proxy*, std::uint32_t, std::uint32_t, std::uint32_t) { static_cast<FrameState*>(data)->ready = true; },
    [](void* data, wl_proxy*) { static_cast<FrameState*>(data)->failed = true; },
    [](void*, wl_proxy*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    [](void*, wl_proxy*, std::uint32_t, std::uint32_t, std::uint32_t) {},
    [](void*, wl_proxy*) {},
};

void noGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, const char*,
                const char*, std::int32_t) {}
void noMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void noDone(void*, wl_output*) {}
void noScale(void*, wl_output*, std::int32_t) {}
void noDescription(void*, wl_output*, const char*) {}
void onOutputName(void* data, wl_output*, const char* name) {
  static_cast<ScreencopyCapture::BoundOutput*>(data)->name = name != nullptr ? name : "";
}
const wl_output_listener outputListener = {noGeometry, noMode, noDone, noScale, onOutputName, noDescription};

}  // namespace

bool copyFrameToGrey(const FrameBuffer& frame, const PixelRect& area, int originX, int originY, GreyImage& into) {
  const ByteOrder* order = byteOrderOf(frame.format);
  if (order == nullptr || frame.bytes == nullptr || area.width <= 0 || area.height <= 0) return false;
  for (int y = 0; y < area.height; ++y) {
    // The frame may be at another scale than the layout: the nearest frame row and column.
    int frameRow = static_cast<int>(static_cast<std::int64_t>(y) * frame.height / area.height);
    if (frame.bottomFirst) frameRow = frame.height - 1 - frameRow;
    const std::uint8_t* row = frame.bytes + static_cast<std::ptrdiff_t>(frameRow) * frame.stride;
    const int intoY = area.y - originY + y;
    if (intoY < 0 || intoY >= into.height) continue;
    std::uint8_t* out = into.pixels.data() + static_cast<std::size_t>(intoY) * into.width;
    for (int x = 0; x < area.width; ++x) {
      const int intoX = area.x - originX + x;
      if (intoX < 0 || intoX >= into.width) continue;
      const int frameColumn = static_cast<int>(static_cast<std::int64_t>(x) * frame.width / area.width);
      const std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(frameColumn) * bytesPerPixel;
      out[intoX] = luminance(pixel[order->red], pixel[order->green], pixel[order->blue]);
    }
  }
  return true;
}

void ScreencopyCapture::onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                                 std::uint32_t version) {
  auto& self = *static_cast<ScreencopyCapture*>(data);
  const std::string_view kind = interface;
  if (kind == wl_shm_interface.name && self.shm_ == nullptr) {
    self.shm_ = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  } else if (kind == screencopy::managerName && self.manager_ == nullptr) {
    self.manager_ =
        static_cast<wl_proxy*>(wl_registry_bind(registry, name, &screencopy::managerInterface, screencopyVersion));
  } else if (kind == wl_output_interface.name) {
    auto bound = std::make_unique<BoundOutput>();
    bound->globalName = name;
    bound->output = static_cast<wl_output*>(
        wl_registry_bind(registry, name, &wl_output_interface, std::min(version, outputNamesVersion)));
    wl_output_add_listener(bound->output, &outputListener, bound.get());
    self.outputs_.push_back(std::move(bound));
  }
}

void ScreencopyCapture::onGlobalRemoved(void* data, wl_registry*, std::uint32_t name) {
  auto& outputs = static_cast<ScreencopyCapture*>(data)->outputs_;
  for (auto output = outputs.begin(); output != outputs.end(); ++output) {
    if ((*output)->globalName != name) continue;
    wl_output_destroy((*output)->output);
    outputs.erase(output);
    return;
  }
}

ScreencopyCapture::~ScreencopyCapture() { disconnect(); }

bool ScreencopyCapture::connect() {
  if (display_ != nullptr) {
    if (wl_display_get_error(display_) == 0) return true;
    disconnect();
  }
  display_ = wl_display_connect(nullptr);
  if (display_ == nullptr) return false;
  registry_ = wl_display_get_registry(display_);
  static const wl_registry_listener registryListener = {onGlobal, onGlobalRemoved};
  wl_registry_add_listener(registry_, &registryListener, this);
  const auto deadline = Clock::now() + frameDeadline;
  // The globals first, then the outputs' names.
  if (!roundtrip(display_, deadline)) {
    disconnect();
    return false;
  }
  if (!roundtrip(display_, deadline) || shm_ == nullptr || manager_ == nullptr) {
    disconnect();
    return false;
  }
  return true;
}

void ScreencopyCapture::disconnect() {
  if (display_ == nullptr) return;
  for (const auto& output : outputs_) wl_output_destroy(output->output);
  outputs_.clear();
  if (manager_ != nullptr) screencopy::destroyManager(manager_);
  if (shm_ != nullptr) wl_shm_destroy(shm_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_display_disconnect(display_);
  display_ = nullptr;
  registry_ = nullptr;
  shm_ = nullptr;
  manager_ = nullptr;
}

wl_output* ScreencopyCapture::outputFor(const OutputPlacement& placement, std::size_t placementCount) {
  for (const auto& output : outputs_) {
    if (!output->name.empty() && output->name == placement.name) return output->output;
  }
  // A compositor that does not name its outputs: a single one is unambiguous.
  if (placementCount == 1 && outputs_.size() == 1) return outputs_.front()->output;
  return nullptr;
}

bool ScreencopyCapture::grabFromOutput(wl_output* output, const PixelRect& piece, const PixelRect& outputRect,
                                       const PixelRect& area, GreyImage& into) {
  FrameState state;
  state.shm = shm_;
  wl_proxy* frame = screencopy::captureOutputRegion(manager_, output, piece.x - outputRect.x, piece.y - outputRect.y,
                                                    piece.width, piece.height);
  if (frame == nullptr) return false;
  wl_proxy_add_listener(frame, reinterpret_cast<void (**)(void)>(const_cast<screencopy::FrameListener*>(&frameListener)),
                        &state);
  const bool delivered =
      dispatchUntil(display_, [&] { return state.ready || state.failed; }, Clock::now() + frameDeadline);
  screencopy::destroyFrame(frame);
  if (!delivered || !state.ready || !state.layout || !state.memory) return false;
  FrameBuffer copied = *state.layout;
  copied.bottomFirst = state.bottomFirst;
  copied.bytes = state.memory->bytes();
  return copyFrameToGrey(copied, piece, area.x, area.y, into);
}

std::optional<GreyImage> ScreencopyCapture::grab(const PixelRect& area, const std::vector<OutputPlacement>& outputs) {
  if (area.width <= 0 || area.height <= 0) return std::nullopt;
  // A connection to a compositor that has since been started again breaks on
  // first use: the new one is bound afresh and asked once more.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!connect()) return std::nullopt;
    auto image = grabFromOutputs(area, outputs);
    if (image || wl_display_get_error(display_) == 0) return image;
    disconnect();
  }
  return std::nullopt;
}

std::optional<GreyImage> ScreencopyCapture::grabFromOutputs(const PixelRect& area,
                                                            const std::vector<OutputPlacement>& outputs) {
  GreyImage image;
  image.width = area.width;
  image.height = area.height;
  image.pixels.assign(static_cast<std::size_t>(area.width) * area.height, 0);
  bool anyPiece = false;
  for (const OutputPlacement& placement : outputs) {
    const PixelRect& shown = placement.logical;
    const int left = std::max(area.x, shown.x);
    const int top = std::max(area.y, shown.y);
    const int right = std::min(area.x + area.width, shown.x + shown.width);
    const int bottom = std::min(area.y + area.height, shown.y + shown.height);
    if (right <= left || bottom <= top) continue;
    wl_output* output = outputFor(placement, outputs.size());
    if (output == nullptr) continue;
    if (!grabFromOutput(output, {left, top, right - left, bottom - top}, shown, area, image)) return std::nullopt;
    anyPiece = true;
  }
  if (!anyPiece) return std::nullopt;
  return image;
}

}  // namespace morvel::linux_ax
