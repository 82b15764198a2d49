#pragma once

// A client of sway's IPC socket ($SWAYSOCK): one request, one reply, in the
// i3/sway message framing. The connection is opened on first use and again
// after the compositor closed it; a request that gets no whole reply in time
// is an absent value and drops the connection, so that a late reply is never
// read as the answer to the next request.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvel::linux_ax {

enum class SwayMessage : std::uint32_t { RunCommand = 0, GetOutputs = 3, GetTree = 4, GetVersion = 7 };

class SwayIpc {
 public:
  explicit SwayIpc(std::string socketPath) : socketPath_(std::move(socketPath)) {}
  ~SwayIpc();
  SwayIpc(const SwayIpc&) = delete;
  SwayIpc& operator=(const SwayIpc&) = delete;

  // The reply's payload (JSON text), or nothing when the compositor did not answer.
  std::optional<std::string> request(SwayMessage type, std::string_view payload = {});

 private:
  bool connect();
  void disconnect();

  std::string socketPath_;
  int socket_ = -1;
};

// The framing on its own: a request's bytes, and a reply header's payload length
// when the header is well formed and answers `type`.
std::string frameSwayMessage(SwayMessage type, std::string_view payload);
std::optional<std::uint32_t> swayReplyLength(std::string_view header, SwayMessage type);
inline constexpr std::size_t swayHeaderSize = 14;

}  // namespace morvel::linux_ax
