#include "platform/linux/atspi/CellRange.h"

#include <gtest/gtest.h>

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
  for (const Case& c : cases) {
    auto range = cellsBetween(c.topLeft, c.bottomRight, c.size, mostRows, mostColumns);
    ASSERT_EQ(range.has_value(), c.expected.has_value()) << c.name;
    if (!range) continue;
    EXPECT_EQ(range->firstRow, c.expected->firstRow) << c.name;
    EXPECT_EQ(range->rowCount, c.expected->rowCount) << c.name;
    EXPECT_EQ(range->firstColumn, c.expected->firstColumn) << c.name;
    EXPECT_EQ(range->columnCount, c.expected->columnCount) << c.name;
  }
}

}  // namespace
}  // namespace morvel::linux_ax
