#include "platform/linux/atspi/CellRange.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace morvel::linux_ax {
namespace {

struct Span {
  int first = 0;
  int count = 0;
};

// From `from` to `to` in either direction (a right-to-left sheet puts its first
// column on the right), cut to [0, size) and to `most` entries.
std::optional<Span> spanBetween(int from, int to, int size, int most) {
  if (size <= 0 || most <= 0) return std::nullopt;
  const int first = std::clamp(std::min(from, to), 0, size - 1);
  const int last = std::clamp(std::max(from, to), 0, size - 1);
  return Span{first, std::min(last - first + 1, most)};
}

}  // namespace

std::optional<CellRange> cellsBetween(std::optional<CellPosition> topLeft, std::optional<CellPosition> bottomRight,
                                      TableSize size, int mostRows, int mostColumns) {
  if (!topLeft && !bottomRight) return std::nullopt;
  const CellPosition from = topLeft.value_or(*bottomRight);
  const CellPosition to = bottomRight.value_or(from);
  auto rows = spanBetween(from.row, to.row, size.rows, mostRows);
  auto columns = spanBetween(from.column, to.column, size.columns, mostColumns);
  if (!rows || !columns) return std::nullopt;
  return CellRange{rows->first, rows->count, columns->first, columns->count};
}

std::vector<CellPosition> wrappedIndexPositions(std::int32_t index, TableSize size) {
  std::vector<CellPosition> positions;
  const std::int64_t cells = std::int64_t{size.rows} * size.columns;
  if (index == -1 || size.columns <= 0 || cells <= std::numeric_limits<std::int32_t>::max()) return positions;
  constexpr std::int64_t wrap = std::int64_t{1} << 32;
  // The index as the unsigned count it was before it wrapped, then once more for
  // every further time round.
  for (std::int64_t number = static_cast<std::uint32_t>(index); number < cells; number += wrap) {
    positions.push_back({static_cast<int>(number / size.columns), static_cast<int>(number % size.columns)});
  }
  return positions;
}

}  // namespace morvel::linux_ax
