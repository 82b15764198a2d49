#pragma once

// What was read from images seen before, so that the same pixels are never
// recognised twice: clients poll ("fingerprint" over a rectangle, "ocr-region",
// the screen-text form of "structure"), and most of a screen stays as it was
// between two polls. Entries are keyed by a 128-bit hash of the pixels and of
// every setting that shapes what is read, and the least recently used go first
// once the cache holds more than its bound. This is the only state the screen
// side keeps from one request to the next.

#include "platform/linux/image/GreyImage.h"
#include "platform/linux/recognition/TesseractEngine.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvel::linux_ax {

struct PixelKey {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  bool operator==(const PixelKey&) const = default;
};

// The key of `image` read with `settings` (a description of everything besides
// the pixels that changes the reading).
PixelKey pixelKey(const GreyImage& image, std::string_view settings);

// The lines read from one image, and the scale they were read at.
struct Reading {
  std::vector<FoundLine> lines;
  int scale = 1;
};

class RecognitionCache {
 public:
  // A few thousand readings of bands and whole captures: a screen's worth of
  // text many times over, and a small part of the helper's memory.
  static constexpr std::size_t defaultBytes = 16U << 20U;

  explicit RecognitionCache(std::size_t mostBytes = defaultBytes) : mostBytes_(mostBytes) {}

  // The reading stored under `key`, now the most recently used; or nothing.
  std::optional<Reading> find(const PixelKey& key);
  void store(const PixelKey& key, Reading reading);

  std::size_t bytes() const { return bytes_; }
  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    PixelKey key;
    Reading reading;
    std::size_t bytes = 0;
  };
  struct KeyHash {
    std::size_t operator()(const PixelKey& key) const { return static_cast<std::size_t>(key.low); }
  };

  std::size_t mostBytes_;
  std::size_t bytes_ = 0;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<PixelKey, std::list<Entry>::iterator, KeyHash> index_;
};

}  // namespace morvel::linux_ax
