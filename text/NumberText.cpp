#include "text/NumberText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace morvel {

std::string decimalText(std::int64_t value) {
  std::array<char, 24> buffer{};
  auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), end);
}

std::string decimalText(double value) {
  // A whole value within the exact range of doubles is written as an integer ("1", not "1.0").
  constexpr double exactIntegerLimit = 9007199254740992.0;  // 2^53
  if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) <= exactIntegerLimit) {
    return decimalText(static_cast<std::int64_t>(value));
  }
  std::array<char, 32> buffer{};
  auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), end);
}

}  // namespace morvel
