#include "app/LineReader.h"

#include <array>
#include <cerrno>
#include <unistd.h>

namespace morvel {

std::optional<InputLine> LineReader::next() {
  if (skipping_ && !skipRestOfLongLine()) return std::nullopt;
  for (;;) {
    if (auto newline = buffer_.find('\n', scanned_); newline != std::string::npos) {
      if (newline - lineStart_ > maxLineBytes_) {
        lineStart_ = scanned_ = newline + 1;
        return InputLine{{}, true};
      }
      return take(newline, newline + 1);
    }
    scanned_ = buffer_.size();
    if (scanned_ - lineStart_ > maxLineBytes_) {
      buffer_.clear();
      lineStart_ = scanned_ = 0;
      skipping_ = true;
      return InputLine{{}, true};
    }
    if (!fill()) {
      if (lineStart_ == buffer_.size()) return std::nullopt;
      return take(buffer_.size(), buffer_.size());
    }
  }
}

InputLine LineReader::take(std::size_t end, std::size_t resumeAt) {
  std::string_view line(buffer_.data() + lineStart_, end - lineStart_);
  lineStart_ = scanned_ = resumeAt;
  return {line, false};
}

// Drops input up to and including the line feed that ends the long line; false
// when the input ends first.
bool LineReader::skipRestOfLongLine() {
  for (;;) {
    if (auto newline = buffer_.find('\n', lineStart_); newline != std::string::npos) {
      lineStart_ = scanned_ = newline + 1;
      skipping_ = false;
      return true;
    }
    lineStart_ = scanned_ = buffer_.size();
    if (!fill()) return false;
  }
}

bool LineReader::fill() {
  if (atEnd_) return false;
  buffer_.erase(0, lineStart_);  // drop the lines already handed out
  scanned_ -= lineStart_;
  lineStart_ = 0;
  std::array<char, 65536> chunk{};
  for (;;) {
    ssize_t count = ::read(fd_, chunk.data(), chunk.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      atEnd_ = true;
      return false;
    }
    buffer_.append(chunk.data(), static_cast<std::size_t>(count));
    return true;
  }
}

}  // namespace morvel
