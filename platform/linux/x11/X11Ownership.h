#pragma once

// Owning wrappers for what Xlib and System V shared memory hand over: every
// buffer, image and attachment is released exactly once, on every path.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/shm.h>

#include <memory>

namespace morvel::linux_ax {

// Memory Xlib allocated for the caller (property data, window lists).
struct XFreeDeleter {
  void operator()(void* data) const { XFree(data); }
};
template <class T>
using XPtr = std::unique_ptr<T, XFreeDeleter>;

// An image Xlib made, together with its pixels.
struct XImageDeleter {
  void operator()(XImage* image) const { XDestroyImage(image); }
};
using XImagePtr = std::unique_ptr<XImage, XImageDeleter>;

// An image whose pixels live elsewhere (a shared-memory segment): only the
// image itself is destroyed.
struct BorrowedPixelsImageDeleter {
  void operator()(XImage* image) const {
    image->data = nullptr;
    XDestroyImage(image);
  }
};
using BorrowedPixelsImagePtr = std::unique_ptr<XImage, BorrowedPixelsImageDeleter>;

// This process's attachment of a shared-memory segment.
struct ShmDetacher {
  void operator()(void* address) const { shmdt(address); }
};
using ShmAttachment = std::unique_ptr<void, ShmDetacher>;

}  // namespace morvel::linux_ax
