#pragma once

// The wlroots screencopy protocol (zwlr_screencopy_manager_v1 and
// zwlr_screencopy_frame_v1), described for libwayland-client from the
// protocol's documented messages: the two interfaces, the requests this
// backend sends and the frame's events in the order the protocol numbers them.

#include <wayland-client.h>

#include <cstdint>

namespace morvel::linux_ax::screencopy {

extern const wl_interface managerInterface;
extern const wl_interface frameInterface;
inline constexpr const char* managerName = "zwlr_screencopy_manager_v1";

// Bit of the `flags` event: the buffer's rows come bottom first.
inline constexpr std::uint32_t flagYInvert = 1;

// The frame's events, one handler per event in protocol order.
struct FrameListener {
  void (*buffer)(void* data, wl_proxy* frame, std::uint32_t format, std::uint32_t width, std::uint32_t height,
                 std::uint32_t stride);
  void (*flags)(void* data, wl_proxy* frame, std::uint32_t flags);
  void (*ready)(void* data, wl_proxy* frame, std::uint32_t secondsHigh, std::uint32_t secondsLow,
                std::uint32_t nanoseconds);
  void (*failed)(void* data, wl_proxy* frame);
  void (*damage)(void* data, wl_proxy* frame, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                 std::uint32_t height);
  void (*linuxDmabuf)(void* data, wl_proxy* frame, std::uint32_t format, std::uint32_t width, std::uint32_t height);
  void (*bufferDone)(void* data, wl_proxy* frame);
};

// A frame for a region of an output, in the output's logical coordinates.
wl_proxy* captureOutputRegion(wl_proxy* manager, wl_output* output, int x, int y, int width, int height);
void copy(wl_proxy* frame, wl_buffer* buffer);
void destroyFrame(wl_proxy* frame);
void destroyManager(wl_proxy* manager);

}  // namespace morvel::linux_ax::screencopy
