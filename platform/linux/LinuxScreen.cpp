#include "platform/linux/LinuxScreen.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace morvel::linux_ax {
namespace {

// A bound beyond any use: the cache holds text, not pixels.
constexpr std::size_t mostCacheMegabytes = 4096;

// The recognition cache's bound from MORVEL_OCR_CACHE_MB (0 turns it off); the
// default when it is unset or not a whole number of megabytes.
std::size_t cacheBytesFromEnvironment() {
  const char* text = std::getenv("MORVEL_OCR_CACHE_MB");
  if (text == nullptr) return RecognitionCache::defaultBytes;
  std::size_t megabytes = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, megabytes);
  if (error != std::errc() || stop != end || stop == text || megabytes > mostCacheMegabytes) {
    return RecognitionCache::defaultBytes;
  }
  return megabytes << 20U;
}

// The languages read, from MORVEL_OCR_LANGUAGES ("eng+deu"); by default when
// it is unset or empty.
std::string languagesFromEnvironment() {
  const char* text = std::getenv("MORVEL_OCR_LANGUAGES");
  return installedLanguages(text == nullptr || *text == '\0' ? defaultLanguages : text);
}

}  // namespace

LinuxScreen::LinuxScreen(WindowSystem& windows)
    : windows_(windows), recognizer_(0, cacheBytesFromEnvironment(), languagesFromEnvironment()) {}

std::unique_ptr<ocr::CapturedImage> LinuxScreen::capture(const ax::Rect& region) { return windows_.capture(region); }

std::optional<std::vector<ocr::Observation>> LinuxScreen::recognize(const ocr::CapturedImage& image) {
  const auto* grey = dynamic_cast<const GreyCapture*>(&image);
  if (grey == nullptr) return std::nullopt;  // captured by another screen
  return recognizer_.recognize(*grey);
}

}  // namespace morvel::linux_ax
