// The baseline of the protocol benchmark: reads lines and writes each back with
// one write call, the least any line-based helper must do.

#include <array>
#include <string>
#include <unistd.h>

int main() {
  std::string pending;
  std::array<char, 65536> chunk{};
  for (;;) {
    ssize_t count = ::read(STDIN_FILENO, chunk.data(), chunk.size());
    if (count <= 0) break;
    pending.append(chunk.data(), static_cast<std::size_t>(count));
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      if (::write(STDOUT_FILENO, pending.data() + start, end - start + 1) < 0) return 1;
    }
    pending.erase(0, start);
  }
  return 0;
}
