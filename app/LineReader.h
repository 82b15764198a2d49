#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace morvel {

// One line of input, without its line feed. A line longer than the reader's limit
// comes back once, empty and marked, as soon as the limit is passed; the rest of
// it is read and dropped without being kept.
struct InputLine {
  std::string_view text;
  bool tooLong = false;
};

// Splits a file descriptor's input into lines at line feeds; the last line may end
// at end of input. Holds at most about `maxLineBytes` of one line in memory.
class LineReader {
 public:
  static constexpr std::size_t defaultMaxLineBytes = std::size_t{16} << 20;

  explicit LineReader(int fd, std::size_t maxLineBytes = defaultMaxLineBytes) : fd_(fd), maxLineBytes_(maxLineBytes) {}

  // The next line, valid until the following call; nothing at end of input.
  std::optional<InputLine> next();

 private:
  bool fill();
  bool skipRestOfLongLine();
  InputLine take(std::size_t end, std::size_t resumeAt);

  int fd_;
  std::size_t maxLineBytes_;
  std::string buffer_;
  std::size_t lineStart_ = 0;  // where the next line begins in buffer_
  std::size_t scanned_ = 0;    // buffer_ holds no line feed between lineStart_ and here
  bool skipping_ = false;      // inside a line already answered as too long
  bool atEnd_ = false;
};

}  // namespace morvel
