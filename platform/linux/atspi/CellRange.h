#pragma once

// The block of cells a huge table shows: a sheet reports a million rows, but
// only the rows and columns between its corner cells on screen are real to a
// reader. Pure arithmetic, no library calls.

#include <optional>

namespace morvel::linux_ax {

struct CellPosition {
  int row = 0;
  int column = 0;
};

struct CellRange {
  int firstRow = 0;
  int rowCount = 0;
  int firstColumn = 0;
  int columnCount = 0;
};

struct TableSize {
  int rows = 0;
  int columns = 0;
};

// The cells from the one under the table's top-left corner to the one under its
// bottom-right corner (either may be missing when that corner shows no cell),
// within the table and at most `mostRows` by `mostColumns` from its first row
// and column. Nothing when neither corner is known or the table is empty.
std::optional<CellRange> cellsBetween(std::optional<CellPosition> topLeft, std::optional<CellPosition> bottomRight,
                                      TableSize size, int mostRows, int mostColumns);

}  // namespace morvel::linux_ax
