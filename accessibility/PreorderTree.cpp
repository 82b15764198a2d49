#include "accessibility/PreorderTree.h"

namespace morvel::ax {

std::optional<std::vector<std::vector<std::size_t>>> childrenFromCounts(const std::vector<int>& childCounts) {
  if (childCounts.empty()) return std::nullopt;
  std::vector<std::vector<std::size_t>> children(childCounts.size());
  // The elements whose children are still being listed, innermost last, with
  // how many each still lacks.
  struct Open {
    std::size_t position;
    int missing;
  };
  std::vector<Open> open;
  for (std::size_t position = 0; position < childCounts.size(); ++position) {
    if (childCounts[position] < 0) return std::nullopt;
    if (position > 0) {
      while (!open.empty() && open.back().missing == 0) open.pop_back();
      if (open.empty()) return std::nullopt;  // past the end of the root's subtree
      children[open.back().position].push_back(position);
      --open.back().missing;
    }
    open.push_back({position, childCounts[position]});
  }
  while (!open.empty() && open.back().missing == 0) open.pop_back();
  if (!open.empty()) return std::nullopt;  // some children were never listed
  return children;
}

}  // namespace morvel::ax
