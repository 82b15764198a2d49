#pragma once

// Tables far larger than any screen: a spreadsheet reports a million rows by
// sixteen thousand columns and makes each cell only when asked for it. Such a
// table is read where it shows, between the cells under its corners, never
// from its first child on.

#include "platform/linux/atspi/AtspiReader.h"
#include "platform/linux/atspi/CellRange.h"

#include <optional>

namespace morvel::linux_ax {

// A table is read whole up to this many rows and columns; past either, only
// where it shows.
inline constexpr int mostRowsRead = 10000;
inline constexpr int mostColumnsRead = 256;

std::optional<TableSize> tableSizeOf(AtspiReader& reader, AtspiAccessible* table);
// A table that makes its cells on demand and has more rows or columns than are
// read whole.
bool isHugeTable(AtspiReader& reader, AtspiAccessible* table);
// The cells of `table` on screen; nothing when its corners show no cell.
std::optional<CellRange> showingCellsOf(AtspiReader& reader, AtspiAccessible* table);
// Where `cell` stands in `table`.
std::optional<CellPosition> cellPositionIn(AtspiReader& reader, AtspiAccessible* table, AtspiAccessible* cell);

}  // namespace morvel::linux_ax
