#include "text/UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>

namespace morvel {
namespace {

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isBlank(UChar32 c) {
  if (c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85) return true;
  return (U_GET_GC_MASK(c) & U_GC_Z_MASK) != 0;
}

icu::UnicodeString toUnicode(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

}  // namespace

bool isWellFormedUtf8(std::string_view bytes) {
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) return false;  // left to the repair, in pieces
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  for (int32_t i = 0; i < length;) {
    if (s[i] < 0x80) {  // ASCII needs no decoding
      ++i;
      continue;
    }
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string repairUtf8(std::string_view bytes) {
  if (isWellFormedUtf8(bytes)) return std::string(bytes);
  // fromUTF8 substitutes U+FFFD for each maximal ill-formed subpart.
  std::string repaired;
  std::size_t offset = 0;
  constexpr std::size_t chunk = 1u << 30;  // ICU lengths are 32-bit; a split may only cut a sequence that is then repaired twice
  while (offset < bytes.size()) {
    std::string_view piece = bytes.substr(offset, chunk);
    toUnicode(piece).toUTF8String(repaired);
    offset += piece.size();
  }
  return repaired;
}

std::string_view trimBlank(std::string_view text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t start = 0;
  while (start < length) {
    int32_t next = start;
    UChar32 c;
    U8_NEXT(s, next, length, c);
    if (!isBlank(c)) break;
    start = next;
  }
  int32_t end = length;
  while (end > start) {
    int32_t previous = end;
    UChar32 c;
    U8_PREV(s, 0, previous, c);
    if (!isBlank(c)) break;
    end = previous;
  }
  return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

std::size_t graphemeCount(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> clusters(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  icu::UnicodeString unicode = toUnicode(text);
  if (U_FAILURE(status)) return static_cast<std::size_t>(unicode.countChar32());
  clusters->setText(unicode);
  std::size_t count = 0;
  for (int32_t boundary = clusters->next(); boundary != icu::BreakIterator::DONE; boundary = clusters->next()) ++count;
  return count;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // ASCII text is its own canonical decomposition: unequal bytes stay unequal.
  if (isAscii(a) && isAscii(b)) return false;
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  if (U_FAILURE(status)) return false;
  icu::UnicodeString left = nfd->normalize(toUnicode(a), status);
  icu::UnicodeString right = nfd->normalize(toUnicode(b), status);
  return U_SUCCESS(status) && left == right;
}

}  // namespace morvel
