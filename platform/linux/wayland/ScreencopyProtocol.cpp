#include "platform/linux/wayland/ScreencopyProtocol.h"

namespace morvel::linux_ax::screencopy {
namespace {

// The interface each argument of a message refers to, or nothing for a plain
// value; libwayland reads one entry per argument, in signature order.
const wl_interface* captureOutputTypes[] = {&frameInterface, nullptr, &wl_output_interface};
const wl_interface* captureOutputRegionTypes[] = {&frameInterface, nullptr, &wl_output_interface,
                                                  nullptr,         nullptr, nullptr,
                                                  nullptr};
const wl_interface* bufferTypes[] = {&wl_buffer_interface};
const wl_interface* noTypes[] = {nullptr, nullptr, nullptr, nullptr};

// Signatures: a leading number is the version that added the message; n is a
// new object, o an object, i a signed and u an unsigned integer.
const wl_message managerRequests[] = {
    {"capture_output", "nio", captureOutputTypes},
    {"capture_output_region", "nioiiii", captureOutputRegionTypes},
    {"destroy", "", noTypes},
};

const wl_message frameRequests[] = {
    {"copy", "o", bufferTypes},
    {"destroy", "", noTypes},
    {"copy_with_damage", "2o", bufferTypes},
};

const wl_message frameEvents[] = {
    {"buffer", "uuuu", noTypes},      {"flags", "u", noTypes},
    {"ready", "uuu", noTypes},        {"failed", "", noTypes},
    {"damage", "2uuuu", noTypes},     {"linux_dmabuf", "3uuu", noTypes},
    {"buffer_done", "3", noTypes},
};

constexpr int protocolVersion = 3;

enum ManagerRequest : std::uint32_t { CaptureOutputRegion = 1, DestroyManager = 2 };
enum FrameRequest : std::uint32_t { Copy = 0, DestroyFrame = 1 };

}  // namespace

const wl_interface managerInterface = {managerName, protocolVersion, 3, managerRequests, 0, nullptr};
const wl_interface frameInterface = {"zwlr_screencopy_frame_v1", protocolVersion, 3, frameRequests, 7, frameEvents};

wl_proxy* captureOutputRegion(wl_proxy* manager, wl_output* output, int x, int y, int width, int height) {
  constexpr std::int32_t withoutCursor = 0;
  return wl_proxy_marshal_flags(manager, CaptureOutputRegion, &frameInterface, wl_proxy_get_version(manager), 0,
                                nullptr, withoutCursor, output, x, y, width, height);
}

void copy(wl_proxy* frame, wl_buffer* buffer) {
  wl_proxy_marshal_flags(frame, Copy, nullptr, wl_proxy_get_version(frame), 0, buffer);
}

void destroyFrame(wl_proxy* frame) {
  wl_proxy_marshal_flags(frame, DestroyFrame, nullptr, wl_proxy_get_version(frame), WL_MARSHAL_FLAG_DESTROY);
}

void destroyManager(wl_proxy* manager) {
  wl_proxy_marshal_flags(manager, DestroyManager, nullptr, wl_proxy_get_version(manager), WL_MARSHAL_FLAG_DESTROY);
}

}  // namespace morvel::linux_ax::screencopy
