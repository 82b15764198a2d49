#include "commands/RowSerialization.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "commands/ReplyRecords.h"

#include <cstddef>
#include <vector>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;

// Every read is a call into the inspected application: these keep one reply
// bounded however large the table.
constexpr std::size_t cellLimit = 40;
// Set afresh for every cell, so that one deep cell never starves the next.
constexpr int cellValueBudget = 60;

void cutTo(std::vector<Element>& elements, std::size_t limit) {
  if (elements.size() > limit) elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(limit), elements.end());
}

// Children whose role reads exactly "AXRow". Only the first `rowLimit` are kept,
// so the search stops there instead of reading the roles of every child.
std::vector<Element> rowChildren(Accessibility& ax, const Element& container) {
  std::vector<Element> rows;
  for (const Element& child : ax::axChildren(ax, container, ax::AXChildren)) {
    if (ax::axString(ax, child, ax::AXRole) != ax::AXRow) continue;
    rows.push_back(child);
    if (rows.size() == rowLimit) break;
  }
  return rows;
}

// The container's "AXRows" as they stand; else its children of role "AXRow";
// else all its children, whatever their roles.
std::vector<Element> rowsOf(Accessibility& ax, const Element& container) {
  std::vector<Element> rows = ax::axChildren(ax, container, ax::AXRows, rowLimit);
  if (rows.empty()) rows = rowChildren(ax, container);
  if (rows.empty()) rows = ax::axChildren(ax, container, ax::AXChildren, rowLimit);
  return rows;
}

Json cellRecord(Accessibility& ax, const Element& cell) {
  Json record = Json::object();
  if (auto role = ax::axString(ax, cell, ax::AXRole)) record["role"] = *role;
  int budget = cellValueBudget;
  if (auto value = ax::firstValueInSubtree(ax, cell, 0, budget)) record["value"] = *value;
  if (auto frame = ax::axFrame(ax, cell)) record["frame"] = frameDictionary(*frame);
  return record;
}

std::vector<Element> cellsOf(Accessibility& ax, const Element& row) {
  std::vector<Element> cells = ax::axChildren(ax, row, ax::AXChildren);
  if (cells.empty()) cells.push_back(row);  // a plain list item carries its own text
  cutTo(cells, cellLimit);
  return cells;
}

Json rowRecord(Accessibility& ax, const Element& row, const std::vector<Element>& cells, std::size_t index) {
  Json cellRecords = Json::array();
  for (const Element& cell : cells) cellRecords.push_back(cellRecord(ax, cell));
  Json record = {{"index", index}, {"cells", std::move(cellRecords)}};
  if (auto frame = ax::axFrame(ax, row)) record["frame"] = frameDictionary(*frame);
  return record;
}

}  // namespace

Json serializeRows(Accessibility& ax, const Element& container) {
  Json rows = Json::array();
  const std::vector<Element> containerRows = rowsOf(ax, container);
  ax.readAhead(containerRows, {ax::AXChildren, ax::AXFrame});
  std::vector<std::vector<Element>> cellsOfRows;
  std::vector<Element> allCells;
  for (const Element& row : containerRows) {
    cellsOfRows.push_back(cellsOf(ax, row));
    allCells.insert(allCells.end(), cellsOfRows.back().begin(), cellsOfRows.back().end());
  }
  // What the records read of every cell, asked of all of them at once; children
  // are read only of a cell without a value or title, so they are left to it.
  ax.readAhead(allCells, {ax::AXRole, ax::AXValue, ax::AXTitle, ax::AXFrame});
  for (std::size_t index = 0; index < containerRows.size(); ++index) {
    rows.push_back(rowRecord(ax, containerRows[index], cellsOfRows[index], index));
  }
  return rows;
}

}  // namespace morvel
