#include "platform/linux/gnome/PipeWireFrames.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <wayland-client-protocol.h>

#include <ctime>
#include <mutex>

namespace morvel::linux_ax {
namespace {

// The side of the largest frame asked for, and the rate asked: as high as
// the producer allows, so that a frame drawn right after another is not held
// back for the rate's sake.
constexpr int longestSide = 16384;
constexpr int fastestFramesPerSecond = 1000;
constexpr std::size_t formatParamBytes = 1024;
constexpr std::size_t metaParamBytes = 256;
constexpr int bytesPerPixel = 4;

// PipeWire's 32-bit RGB formats as the shared-memory format codes that the
// grey copy reads (the same byte order in memory).
constexpr std::uint32_t fourcc(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b) << 8 | static_cast<std::uint32_t>(c) << 16 |
         static_cast<std::uint32_t>(d) << 24;
}
std::optional<std::uint32_t> memoryFormatOf(std::uint32_t videoFormat) {
  switch (videoFormat) {
    case SPA_VIDEO_FORMAT_BGRx: return WL_SHM_FORMAT_XRGB8888;
    case SPA_VIDEO_FORMAT_BGRA: return WL_SHM_FORMAT_ARGB8888;
    case SPA_VIDEO_FORMAT_RGBx: return fourcc('X', 'B', '2', '4');
    case SPA_VIDEO_FORMAT_RGBA: return fourcc('A', 'B', '2', '4');
    default: return std::nullopt;
  }
}

void initialisePipeWire() {
  static std::once_flag once;
  std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
  if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
    static_cast<PipeWireFrames*>(data)->onBroken();
  } else if (state == PW_STREAM_STATE_STREAMING) {
    static_cast<PipeWireFrames*>(data)->onStreaming();
  }
}

void onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
  if (param == nullptr || id != SPA_PARAM_Format) return;
  std::uint32_t mediaType = 0;
  std::uint32_t mediaSubtype = 0;
  if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
      mediaSubtype != SPA_MEDIA_SUBTYPE_raw) {
    return;
  }
  spa_video_info_raw info{};
  if (spa_format_video_raw_parse(param, &info) < 0) return;
  auto& frames = *static_cast<PipeWireFrames*>(data);
  frames.onFormat(info.format, static_cast<int>(info.size.width), static_cast<int>(info.size.height));
  // Each frame's header carries the time the producer recorded it.
  std::uint8_t paramBytes[metaParamBytes];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(paramBytes, sizeof(paramBytes));
  const spa_pod* params[] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
      SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))))};
  pw_stream_update_params(frames.stream(), params, 1);
}

// Only the newest buffer matters: older ones queued behind it go back at once.
void onProcess(void* data) {
  auto& frames = *static_cast<PipeWireFrames*>(data);
  pw_stream* stream = frames.stream();
  pw_buffer* newest = nullptr;
  while (pw_buffer* next = pw_stream_dequeue_buffer(stream)) {
    if (newest != nullptr) pw_stream_queue_buffer(stream, newest);
    newest = next;
  }
  if (newest == nullptr) return;
  const spa_buffer* buffer = newest->buffer;
  // A frame that only moves the pointer carries no pixels.
  if (buffer->n_datas > 0 && buffer->datas[0].data != nullptr && buffer->datas[0].chunk->size > 0 &&
      (buffer->datas[0].chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) == 0) {
    const spa_data& plane = buffer->datas[0];
    // Without the time it was recorded a frame cannot be told fresh.
    const auto* header =
        static_cast<const spa_meta_header*>(spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    // The chunk must lie inside the mapped plane, whatever the producer says.
    const bool inside = plane.chunk->offset <= plane.maxsize && plane.chunk->size <= plane.maxsize - plane.chunk->offset;
    if (header != nullptr && inside) {
      frames.onFrame(static_cast<const std::uint8_t*>(plane.data) + plane.chunk->offset, plane.chunk->stride,
                     plane.chunk->size, std::chrono::nanoseconds(header->pts));
    }
  }
  pw_stream_queue_buffer(stream, newest);
}

const pw_stream_events streamEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = onStateChanged;
  events.param_changed = onParamChanged;
  events.process = onProcess;
  return events;
}();

const spa_pod* formatParam(spa_pod_builder& builder) {
  spa_rectangle someSize{1, 1};
  spa_rectangle smallest{1, 1};
  spa_rectangle largest{longestSide, longestSide};
  spa_fraction anyRate{0, 1};
  spa_fraction fastest{fastestFramesPerSecond, 1};
  spa_fraction slowest{0, 1};
  return static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
      SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
      SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                             SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
      SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&someSize, &smallest, &largest),
      SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&anyRate), SPA_FORMAT_VIDEO_maxFramerate,
      SPA_POD_CHOICE_RANGE_Fraction(&fastest, &slowest, &fastest)));
}

}  // namespace

std::optional<FrameBuffer> partOfFrame(const FrameBuffer& frame, const PixelRect& whole, const PixelRect& area) {
  if (whole.width <= 0 || whole.height <= 0 || area.x < whole.x || area.y < whole.y ||
      area.x + area.width > whole.x + whole.width || area.y + area.height > whole.y + whole.height) {
    return std::nullopt;
  }
  // The frame may be at another scale than the layout.
  const auto column = [&](int x) {
    return static_cast<int>(static_cast<std::int64_t>(x - whole.x) * frame.width / whole.width);
  };
  const auto row = [&](int y) {
    return static_cast<int>(static_cast<std::int64_t>(y - whole.y) * frame.height / whole.height);
  };
  const int left = column(area.x);
  const int top = row(area.y);
  FrameBuffer part = frame;
  part.width = column(area.x + area.width) - left;
  part.height = row(area.y + area.height) - top;
  if (part.width <= 0 || part.height <= 0) return std::nullopt;
  part.bytes = frame.bytes + static_cast<std::ptrdiff_t>(top) * frame.stride + static_cast<std::ptrdiff_t>(left) * bytesPerPixel;
  return part;
}

