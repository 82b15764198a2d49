#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvel {

bool isWellFormedUtf8(std::string_view bytes);

// Replaces every ill-formed UTF-8 sequence by U+FFFD; well-formed input comes back unchanged.
std::string repairUtf8(std::string_view bytes);

// Removes leading and trailing white space and line breaks: general category Z,
// U+0009, U+000A to U+000D and U+0085. The input must be well-formed UTF-8.
std::string_view trimBlank(std::string_view text);

// The number of user-perceived characters (extended grapheme clusters).
std::size_t graphemeCount(std::string_view text);

// Whole-text equality up to Unicode canonical equivalence (NFD), otherwise exact.
bool canonicallyEqual(std::string_view a, std::string_view b);

// Whether `text` contains `part` as a case-sensitive substring.
inline bool containsText(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace morvel
