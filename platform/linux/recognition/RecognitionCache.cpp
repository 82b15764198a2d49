#include "platform/linux/recognition/RecognitionCache.h"

#include <xxhash.h>

#include <string>

namespace morvel::linux_ax {
namespace {

// What an entry costs besides its texts: the list node, the index slot and
// the line records.
std::size_t bytesOf(const Reading& reading) {
  constexpr std::size_t entryOverhead = 128;
  std::size_t bytes = entryOverhead + reading.lines.capacity() * sizeof(FoundLine);
  for (const FoundLine& line : reading.lines) {
    if (line.text) bytes += line.text->capacity();
  }
  return bytes;
}

}  // namespace

PixelKey pixelKey(const GreyImage& image, std::string_view settings) {
  // The size goes into the seed: the same bytes make different images at
  // different widths.
  std::string seedText(settings);
  seedText += '|' + std::to_string(image.width) + 'x' + std::to_string(image.height);
  const XXH64_hash_t seed = XXH3_64bits(seedText.data(), seedText.size());
  const XXH128_hash_t hash = XXH3_128bits_withSeed(image.pixels.data(), image.pixels.size(), seed);
  return {hash.low64, hash.high64};
}

std::optional<Reading> RecognitionCache::find(const PixelKey& key) {
  auto found = index_.find(key);
  if (found == index_.end()) return std::nullopt;
  entries_.splice(entries_.begin(), entries_, found->second);
  return found->second->reading;
}

void RecognitionCache::store(const PixelKey& key, Reading reading) {
  if (auto old = index_.find(key); old != index_.end()) {
    bytes_ -= old->second->bytes;
    entries_.erase(old->second);
    index_.erase(old);
  }
  const std::size_t bytes = bytesOf(reading);
  if (bytes > mostBytes_) return;
  entries_.push_front({key, std::move(reading), bytes});
  index_[key] = entries_.begin();
  bytes_ += bytes;
  while (bytes_ > mostBytes_) {
    bytes_ -= entries_.back().bytes;
    index_.erase(entries_.back().key);
    entries_.pop_back();
  }
}

}  // namespace morvel::linux_ax
