#include "platform/linux/atspi/HugeTables.h"

#include "platform/linux/atspi/ElementNodes.h"

namespace morvel::linux_ax {
namespace {

// The corners are probed this far inside the table, off its grid lines.
constexpr int cornerInset = 2;

std::optional<CellPosition> cellAt(AtspiReader& reader, AtspiAccessible* table, int x, int y) {
  AccessibleRef cell = reader.accessibleAtPoint(table, x, y);
  if (!cell || sameAccessible(cell.get(), table)) return std::nullopt;
  return cellPositionIn(reader, table, cell.get());
}

bool isOnScreen(const std::optional<PixelRect>& extents) {
  return extents && extents->width > 0 && extents->height > 0;
}

// Which of `candidates` is `cell`: the same object, or the cell on screen where
// it is (an application may hand out a new object for a cell each time). Asked
// one by one: the first is mostly the one, and a spreadsheet is slow to make a
// cell far from what it shows.
std::optional<CellPosition> positionAmong(AtspiReader& reader, AtspiAccessible* table, AtspiAccessible* cell,
                                          const std::vector<CellPosition>& candidates) {
  const std::optional<PixelRect> extents = reader.screenExtents(cell);
  for (CellPosition candidate : candidates) {
    AccessibleRef other = reader.tableCell(table, candidate.row, candidate.column);
    if (!other) continue;
    if (sameAccessible(other.get(), cell)) return candidate;
    if (isOnScreen(extents) && reader.screenExtents(other.get()) == extents) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TableSize> tableSizeOf(AtspiReader& reader, AtspiAccessible* table) {
  ElementFacts& facts = reader.memo().factsOf(table);
  if (!facts.tableSize) {
    auto rows = reader.tableRowCount(table);
    auto columns = rows ? reader.tableColumnCount(table) : std::nullopt;
    if (!rows || !columns) return std::nullopt;
    facts.tableSize = TableSize{*rows, *columns};
  }
  return facts.tableSize;
}

bool isHugeTable(AtspiReader& reader, AtspiAccessible* table) {
  // A table whose cells exist before they are asked for is read as it stands;
  // only one that makes them on demand says so, and only it is asked its size.
  auto states = reader.states(table);
  if (!states || !hasState(*states, ATSPI_STATE_MANAGES_DESCENDANTS)) return false;
  auto size = tableSizeOf(reader, table);
  return size && (size->rows > mostRowsRead || size->columns > mostColumnsRead);
}

std::optional<CellRange> showingCellsOf(AtspiReader& reader, AtspiAccessible* table) {
  ElementFacts& facts = reader.memo().factsOf(table);
  if (facts.showingCells) return facts.showingCells;
  auto size = tableSizeOf(reader, table);
  auto extents = reader.screenExtents(table);
  if (!size || !extents || extents->width <= 2 * cornerInset || extents->height <= 2 * cornerInset) {
    return std::nullopt;
  }
  const int left = extents->x + cornerInset;
  const int top = extents->y + cornerInset;
  const int right = extents->x + extents->width - 1 - cornerInset;
  const int bottom = extents->y + extents->height - 1 - cornerInset;
  auto range = cellsBetween(cellAt(reader, table, left, top), cellAt(reader, table, right, bottom), *size,
                            mostRowsRead, mostColumnsRead);
  reader.memo().factsOf(table).showingCells = range;
  return range;
}

std::optional<CellPosition> cellPositionIn(AtspiReader& reader, AtspiAccessible* table, AtspiAccessible* cell) {
  auto index = reader.indexInParent(cell);
  if (!index) return std::nullopt;
  if (auto size = tableSizeOf(reader, table)) {
    const std::vector<CellPosition> candidates = wrappedIndexPositions(*index, *size);
    if (!candidates.empty()) return positionAmong(reader, table, cell, candidates);
  }
  if (*index < 0) return std::nullopt;
  auto row = reader.tableRowAtIndex(table, *index);
  auto column = row ? reader.tableColumnAtIndex(table, *index) : std::nullopt;
  if (!row || !column) return std::nullopt;
  return CellPosition{*row, *column};
}

}  // namespace morvel::linux_ax
