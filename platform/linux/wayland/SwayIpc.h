#pragma once

// A client of sway's IPC socket ($SWAYSOCK): one request, one reply, in the
// i3/sway message framing. The connection is opened on first use and again
// after the compositor closed it; a request that gets no whole reply in time
// is an absent value and drops the connection, so that a late reply is never
// read as the answer to the next request. When the socket stops answering (sway
// ended or was started again under a new socket), the sockets sway makes for
// itself are looked for in `searchDirectory`; losing the compositor and finding
// it again are each told once on standard error.

#include "platform/linux/wayland/SwaySocket.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace morvel::linux_ax {

enum class SwayMessage : std::uint32_t { RunCommand = 0, GetOutputs = 3, GetTree = 4, GetVersion = 7 };

class SwayIpc {
 public:
  explicit SwayIpc(std::string socketPath, std::filesystem::path searchDirectory = swaySocketDirectory())
      : socketPath_(std::move(socketPath)), searchDirectory_(std::move(searchDirectory)) {}
  ~SwayIpc();
  SwayIpc(const SwayIpc&) = delete;
  SwayIpc& operator=(const SwayIpc&) = delete;

  // The reply's payload (JSON text), or nothing when the compositor did not answer.
  std::optional<std::string> request(SwayMessage type, std::string_view payload = {});

 private:
  bool connect();
  bool connectTo(const std::string& path);
  bool connectToAnySwaySocket();
  void disconnect();

  std::string socketPath_;
  std::filesystem::path searchDirectory_;
  int socket_ = -1;
  bool lost_ = false;
  std::chrono::steady_clock::time_point lastFailedAttempt_{};
};

// The framing on its own: a request's bytes, and a reply header's payload length
// when the header is well formed and answers `type`.
std::string frameSwayMessage(SwayMessage type, std::string_view payload);
std::optional<std::uint32_t> swayReplyLength(std::string_view header, SwayMessage type);
inline constexpr std::size_t swayHeaderSize = 14;

}  // namespace morvel::linux_ax
