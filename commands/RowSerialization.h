#pragma once

// The rows of a table-like container as data: each row with its cells, each cell
// with its role, its first value or title and its frame.

#include "accessibility/Accessibility.h"
#include "commands/Reply.h"

#include <cstddef>

namespace morvel {

// The row records of `container`, in row order: {"index", "cells", "frame"},
// each cell {"role", "value", "frame"}, keys present only when readable. At most
// 200 rows of at most 40 cells each; a row without children is its own single
// cell. An empty array when the container has neither rows nor children.
// Every read is a call into the inspected application: the row limit keeps one
// reply bounded however large the table.
inline constexpr std::size_t rowLimit = 200;

Json serializeRows(ax::Accessibility& ax, const ax::Element& container);

}  // namespace morvel
