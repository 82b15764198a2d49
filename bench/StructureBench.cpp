// "structure" on large simulated tables: the latency and platform reads of one
// request, what its parts cost, and side by side how they grow with the table.
// The row and cell caps must keep the reads of a 10,000-row table equal to those
// of a 300-row one, and those of 60 columns equal to those of 40.

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "bench/Timing.h"
#include "commands/AddAffordance.h"
#include "commands/RowSerialization.h"
#include "commands/StructureCommand.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/VirtualClock.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace ax = morvel::ax;

using morvel::bench::median;
using morvel::bench::millisecondsOf;

using morvel::ax::Element;
using nlohmann::json;

using morvel::containerWalk;
constexpr int timedRuns = 11;
constexpr double rowHeight = 20;
constexpr double columnWidth = 60;

struct TableShape {
  int rows;
  int columns;
  bool rowsAttribute;  // rows listed in "AXRows", or only as children of role "AXRow"
};

json rect(double x, double y, double w, double h) { return {{"rect", {x, y, w, h}}}; }

// A row of cells, each holding one static text, as tables of real applications do.
json tableRow(int row, int columns) {
  const double y = rowHeight * row;
  json cells = json::array();
  for (int column = 0; column < columns; ++column) {
    const json frame = rect(columnWidth * column, y, columnWidth, rowHeight);
    json text = {{"attrs",
                  {{ax::AXRole, ax::AXStaticText},
                   {ax::AXValue, std::to_string(row) + "." + std::to_string(column)},
                   {ax::AXFrame, frame}}}};
    cells.push_back({{"attrs", {{ax::AXRole, ax::AXCell}, {ax::AXFrame, frame}}}, {"children", json::array({text})}});
  }
  return {{"id", "row-" + std::to_string(row)},
          {"attrs", {{ax::AXRole, ax::AXRow}, {ax::AXFrame, rect(0, y, columnWidth * columns, rowHeight)}}},
          {"children", std::move(cells)}};
}

// A window with a toolbar holding the add button, then a scroll area with the table.
json tableScene(const TableShape& shape) {
  json rows = json::array();
  json rowRefs = json::array();
  for (int row = 0; row < shape.rows; ++row) {
    rows.push_back(tableRow(row, shape.columns));
    rowRefs.push_back({{"ref", "row-" + std::to_string(row)}});
  }
  json tableAttrs = {{ax::AXRole, ax::AXTable}, {ax::AXFrame, rect(0, 40, 1200, 760)}};
  if (shape.rowsAttribute) tableAttrs[ax::AXRows] = std::move(rowRefs);
  json table = {{"id", "table"}, {"attrs", std::move(tableAttrs)}, {"children", std::move(rows)}};
  json toolbar = {{"attrs", {{ax::AXRole, ax::AXToolbar}}},
                  {"children", json::array({{{"attrs", {{ax::AXRole, ax::AXButton}, {ax::AXTitle, "Add"}}}},
                                            {{"attrs", {{ax::AXRole, ax::AXButton}, {ax::AXTitle, "Delete"}}}}})}};
  json scroll = {{"attrs", {{ax::AXRole, ax::AXScrollArea}}}, {"children", json::array({std::move(table)})}};
  json window = {{"id", "window"},
                 {"attrs", {{ax::AXRole, ax::AXWindow}, {ax::AXTitle, "Large table"}, {ax::AXFrame, rect(0, 0, 1200, 800)}}},
                 {"children", json::array({std::move(toolbar), std::move(scroll)})}};
  return {{"frontmost", {{"pid", 1}}},
          {"applications",
           {{{"pid", 1}, {"attrs", {{ax::AXFocusedWindow, {{"ref", "window"}}}}}, {"windows", {std::move(window)}}}}}};
}

struct Measurement {
  double requestMs = 0;
  long long requestReads = 0;
  long long walkReads = 0;
  long long rowReads = 0;
  long long addControlReads = 0;
  long long allRoleReads = 0;  // reading the role of every child of the table once
  int rowCount = 0;
  int cellsInLastRow = 0;
};

long long readsSince(morvel::sim::SimDesktop& desktop) { return desktop.takeStats()["reads"].get<long long>(); }

