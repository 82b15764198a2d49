#pragma once

// xcb's replies, owned: asked first (a cookie per request, all sent before the
// first wait), taken after. An error reply is taken here too, so that it never
// reaches Xlib's error handler as if one of its own requests had failed.

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace morvel::linux_ax {

// xcb's replies are malloc'ed and freed by the caller.
struct FreeDeleter {
  void operator()(void* reply) const { std::free(reply); }
};
template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

// Questions the server refused so far, in this process: a read that met one
// may be incomplete.
inline std::uint64_t& refusedQuestions() {
  static std::uint64_t refused = 0;
  return refused;
}

// A reply, or none where the server answered with an error (a window destroyed
// since it was listed).
template <class Reply, class Cookie>
ReplyPtr<Reply> replyOrNone(xcb_connection_t* connection, Cookie cookie,
                            Reply* (*receive)(xcb_connection_t*, Cookie, xcb_generic_error_t**)) {
  xcb_generic_error_t* error = nullptr;
  ReplyPtr<Reply> reply(receive(connection, cookie, &error));
  if (error != nullptr) ++refusedQuestions();
  std::free(error);
  return reply;
}

}  // namespace morvel::linux_ax