PipeWireFrames::PipeWireFrames() = default;
PipeWireFrames::~PipeWireFrames() { disconnect(); }

bool PipeWireFrames::connect(std::uint32_t nodeId) {
  disconnect();
  initialisePipeWire();
  loop_ = pw_thread_loop_new("morvel-frames", nullptr);
  if (loop_ == nullptr) return false;
  context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
  if (context_ == nullptr || pw_thread_loop_start(loop_) < 0) {
    disconnect();
    return false;
  }
  pw_thread_loop_lock(loop_);
  core_ = pw_context_connect(context_, nullptr, 0);
  if (core_ != nullptr) {
    stream_ = pw_stream_new(core_, "morvel_ax_helper",
                            pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                              PW_KEY_MEDIA_ROLE, "Screen", nullptr));
  }
  bool connected = false;
  if (stream_ != nullptr) {
    listener_ = std::make_unique<spa_hook>();
    pw_stream_add_listener(stream_, listener_.get(), &streamEvents, this);
    std::uint8_t paramBytes[formatParamBytes];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(paramBytes, sizeof(paramBytes));
    const spa_pod* params[] = {formatParam(builder)};
    connected = pw_stream_connect(stream_, PW_DIRECTION_INPUT, nodeId,
                                  static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
                                  params, 1) == 0;
  }
  pw_thread_loop_unlock(loop_);
  if (!connected) disconnect();
  return connected;
}

void PipeWireFrames::disconnect() {
  if (loop_ != nullptr) pw_thread_loop_stop(loop_);
  if (stream_ != nullptr) pw_stream_destroy(stream_);
  if (core_ != nullptr) pw_core_disconnect(core_);
  if (context_ != nullptr) pw_context_destroy(context_);
  if (loop_ != nullptr) pw_thread_loop_destroy(loop_);
  stream_ = nullptr;
  listener_.reset();
  core_ = nullptr;
  context_ = nullptr;
  loop_ = nullptr;
  negotiated_ = false;
  streaming_ = false;
  frame_.clear();
  recorded_.reset();
  broken_ = false;
}

void PipeWireFrames::onFormat(std::uint32_t format, int width, int height) {
  auto memoryFormat = memoryFormatOf(format);
  negotiated_ = memoryFormat.has_value() && width > 0 && height > 0;
  format_ = memoryFormat.value_or(0);
  width_ = width;
  height_ = height;
}

void PipeWireFrames::onFrame(const std::uint8_t* bytes, int stride, std::uint32_t size,
                             std::chrono::nanoseconds recorded) {
  if (!negotiated_ || stride < width_ * bytesPerPixel || size < static_cast<std::uint64_t>(stride) * height_) return;
  frame_.assign(bytes, bytes + static_cast<std::size_t>(stride) * height_);
  stride_ = stride;
  recorded_ = recorded;
  pw_thread_loop_signal(loop_, false);
}

void PipeWireFrames::onStreaming() {
  streaming_ = true;
  pw_thread_loop_signal(loop_, false);
}

bool PipeWireFrames::awaitStreaming(std::chrono::milliseconds wait) {
  if (loop_ == nullptr) return false;
  pw_thread_loop_lock(loop_);
  timespec deadline{};
  pw_thread_loop_get_time(loop_, &deadline, std::chrono::nanoseconds(wait).count());
  while (!(streaming_ && negotiated_) && !broken_) {
    if (pw_thread_loop_timed_wait_full(loop_, &deadline) != 0) break;
  }
  const bool streaming = streaming_ && negotiated_ && !broken_;
  pw_thread_loop_unlock(loop_);
  return streaming;
}

void PipeWireFrames::onBroken() {
  broken_ = true;
  pw_thread_loop_signal(loop_, false);
}

bool PipeWireFrames::endedAfterFrames() {
  if (loop_ == nullptr) return false;
  pw_thread_loop_lock(loop_);
  const bool ended = broken_ && recorded_.has_value();
  pw_thread_loop_unlock(loop_);
  return ended;
}

std::optional<GreyImage> PipeWireFrames::frameSince(std::chrono::nanoseconds recordedSince, const PixelRect& area,
                                                    const PixelRect& whole, std::chrono::milliseconds wait) {
  if (loop_ == nullptr || area.width <= 0 || area.height <= 0 || whole.width <= 0 || whole.height <= 0) {
    return std::nullopt;
  }
  pw_thread_loop_lock(loop_);
  timespec deadline{};
  pw_thread_loop_get_time(loop_, &deadline, std::chrono::nanoseconds(wait).count());
  while ((!recorded_ || *recorded_ < recordedSince) && !broken_) {
    if (pw_thread_loop_timed_wait_full(loop_, &deadline) != 0) break;
  }
  std::optional<GreyImage> grey;
  if (recorded_ && *recorded_ >= recordedSince && !broken_) {
    const FrameBuffer frame{format_, width_, height_, stride_, false, frame_.data()};
    GreyImage image{area.width, area.height, std::vector<std::uint8_t>(static_cast<std::size_t>(area.width) * area.height)};
    const auto part = partOfFrame(frame, whole, area);
    if (part && copyFrameToGrey(*part, area, area.x, area.y, image)) grey = std::move(image);
  }
  pw_thread_loop_unlock(loop_);
  return grey;
}

}  // namespace morvel::linux_ax