Measurement measure(const TableShape& shape) {
  morvel::sim::VirtualClock clock;
  auto desktop = morvel::sim::SimDesktop::fromJson(tableScene(shape), clock);
  morvel::Platform platform{*desktop, *desktop, desktop->clock()};
  auto& ax = *desktop;
  const Element window = *desktop->elementWithId("window");
  const Element table = *desktop->elementWithId("table");
  Measurement result;

  std::vector<double> requestMs;
  json reply;
  readsSince(*desktop);
  for (int run = 0; run < timedRuns; ++run) {
    desktop->requestStarted();
    requestMs.push_back(millisecondsOf([&] { reply = morvel::cmdStructure(platform); }));
    result.requestReads = readsSince(*desktop);
    desktop->replyWritten();
  }
  result.requestMs = median(requestMs);
  result.rowCount = reply["rowCount"];
  result.cellsInLastRow = static_cast<int>(reply["rows"].back()["cells"].size());

  // The command's own walk ends at the first container, as this one does.
  morvel::ax::collectFirstByRole(ax, window, {ax::AXTable, ax::AXOutline, ax::AXGrid, ax::AXList}, containerWalk.maxDepth,
                                 containerWalk.budget, 1);
  result.walkReads = readsSince(*desktop);
  morvel::serializeRows(ax, table);
  result.rowReads = readsSince(*desktop);
  morvel::findAddAffordance(ax, window);
  result.addControlReads = readsSince(*desktop);
  const std::vector<Element> children = morvel::ax::axChildren(ax, table, ax::AXChildren);
  readsSince(*desktop);
  for (const Element& child : children) morvel::ax::axString(ax, child, ax::AXRole);
  result.allRoleReads = readsSince(*desktop);
  return result;
}

void printRow(const char* label, const TableShape& shape, const Measurement& m) {
  std::printf("%-26s %6d x %-3d %9.2f ms %8lld reads = walk %5lld + rows %6lld + add control %5lld + rest %lld;"
              " %d rows, %d cells in the last\n",
              label, shape.rows, shape.columns, m.requestMs, m.requestReads, m.walkReads, m.rowReads,
              m.addControlReads, m.requestReads - m.walkReads - m.rowReads - m.addControlReads, m.rowCount,
              m.cellsInLastRow);
}

double ratio(long long a, long long b) { return static_cast<double>(a) / static_cast<double>(b); }

}  // namespace

int main() {
  const TableShape large{10000, 20, true};
  const TableShape fewerRows{300, 20, true};
  const TableShape fortyColumns{300, 40, true};
  const TableShape sixtyColumns{300, 60, true};
  const TableShape largeByRole{10000, 20, false};
  const TableShape fewerRowsByRole{300, 20, false};

  std::printf("\"structure\": median of %d requests; reads per request and per part\n", timedRuns);
  const Measurement mLarge = measure(large);
  printRow("rows in AXRows", large, mLarge);
  const Measurement mFewer = measure(fewerRows);
  printRow("rows in AXRows", fewerRows, mFewer);
  const Measurement mForty = measure(fortyColumns);
  printRow("rows in AXRows", fortyColumns, mForty);
  const Measurement mSixty = measure(sixtyColumns);
  printRow("rows in AXRows", sixtyColumns, mSixty);
  const Measurement mByRole = measure(largeByRole);
  printRow("rows as AXRow children", largeByRole, mByRole);
  const Measurement mFewerByRole = measure(fewerRowsByRole);
  printRow("rows as AXRow children", fewerRowsByRole, mFewerByRole);

  std::printf("\nreads 10,000 / 300 rows (AXRows):        request %.3f x, rows %.3f x, latency %.2f x\n",
              ratio(mLarge.requestReads, mFewer.requestReads), ratio(mLarge.rowReads, mFewer.rowReads),
              mLarge.requestMs / mFewer.requestMs);
  std::printf("reads 10,000 / 300 rows (AXRow children): request %.3f x, rows %.3f x, latency %.2f x\n",
              ratio(mByRole.requestReads, mFewerByRole.requestReads), ratio(mByRole.rowReads, mFewerByRole.rowReads),
              mByRole.requestMs / mFewerByRole.requestMs);
  std::printf("row reads 60 / 40 columns: %.3f x; 60 / 20 columns: %.3f x\n", ratio(mSixty.rowReads, mForty.rowReads),
              ratio(mSixty.rowReads, mFewer.rowReads));
  // Row serialisation reads the roles of the first 200 children only, when all of them are rows.
  const long long everyRole = mByRole.rowReads - static_cast<long long>(morvel::rowLimit) + mByRole.allRoleReads;
  std::printf("side by side, row reads of 10,000 AXRow children if every child's role were read: %lld instead of %lld"
              " (%.2f x)\n",
              everyRole, mByRole.rowReads, ratio(everyRole, mByRole.rowReads));
  return 0;
}
