#pragma once

// One connection to the X server, opened on first use and again after the
// server went away: a server started again under the same display name is used
// again. X errors never print anything or end the process: they are counted, so
// that a caller can tell whether its own requests failed. Losing the server and
// finding it again are each told once on standard error, however many
// connections the process holds.

#include <chrono>
#include <cstdint>

typedef struct _XDisplay Display;

namespace morvel::linux_ax {

class X11Connection {
 public:
  X11Connection() = default;
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  // The open display, or null when there is no X server to reach.
  Display* display();
  // Whether the server this process was using has gone away and none is back
  // under its name yet; a hang-up is noticed from the socket alone, without a
  // round trip. A process that never reached a server has lost none.
  bool serverGone();
  // Connections opened so far: a new one may be another server with other
  // extensions.
  std::uint64_t openCount() const { return opens_; }

  // X errors seen by this process so far; compare before and after an XSync.
  static std::uint64_t errorCount();

 private:
  static void markBroken(Display* display, void* connection);
  void noticeHangUp();
  void closeBroken();
  void open();

  Display* display_ = nullptr;
  bool broken_ = false;
  // The server this connection was opened on, as counted by serverGeneration.
  std::uint64_t generation_ = 0;
  std::uint64_t opens_ = 0;
  std::chrono::steady_clock::time_point lastAttempt_{};
};

}  // namespace morvel::linux_ax
