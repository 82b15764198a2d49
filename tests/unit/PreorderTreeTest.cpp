#include "accessibility/PreorderTree.h"

#include <gtest/gtest.h>

namespace morvel::ax {
namespace {

using Shape = std::vector<std::vector<std::size_t>>;

TEST(PreorderTree, ChildrenComeFromTheCountsOnlyWhenTheyAccountForTheWholeList) {
  struct Case {
    const char* what;
    std::vector<int> counts;
    std::optional<Shape> shape;
  };
  const Case cases[] = {
      {"a lone root", {0}, Shape{{}}},
      // root(a(b, c), d(e))
      {"two levels", {2, 2, 0, 0, 1, 0}, Shape{{1, 4}, {2, 3}, {}, {}, {5}, {}}},
      {"a chain", {1, 1, 0}, Shape{{1}, {2}, {}}},
      {"an element past the root's subtree", {1, 0, 0}, std::nullopt},
      {"a child never listed", {2, 0}, std::nullopt},
      {"a deeper child never listed", {1, 1}, std::nullopt},
      {"a negative count", {1, -1}, std::nullopt},
      {"nothing listed", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(childrenFromCounts(c.counts), c.shape) << c.what;
  }
}

}  // namespace
}  // namespace morvel::ax
