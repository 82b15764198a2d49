#pragma once

// The block of cells a huge table shows: a sheet reports a million rows, but
// only the rows and columns between its corner cells on screen are real to a
// reader. Pure arithmetic, no library calls.

#include <cstdint>
#include <optional>
#include <vector>

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

// The cells that a cell's index among the table's children may stand for, in a
// table laid out row by row. Applications number a cell row * columns + column in
// a 32-bit integer, which wraps around past 2^31 cells (row 131,072 of a sheet
// 16,384 columns wide): every row the wrapped number fits is a candidate, from
// the top. Nothing for a table small enough that the index cannot wrap (its own
// numbering holds there) or for the index -1, which means no index.
std::vector<CellPosition> wrappedIndexPositions(std::int32_t index, TableSize size);

}  // namespace morvel::linux_ax
