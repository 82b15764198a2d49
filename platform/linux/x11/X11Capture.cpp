#include "platform/linux/x11/X11Capture.h"

#include "platform/linux/x11/X11Ownership.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

namespace morvel::linux_ax {
namespace {

struct ChannelShifts {
  int red = 0;
  int green = 0;
  int blue = 0;
  unsigned long redMask = 0;
  unsigned long greenMask = 0;
  unsigned long blueMask = 0;
};

// Scales a masked channel to 0..255 whatever its width.
unsigned channel(unsigned long pixel, unsigned long mask, int shift) {
  if (mask == 0) return 0;
  const unsigned long raw = (pixel & mask) >> shift;
  const unsigned long largest = mask >> shift;
  return static_cast<unsigned>(raw * 255 / largest);
}

ChannelShifts shiftsOf(const XImage& image) {
  ChannelShifts shifts;
  shifts.redMask = image.red_mask;
  shifts.greenMask = image.green_mask;
  shifts.blueMask = image.blue_mask;
  shifts.red = image.red_mask == 0 ? 0 : std::countr_zero(image.red_mask);
  shifts.green = image.green_mask == 0 ? 0 : std::countr_zero(image.green_mask);
  shifts.blue = image.blue_mask == 0 ? 0 : std::countr_zero(image.blue_mask);
  return shifts;
}

GreyImage toGrey(XImage& image) {
  GreyImage grey;
  grey.width = image.width;
  grey.height = image.height;
  grey.pixels.resize(static_cast<std::size_t>(grey.width) * grey.height);
  const ChannelShifts shifts = shiftsOf(image);
  const bool directWords = image.bits_per_pixel == 32 && image.byte_order == LSBFirst;
  for (int y = 0; y < image.height; ++y) {
    const char* row = image.data + static_cast<std::ptrdiff_t>(y) * image.bytes_per_line;
    for (int x = 0; x < image.width; ++x) {
      unsigned long pixel = 0;
      if (directWords) {
        std::uint32_t word = 0;
        std::memcpy(&word, row + static_cast<std::ptrdiff_t>(x) * 4, sizeof word);
        pixel = word;
      } else {
        pixel = XGetPixel(&image, x, y);
      }
      grey.pixels[static_cast<std::size_t>(y) * grey.width + x] =
          luminance(channel(pixel, shifts.redMask, shifts.red), channel(pixel, shifts.greenMask, shifts.green),
                    channel(pixel, shifts.blueMask, shifts.blue));
    }
  }
  return grey;
}

// A shared-memory image and its segment, released in the right order: the
// server's attachment, then ours (members are destroyed in reverse), then the
// image.
class SharedImage {
 public:
  SharedImage(Display* display, int width, int height) : display_(display) {
    const int screen = DefaultScreen(display);
    image_.reset(XShmCreateImage(display, DefaultVisual(display, screen),
                                 static_cast<unsigned>(DefaultDepth(display, screen)), ZPixmap, nullptr, &segment_,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height)));
    if (!image_) return;
    segment_.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image_->bytes_per_line) * image_->height,
                            IPC_CREAT | 0600);
    if (segment_.shmid < 0) return;
    void* address = shmat(segment_.shmid, nullptr, 0);
    // Marked for removal at once: the kernel frees it when the last user detaches.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1)) return;
    attachment_.reset(address);
    segment_.shmaddr = image_->data = static_cast<char*>(address);
    segment_.readOnly = False;
    const std::uint64_t errorsBefore = X11Connection::errorCount();
    XShmAttach(display, &segment_);
    XSync(display, False);
    attached_ = X11Connection::errorCount() == errorsBefore;
    refused_ = !attached_;
  }
  SharedImage(const SharedImage&) = delete;
  SharedImage& operator=(const SharedImage&) = delete;
  ~SharedImage() {
    if (attached_) {
      XShmDetach(display_, &segment_);
      XSync(display_, False);
    }
  }
  bool ready() const { return attached_; }
  bool refusedByServer() const { return refused_; }
  XImage* image() const { return image_.get(); }

 private:
  Display* display_;
  BorrowedPixelsImagePtr image_;
  ShmAttachment attachment_;
  XShmSegmentInfo segment_{};
  bool attached_ = false;
  bool refused_ = false;
};

// The root window's size now: the screen may have been resized (RandR) since
// the connection was opened, and Xlib's cached screen size is not updated.
std::optional<std::pair<int, int>> rootSize(Display* display) {
  Window root = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  if (XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &width, &height, &border, &depth) == 0) {
    return std::nullopt;
  }
  return std::pair{static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace

std::unique_ptr<GreyCapture> X11Capture::capture(const ax::Rect& region) {
  auto wanted = pixelRectOf(region);
  if (!wanted) return nullptr;
  Display* display = connection_.display();
  if (display == nullptr) return nullptr;
  auto screen = rootSize(display);
  if (!screen) return nullptr;
  auto visible = clipToScreen(*wanted, screen->first, screen->second);
  if (!visible) return nullptr;
  auto pixels = grab(*visible);
  if (!pixels) return nullptr;
  return std::make_unique<GreyCapture>(wanted->width, wanted->height, visible->x - wanted->x, visible->y - wanted->y,
                                       std::move(*pixels));
}

std::optional<GreyImage> X11Capture::grab(const PixelRect& area) {
  if (sharedMemory_ != SharedMemory::Unusable) {
    if (auto pixels = grabShared(area)) return pixels;
  }
  // Without shared memory (a remote server, one without the extension), or
  // when the shared capture failed this once.
  return grabPlain(area);
}

std::optional<GreyImage> X11Capture::grabShared(const PixelRect& area) {
  Display* display = connection_.display();
  if (display == nullptr) return std::nullopt;
  if (sharedMemory_ == SharedMemory::Unknown) {
    sharedMemory_ = XShmQueryExtension(display) == False ? SharedMemory::Unusable : SharedMemory::Usable;
    if (sharedMemory_ == SharedMemory::Unusable) return std::nullopt;
  }
  SharedImage shared(display, area.width, area.height);
  if (!shared.ready()) {
    // The server cannot attach our segment (it runs elsewhere); a failure to
    // make one is ours and may pass.
    if (shared.refusedByServer()) sharedMemory_ = SharedMemory::Unusable;
    return std::nullopt;
  }
  const std::uint64_t errorsBefore = X11Connection::errorCount();
  const Bool fetched = XShmGetImage(display, DefaultRootWindow(display), shared.image(), area.x, area.y, AllPlanes);
  XSync(display, False);
  if (fetched == False || X11Connection::errorCount() != errorsBefore) return std::nullopt;
  return toGrey(*shared.image());
}

std::optional<GreyImage> X11Capture::grabPlain(const PixelRect& area) {
  Display* display = connection_.display();
  if (display == nullptr) return std::nullopt;
  const XImagePtr image(XGetImage(display, DefaultRootWindow(display), area.x, area.y,
                                  static_cast<unsigned>(area.width), static_cast<unsigned>(area.height), AllPlanes,
                                  ZPixmap));
  if (!image) return std::nullopt;
  return toGrey(*image);
}

}  // namespace morvel::linux_ax
