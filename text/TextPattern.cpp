#include "text/TextPattern.h"

#include <unicode/utext.h>

#include <cstdint>

namespace morvel {
namespace {

// No flags: anchors refer to the whole text and word boundaries are the simple
// ones between word and non-word characters.
constexpr uint32_t noFlags = 0;

}  // namespace

TextPattern::TextPattern(std::string_view pattern) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError where{};
  const icu::UnicodeString source =
      icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size())));
  std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(source, noFlags, where, status));
  if (U_SUCCESS(status)) compiled_ = std::move(compiled);
}

bool TextPattern::foundIn(std::string_view text) const {
  if (!compiled_) return false;
  UErrorCode status = U_ZERO_ERROR;
  // Read in place as UTF-8: no copy, and no 32-bit limit on the text's length.
  icu::LocalUTextPointer input(utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
  std::unique_ptr<icu::RegexMatcher> matcher(compiled_->matcher(status));
  if (U_FAILURE(status)) return false;
  matcher->reset(input.getAlias());
  const bool found = matcher->find(status);
  return U_SUCCESS(status) && found;
}

}  // namespace morvel
