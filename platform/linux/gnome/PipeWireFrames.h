#pragma once

// Raw frames of a video stream that another PipeWire client produces (mutter's
// screen cast): connected to the producer's node, the newest frame kept with
// the time the producer recorded it, copied out on request. Runs PipeWire's
// loop on a thread of its own; every wait has a deadline.

#include "platform/linux/image/GreyImage.h"
#include "platform/linux/image/PixelRect.h"
#include "platform/linux/wayland/ScreencopyCapture.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;
struct spa_hook;

namespace morvel::linux_ax {

// The pixels of `area` in a frame that shows `whole` (logical pixels) at the
// frame's own size; nothing when `area` is not inside `whole`.
std::optional<FrameBuffer> partOfFrame(const FrameBuffer& frame, const PixelRect& whole, const PixelRect& area);

class PipeWireFrames {
 public:
  PipeWireFrames();
  ~PipeWireFrames();
  PipeWireFrames(const PipeWireFrames&) = delete;
  PipeWireFrames& operator=(const PipeWireFrames&) = delete;

  // Connects to the PipeWire daemon of the session and to the node. False
  // when there is no daemon or the stream cannot be made.
  bool connect(std::uint32_t nodeId);
  void disconnect();
  // Waits until the producer streams to us (linked, a format agreed); false
  // when it did not before the deadline, or the stream broke.
  bool awaitStreaming(std::chrono::milliseconds wait);
  // Whether the producer ended a stream that had given frames (the user
  // stopped the sharing, or the cast was closed), as against one that never
  // worked.
  bool endedAfterFrames();
  // The part `area` of the newest frame recorded at or after `recordedSince`
  // (CLOCK_MONOTONIC), waited for until the deadline. The frame shows `whole`
  // (logical pixels; `area` lies in it) and may have more pixels than points
  // (a scaled monitor): the copy is scaled to `area`'s size. Nothing when no
  // such frame came or the stream broke.
  std::optional<GreyImage> frameSince(std::chrono::nanoseconds recordedSince, const PixelRect& area,
                                      const PixelRect& whole, std::chrono::milliseconds wait);

  // The stream's callbacks, on PipeWire's thread with its loop locked.
  pw_stream* stream() const { return stream_; }
  void onFormat(std::uint32_t format, int width, int height);
  void onFrame(const std::uint8_t* bytes, int stride, std::uint32_t size, std::chrono::nanoseconds recorded);
  void onBroken();
  void onStreaming();

 private:
  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  pw_core* core_ = nullptr;
  pw_stream* stream_ = nullptr;
  std::unique_ptr<spa_hook> listener_;
  // Guarded by the loop's lock.
  bool negotiated_ = false;
  bool streaming_ = false;
  std::uint32_t format_ = 0;  // as a shared-memory format code
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::vector<std::uint8_t> frame_;
  std::optional<std::chrono::nanoseconds> recorded_;
  bool broken_ = false;
};

}  // namespace morvel::linux_ax
