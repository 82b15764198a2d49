#include "platform/linux/wayland/SwayIpc.h"

#include "platform/linux/ServiceNotice.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace morvel::linux_ax {
namespace {

constexpr std::string_view swayMagic = "i3-ipc";
constexpr std::string_view serviceName = "the sway compositor";
// While sway is away a request looks for its socket no more often than this:
// a request asks sway several times.
constexpr auto retryInterval = std::chrono::milliseconds(250);
// A compositor that has not answered in this long is not going to.
constexpr auto replyDeadline = std::chrono::seconds(2);
// Far above the tree of any desktop; a larger length is a broken stream.
constexpr std::uint32_t largestReply = 64u << 20;

void appendWord(std::string& bytes, std::uint32_t word) {
  char raw[sizeof word];
  std::memcpy(raw, &word, sizeof word);
  bytes.append(raw, sizeof word);
}

std::uint32_t wordAt(std::string_view bytes, std::size_t offset) {
  std::uint32_t word = 0;
  std::memcpy(&word, bytes.data() + offset, sizeof word);
  return word;
}

using Clock = std::chrono::steady_clock;

// Waits until `fd` is ready for `events` or the deadline passes.
bool waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, static_cast<int>(left));
    if (ready > 0) return (entry.revents & events) != 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool sendAll(int fd, std::string_view bytes, Clock::time_point deadline) {
  while (!bytes.empty()) {
    if (!waitFor(fd, POLLOUT, deadline)) return false;
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool receiveExactly(int fd, std::string& into, std::size_t count, Clock::time_point deadline) {
  into.resize(count);
  std::size_t received = 0;
  while (received < count) {
    if (!waitFor(fd, POLLIN, deadline)) return false;
    const ssize_t got = recv(fd, into.data() + received, count - received, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return false;
    received += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

std::string frameSwayMessage(SwayMessage type, std::string_view payload) {
  std::string bytes(swayMagic);
  appendWord(bytes, static_cast<std::uint32_t>(payload.size()));
  appendWord(bytes, static_cast<std::uint32_t>(type));
  bytes.append(payload);
  return bytes;
}

std::optional<std::uint32_t> swayReplyLength(std::string_view header, SwayMessage type) {
  if (header.size() != swayHeaderSize || !header.starts_with(swayMagic)) return std::nullopt;
  const std::uint32_t length = wordAt(header, swayMagic.size());
  const std::uint32_t replyType = wordAt(header, swayMagic.size() + sizeof length);
  if (replyType != static_cast<std::uint32_t>(type) || length > largestReply) return std::nullopt;
  return length;
}

SwayIpc::~SwayIpc() { disconnect(); }

bool SwayIpc::connectTo(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (socket_ < 0) return false;
  // A local socket connects at once or not at all.
  if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    disconnect();
    return false;
  }
  return true;
}

bool SwayIpc::connectToAnySwaySocket() {
  for (const std::string& path : swaySocketsIn(searchDirectory_)) {
    if (path != socketPath_ && connectTo(path)) {
      socketPath_ = path;
      return true;
    }
  }
  return false;
}

bool SwayIpc::connect() {
  if (socket_ >= 0) return true;
  if (lost_ && Clock::now() - lastFailedAttempt_ < retryInterval) return false;
  if (!connectTo(socketPath_) && !connectToAnySwaySocket()) {
    lastFailedAttempt_ = Clock::now();
    if (!lost_) noticeServiceLost(serviceName);
    lost_ = true;
    return false;
  }
  if (lost_) noticeServiceBack(serviceName);
  lost_ = false;
  return true;
}

void SwayIpc::disconnect() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

std::optional<std::string> SwayIpc::request(SwayMessage type, std::string_view payload) {
  // A connection the compositor closed since the last request fails on its
  // first use; one fresh connection is worth a second try.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const bool reused = socket_ >= 0;
    if (!connect()) return std::nullopt;
    const auto deadline = Clock::now() + replyDeadline;
    std::string header;
    std::string reply;
    if (sendAll(socket_, frameSwayMessage(type, payload), deadline) &&
        receiveExactly(socket_, header, swayHeaderSize, deadline)) {
      if (auto length = swayReplyLength(header, type); length && receiveExactly(socket_, reply, *length, deadline)) {
        return reply;
      }
    }
    disconnect();
    if (!reused) break;
  }
  return std::nullopt;
}

}  // namespace morvel::linux_ax
