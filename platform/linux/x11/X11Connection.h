#pragma once

// One connection to the X server, opened on first use and again after the
// server went away. X errors never print anything or end the process: they are
// counted, so that a caller can tell whether its own requests failed.

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

  // X errors seen by this process so far; compare before and after an XSync.
  static std::uint64_t errorCount();

 private:
  Display* display_ = nullptr;
};

}  // namespace morvel::linux_ax
