#include "platform/linux/recognition/ModelWithoutWordList.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>

namespace morvel::linux_ax {
namespace {

// A model file starts with the count of its parts and each part's offset in
// the file (-1 for a part it lacks); the parts follow in order.
using Count = std::int32_t;
using Offset = std::int64_t;
constexpr Offset absent = -1;
// The part that holds the LSTM recogniser's word list.
constexpr Count wordListPart = 19;
// Tesseract knows fewer parts than this; more means a file of another layout
// (or another byte order), which it sorts out itself.
constexpr Count mostParts = 64;

bool readWhole(std::ifstream& file, std::streamoff size, std::vector<char>& data) {
  data.resize(static_cast<std::size_t>(size));
  file.clear();
  file.seekg(0);
  return static_cast<bool>(file.read(data.data(), size));
}

// Each part's offset in the file, when they make sense for a file of `size` bytes.
std::optional<std::vector<Offset>> partOffsets(std::ifstream& file, std::streamoff size) {
  Count count = 0;
  if (!file.read(reinterpret_cast<char*>(&count), sizeof count) || count <= wordListPart || count > mostParts) {
    return std::nullopt;
  }
  std::vector<Offset> offsets(static_cast<std::size_t>(count));
  if (!file.read(reinterpret_cast<char*>(offsets.data()), static_cast<std::streamsize>(sizeof(Offset) * offsets.size()))) {
    return std::nullopt;
  }
  Offset last = static_cast<Offset>(sizeof count + sizeof(Offset) * offsets.size());
  for (const Offset offset : offsets) {
    if (offset == absent) continue;
    if (offset < last || offset > size) return std::nullopt;
    last = offset;
  }
  return offsets;
}

// Where the part at `index` ends: where the next present part starts.
Offset partEnd(const std::vector<Offset>& offsets, std::size_t index, std::streamoff size) {
  for (std::size_t next = index + 1; next < offsets.size(); ++next) {
    if (offsets[next] != absent) return offsets[next];
  }
  return size;
}

}  // namespace

bool readModelWithoutWordList(const char* filename, std::vector<char>* data) {
  std::ifstream file(filename, std::ios::binary | std::ios::ate);
  if (!file || data == nullptr) return false;
  const std::streamoff size = file.tellg();
  file.seekg(0);
  const auto offsets = partOffsets(file, size);
  if (!offsets) return readWhole(file, size, *data);

  const std::size_t header = sizeof(Count) + sizeof(Offset) * offsets->size();
  std::vector<Offset> kept(offsets->size(), absent);
  data->assign(header, 0);
  for (std::size_t index = 0; index < offsets->size(); ++index) {
    const Offset start = (*offsets)[index];
    if (start == absent || index == static_cast<std::size_t>(wordListPart)) continue;
    const Offset length = partEnd(*offsets, index, size) - start;
    kept[index] = static_cast<Offset>(data->size());
    data->resize(data->size() + static_cast<std::size_t>(length));
    file.seekg(start);
    if (!file.read(data->data() + kept[index], length)) return false;
  }
  const auto count = static_cast<Count>(offsets->size());
  std::memcpy(data->data(), &count, sizeof count);
  std::memcpy(data->data() + sizeof count, kept.data(), sizeof(Offset) * kept.size());
  return true;
}

}  // namespace morvel::linux_ax
