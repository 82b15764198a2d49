#include "app/ReplyWriter.h"

#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace morvel {
namespace {

bool isWritable(const Json& value) {
  switch (value.type()) {
    case Json::value_t::number_float:
      return std::isfinite(value.get<double>());
    case Json::value_t::array:
    case Json::value_t::object:
      for (const auto& item : value) {
        if (!isWritable(item)) return false;
      }
      return true;
    case Json::value_t::binary:
    case Json::value_t::discarded:
      return false;
    default:
      return true;
  }
}

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // nowhere to report a closed output
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

std::string replyLine(const Json& reply) {
  if (!isWritable(reply)) return std::string(serializeFailedLine);
  try {
    std::string line = reply.dump();
    line.push_back('\n');
    return line;
  } catch (const Json::exception&) {
    return std::string(serializeFailedLine);
  }
}

void emit(int fd, const Json& reply) { writeAll(fd, replyLine(reply)); }

}  // namespace morvel
