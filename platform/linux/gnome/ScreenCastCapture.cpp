#include "platform/linux/gnome/ScreenCastCapture.h"

namespace morvel::linux_ax {
namespace {

using Clock = std::chrono::steady_clock;

// A redrawn frame comes within a frame or two of the shell's painting.
constexpr std::chrono::milliseconds frameWait{2000};
// The frame of a drawing already done is on its way, or follows within the
// cast's frame interval when the shell held it back for the rate; past this
// it was lost, and the screen is drawn again instead.
constexpr std::chrono::milliseconds drawnFrameWait{250};
constexpr std::chrono::seconds retryAfterFailure{30};
// Linking a new stream and agreeing on its format; nobody waits for it.
constexpr std::chrono::milliseconds linkWait{5000};

}  // namespace

ScreenCastCapture::ScreenCastCapture(std::chrono::milliseconds closeWhenIdle) : closeWhenIdle_(closeWhenIdle) {}

ScreenCastCapture::~ScreenCastCapture() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (caster_.joinable()) caster_.join();
}

bool ScreenCastCapture::isOpen() {
  std::lock_guard lock(mutex_);
  return state_ == State::open;
}

void ScreenCastCapture::keepCasts() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const bool idle = state_ == State::open && !inUse_ && Clock::now() >= lastUse_ + closeWhenIdle_;
    if (state_ == State::opening) {
      const CastOf wanted = wanted_;
      lock.unlock();
      const bool opened = openCast(wanted);
      lock.lock();
      // The idle time counts from when the cast could first be used.
      lastUse_ = Clock::now();
      if (!opened) retryAt_ = lastUse_ + retryAfterFailure;
      if (state_ == State::opening && wanted_ == wanted) {
        state_ = opened ? State::open : State::closed;
        opened_ = wanted;
        following_ = false;
      }
    } else if (state_ == State::closing || idle) {
      state_ = State::closing;
      lock.unlock();
      closeCast();
      lock.lock();
      if (state_ == State::closing) state_ = State::closed;
    } else if (state_ == State::open) {
      changed_.wait_until(lock, lastUse_ + closeWhenIdle_);
    } else {
      changed_.wait(lock);
    }
  }
  lock.unlock();
  closeCast();
}

bool ScreenCastCapture::openCast(const CastOf& wanted) {
  frames_.disconnect();
  auto node = cast_.start(wanted.screen, wanted.oneMonitor);
  if (node && frames_.connect(*node) && frames_.awaitStreaming(linkWait)) return true;
  closeCast();
  return false;
}

void ScreenCastCapture::closeCast() {
  frames_.disconnect();
  cast_.stop();
}

std::optional<GreyImage> ScreenCastCapture::lastDrawn(const PixelRect& area, const PixelRect& screen,
                                                      ShellExtensionBus& shell) {
  const auto lastDrawing = shell.settle();
  if (!lastDrawing) return std::nullopt;
  return frames_.frameSince(std::chrono::microseconds(*lastDrawing), area, screen, drawnFrameWait);
}

std::optional<GreyImage> ScreenCastCapture::grabOpen(const PixelRect& area, const PixelRect& screen,
                                                     ShellExtensionBus& shell) {
  if (following_) {
    if (auto pixels = lastDrawn(area, screen, shell)) return pixels;
  }
  const auto asked = shell.redraw();
  if (!asked) return std::nullopt;
  auto pixels = frames_.frameSince(std::chrono::microseconds(*asked), area, screen, frameWait);
  following_ = pixels.has_value();
  return pixels;
}

void ScreenCastCapture::open(const PixelRect& screen, bool oneMonitor) {
  const CastOf wanted{screen, oneMonitor};
  {
    std::lock_guard lock(mutex_);
    lastUse_ = Clock::now();
    if (lastUse_ < retryAt_ || (state_ == State::open && opened_ == wanted) ||
        (state_ == State::opening && wanted_ == wanted)) {
      return;
    }
    state_ = State::opening;
    wanted_ = wanted;
    if (!caster_.joinable()) caster_ = std::thread([this] { keepCasts(); });
  }
  changed_.notify_all();
}

void ScreenCastCapture::keepOpen() {
  std::lock_guard lock(mutex_);
  if (state_ == State::open || state_ == State::opening) lastUse_ = Clock::now();
}

std::optional<GreyImage> ScreenCastCapture::grab(const PixelRect& area, const PixelRect& screen, bool oneMonitor,
                                                 ShellExtensionBus& shell) {
  {
    std::lock_guard lock(mutex_);
    lastUse_ = Clock::now();
    if (state_ != State::open || opened_ != CastOf{screen, oneMonitor}) return std::nullopt;
    inUse_ = true;
  }
  auto pixels = grabOpen(area, screen, shell);
  {
    std::lock_guard lock(mutex_);
    inUse_ = false;
    lastUse_ = Clock::now();
    if (!pixels) {
      // GNOME shows a running cast in the panel with a button to stop it: a
      // cast ended there stays ended for as long as the helper runs.
      retryAt_ = frames_.endedAfterFrames() ? Clock::time_point::max() : lastUse_ + retryAfterFailure;
      state_ = State::closing;
    }
  }
  changed_.notify_all();
  return pixels;
}

}  // namespace morvel::linux_ax
