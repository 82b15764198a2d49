#include "platform/linux/atspi/CellRange.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace morvel::linux_ax {
namespace {

constexpr TableSize sheet{1048576, 16384};
constexpr int mostRows = 10000;
constexpr int mostColumns = 256;

struct Case {
  const char* name;
  std::optional<CellPosition> topLeft;
  std::optional<CellPosition> bottomRight;
  TableSize size;
  std::optional<CellRange> expected;
};

TEST(CellRange, TheCellsBetweenTheCornersWithinTheTableAndTheBounds) {
  const Case cases[] = {
      {"top of a sheet", CellPosition{0, 0}, CellPosition{49, 23}, sheet, CellRange{0, 50, 0, 24}},
      {"scrolled down and right", CellPosition{5000, 30}, CellPosition{5040, 41}, sheet, CellRange{5000, 41, 30, 12}},
      {"right-to-left: first column on the right", CellPosition{0, 23}, CellPosition{49, 0}, sheet,
       CellRange{0, 50, 0, 24}},
      {"bottom corner on no cell: the top-left cell alone", CellPosition{7, 2}, std::nullopt, sheet,
       CellRange{7, 1, 2, 1}},
      {"top corner on no cell: the bottom-right cell alone", std::nullopt, CellPosition{7, 2}, sheet,
       CellRange{7, 1, 2, 1}},
      {"no corner on a cell", std::nullopt, std::nullopt, sheet, std::nullopt},
      {"corners past the table's end", CellPosition{2, 1}, CellPosition{90, 9}, TableSize{30, 4},
       CellRange{2, 28, 1, 3}},
      {"more than the bounds show", CellPosition{0, 0}, CellPosition{20000, 1000}, sheet,
       CellRange{0, mostRows, 0, mostColumns}},
      {"an empty table", CellPosition{0, 0}, CellPosition{3, 3}, TableSize{0, 0}, std::nullopt},
  };
  // No range at all compares unequal to any range, an empty one included.
  auto fields = [](const std::optional<CellRange>& r) {
    return r ? std::vector{r->firstRow, r->rowCount, r->firstColumn, r->columnCount} : std::vector<int>{};
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fields(cellsBetween(c.topLeft, c.bottomRight, c.size, mostRows, mostColumns)), fields(c.expected)) << c.name;
  }
}

TEST(CellRange, AWrappedIndexStandsForEveryRowThatWrapsToIt) {
  using Cells = std::vector<std::pair<int, int>>;
  const struct {
    const char* name;
    std::int32_t index;
    TableSize size;
    Cells expected;
  } cases[] = {
      {"B1000003 of a sheet, below zero", -795836415, sheet,
       Cells{{213570, 1}, {475714, 1}, {737858, 1}, {1000002, 1}}},
      {"B4 of a sheet, as far down as it fits", 49153, sheet, Cells{{3, 1}, {262147, 1}, {524291, 1}, {786435, 1}}},
      {"columns that do not divide the wrap", 0, TableSize{5000000, 1000}, Cells{{0, 0}, {4294967, 296}}},
      {"no index", -1, sheet, Cells{}},
      {"a table too small to wrap", 5, TableSize{1000, 100}, Cells{}},
  };
  for (const auto& c : cases) {
    Cells found;
    for (CellPosition position : wrappedIndexPositions(c.index, c.size)) found.emplace_back(position.row, position.column);
    EXPECT_EQ(found, c.expected) << c.name;
  }
}

}  // namespace
}  // namespace morvel::linux_ax
