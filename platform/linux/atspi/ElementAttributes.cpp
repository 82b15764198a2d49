#include "platform/linux/atspi/ElementAttributes.h"

#include "accessibility/AXNames.h"
#include "platform/linux/atspi/FocusedElement.h"
#include "platform/linux/atspi/HugeTables.h"
#include "platform/linux/atspi/Showing.h"
#include "platform/linux/atspi/TreeShape.h"

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

namespace morvel::linux_ax {
namespace {

using ax::AttrArray;
using ax::AttrValue;
using Reading = std::optional<AttrValue>;

// Bound on one list of children.
constexpr int mostChildren = 10000;
// A combo box shows whether it is editable by an entry among its first children.
constexpr int comboChildrenProbed = 4;
// Check states as numbers: unchecked, checked, mixed.
constexpr std::int64_t uncheckedValue = 0;
constexpr std::int64_t checkedValue = 1;
constexpr std::int64_t mixedValue = 2;

bool holdsEditableText(AtspiReader& reader, AtspiAccessible* combo) {
  auto children = reader.children(combo, comboChildrenProbed);
  if (!children) return false;
  for (const AccessibleRef& child : *children) {
    auto role = reader.role(child.get());
    if (!role || (*role != ATSPI_ROLE_TEXT && *role != ATSPI_ROLE_ENTRY)) continue;
    auto states = reader.states(child.get());
    if (states && hasState(*states, ATSPI_STATE_EDITABLE)) return true;
  }
  return false;
}

// Whether the application's windows, where this request has read them all (the
// front window is looked for among them), hold the element: its parent need not
// be asked. Unknown where they were not read.
std::optional<bool> amongKnownWindows(AtspiReader& reader, AtspiAccessible* accessible) {
  const AtspiApplication* application = accessible->parent.app;
  if (application == nullptr || application->root == nullptr || application->root == accessible) return std::nullopt;
  const std::vector<AccessibleRef>* windows = reader.knownChildren(application->root);
  if (windows == nullptr) return std::nullopt;
  return std::any_of(windows->begin(), windows->end(),
                     [&](const AccessibleRef& window) { return sameAccessible(window.get(), accessible); });
}

bool isToplevel(AtspiReader& reader, AtspiAccessible* accessible) {
  if (!reader.memo().factsOf(accessible).parent) {
    if (auto among = amongKnownWindows(reader, accessible)) return *among;
  }
  AccessibleRef parent = reader.parent(accessible);
  if (!parent) return false;
  auto role = reader.role(parent.get());
  return role == ATSPI_ROLE_APPLICATION;
}

AttrValue elementList(std::vector<AccessibleRef> accessibles) {
  AttrArray items;
  items.reserve(accessibles.size());
  for (AccessibleRef& accessible : accessibles) items.emplace_back(makeElement(std::move(accessible)));
  return AttrValue(std::move(items));
}

Reading elementOrNothing(AccessibleRef accessible) {
  if (!accessible) return std::nullopt;
  return AttrValue(makeElement(std::move(accessible)));
}

std::optional<StateBits> statesOf(AttributeSources& sources, AtspiAccessible* accessible) {
  return sources.reader.states(accessible);
}

Reading checkState(AttributeSources& sources, AtspiAccessible* accessible, AtspiRole role) {
  auto states = statesOf(sources, accessible);
  if (!states) return std::nullopt;
  if (role == ATSPI_ROLE_PAGE_TAB) return AttrValue(hasState(*states, ATSPI_STATE_SELECTED) ? checkedValue : uncheckedValue);
  if (hasState(*states, ATSPI_STATE_INDETERMINATE)) return AttrValue(mixedValue);
  const bool checked = hasState(*states, ATSPI_STATE_CHECKED) ||
                       (role == ATSPI_ROLE_TOGGLE_BUTTON && hasState(*states, ATSPI_STATE_PRESSED));
  return AttrValue(checked ? checkedValue : uncheckedValue);
}

Reading value(AttributeSources& sources, AtspiAccessible* accessible) {
  AtspiReader& reader = sources.reader;
  auto role = reader.role(accessible);
  auto mapped = axRoleOf(reader, accessible);
  if (!role || !mapped) return std::nullopt;
  if (isCheckValued(mapped->role)) return checkState(sources, accessible, *role);
  if (mapped->role == ax::AXPopUpButton) {
    // A closed combo box names itself after its chosen item.
    if (auto chosen = reader.name(accessible)) return AttrValue(*chosen);
    return std::nullopt;
  }
  if (isTextValued(mapped->role)) {
    if (auto text = reader.text(accessible)) return AttrValue(*text);
    if (auto number = reader.currentValue(accessible)) return AttrValue(*number);
    if (auto name = reader.name(accessible)) return AttrValue(*name);
    return std::nullopt;
  }
  if (auto number = reader.currentValue(accessible)) return AttrValue(*number);
  return std::nullopt;
}

Reading title(AttributeSources& sources, AtspiAccessible* accessible) {
  auto role = sources.reader.role(accessible);
  if (role && *role == ATSPI_ROLE_COMBO_BOX) {
    // A closed combo box's name is its chosen item, which is its value; as a
    // title it would hide the label beside it and change with every choice.
    auto mapped = axRoleOf(sources.reader, accessible);
    if (mapped && mapped->role == ax::AXPopUpButton) return AttrValue(std::string());
  }
  auto name = sources.reader.name(accessible);
  if (name && !name->empty()) return AttrValue(*name);
  if (auto mapped = axRoleOf(sources.reader, accessible); mapped && mapped->role == ax::AXWindow) {
    if (auto xTitle = sources.applications.xTitleOf(accessible)) return AttrValue(*xTitle);
  }
  if (name) return AttrValue(*name);
  return std::nullopt;
}

Reading enabled(AttributeSources& sources, AtspiAccessible* accessible) {
  auto states = statesOf(sources, accessible);
  if (!states) return std::nullopt;
  return AttrValue(hasState(*states, ATSPI_STATE_ENABLED) || hasState(*states, ATSPI_STATE_SENSITIVE));
}

Reading help(AttributeSources& sources, AtspiAccessible* accessible) {
  // Toolkits publish a widget's tooltip as its description.
  auto states = statesOf(sources, accessible);
  if (!states || !hasState(*states, ATSPI_STATE_HAS_TOOLTIP)) return std::nullopt;
  auto tooltip = sources.reader.description(accessible);
  if (tooltip && !tooltip->empty()) return AttrValue(*tooltip);
  return std::nullopt;
}

bool isHugeTableElement(AtspiReader& reader, AtspiAccessible* accessible) {
  const auto role = reader.role(accessible);
  return (role == ATSPI_ROLE_TABLE || role == ATSPI_ROLE_TREE_TABLE) && isHugeTable(reader, accessible);
}

// The rows a huge table shows, at most `mostRows`, each read in the columns that show.
AttrArray showingRows(AtspiReader& reader, AtspiAccessible* table, int mostRows = INT_MAX) {
  AttrArray rows;
  auto cells = showingCellsOf(reader, table);
  if (!cells) return rows;
  const ColumnSpan columns{cells->firstColumn, cells->columnCount};
  const int rowCount = std::min(cells->rowCount, mostRows);
  for (int row = cells->firstRow; row < cells->firstRow + rowCount; ++row) {
    rows.emplace_back(makeRowElement(AccessibleRef::share(table), row, columns));
  }
  return rows;
}

// The row of a huge table that holds `cell`: the rows of such a table stand
// between it and its cells, as its children.
Reading rowHolding(AtspiReader& reader, AtspiAccessible* table, AtspiAccessible* cell) {
  auto position = cellPositionIn(reader, table, cell);
  if (!position) return std::nullopt;
  auto cells = showingCellsOf(reader, table);
  const ColumnSpan columns = cells ? ColumnSpan{cells->firstColumn, cells->columnCount} : ColumnSpan{position->column, 1};
  return AttrValue(makeRowElement(AccessibleRef::share(table), position->row, columns));
}

Reading parentOf(AttributeSources& sources, AtspiAccessible* accessible) {
  AtspiReader& reader = sources.reader;
  auto role = reader.role(accessible);
  if (role == ATSPI_ROLE_APPLICATION) return std::nullopt;  // an application is a root of its own
  AccessibleRef parent = presentedParent(reader, accessible);
  if (parent && isHugeTableElement(reader, parent.get())) {
    if (auto row = rowHolding(reader, parent.get(), accessible)) return row;
  }
  return elementOrNothing(std::move(parent));
}

Reading childrenOf(AttributeSources& sources, AtspiAccessible* accessible) {
  if (isHugeTableElement(sources.reader, accessible)) return AttrValue(showingRows(sources.reader, accessible));
  auto children = presentedChildren(sources.reader, accessible, mostChildren);
  if (!children) return std::nullopt;
  return elementList(std::move(*children));
}

bool isRowContainer(const std::string& axRole) {
  return axRole == ax::AXTable || axRole == ax::AXOutline || axRole == ax::AXList || axRole == ax::AXGrid;
}

// Rows through the Table interface, at most `mostRows`: the row objects that
// hold each row's first cell, or rows made from row indices when the cells sit
// directly in the table.
std::optional<AttrArray> tableRows(AtspiReader& reader, AtspiAccessible* table, int mostRows) {
  auto rowCount = reader.tableRowCount(table);
  if (!rowCount) return std::nullopt;
  const int rows = std::min({*rowCount, mostRowsRead, mostRows});
  AttrArray items;
  if (rows == 0) return items;
  AccessibleRef firstCell = reader.tableCell(table, 0, 0);
  if (!firstCell) return std::nullopt;
  AccessibleRef firstParent = reader.parent(firstCell.get());
  if (!firstParent || sameAccessible(firstParent.get(), table)) {
    for (int row = 0; row < rows; ++row) items.emplace_back(makeRowElement(AccessibleRef::share(table), row));
    return items;
  }
  AccessibleRef previous;
  // Rows that span several table rows are met more than once: reading goes on
  // past `rows` until as many distinct rows are found, or the table ends.
  const int lastRow = std::min(*rowCount, mostRowsRead);
  for (int row = 0; row < lastRow && std::cmp_less(items.size(), rows); ++row) {
    AccessibleRef cell = row == 0 ? firstCell : reader.tableCell(table, row, 0);
    if (!cell) continue;
    AccessibleRef rowObject = row == 0 ? firstParent : reader.parent(cell.get());
    if (!rowObject || (previous && sameAccessible(previous.get(), rowObject.get()))) continue;
    previous = rowObject;
    items.emplace_back(makeElement(std::move(rowObject)));
  }
  return items;
}

Reading rowsOf(AttributeSources& sources, AtspiAccessible* accessible) {
  AtspiReader& reader = sources.reader;
  auto mapped = axRoleOf(reader, accessible);
  if (!mapped || !isRowContainer(mapped->role)) return std::nullopt;
  if (reader.hasTable(accessible)) {
    if (isHugeTable(reader, accessible)) return AttrValue(showingRows(reader, accessible, sources.mostItems));
    if (auto rows = tableRows(reader, accessible, sources.mostItems)) return AttrValue(std::move(*rows));
  }
  auto children = shownChildren(reader, accessible, mostChildren);
  if (!children) return std::nullopt;
  std::vector<AccessibleRef> rows;
  for (AccessibleRef& child : *children) {
    if (std::cmp_greater_equal(rows.size(), sources.mostItems)) break;
    auto childRole = axRoleOf(reader, child.get());
    if (childRole && childRole->role == ax::AXRow) rows.push_back(std::move(child));
  }
  return elementList(std::move(rows));
}

bool isApplication(AttributeSources& sources, AtspiAccessible* accessible) {
  return sources.reader.role(accessible) == ATSPI_ROLE_APPLICATION;
}

Reading windowsOf(AttributeSources& sources, AtspiAccessible* accessible) {
  if (!isApplication(sources, accessible)) return std::nullopt;
  return elementList(sources.applications.windowsOf(accessible));
}

Reading focusedWindowOf(AttributeSources& sources, AtspiAccessible* accessible) {
  if (!isApplication(sources, accessible)) return std::nullopt;
  return elementOrNothing(sources.applications.activeWindowOf(accessible));
}

Reading focusedElementOf(AttributeSources& sources, AtspiAccessible* accessible) {
  if (!isApplication(sources, accessible)) return std::nullopt;
  return elementOrNothing(focusedDescendantOf(sources, accessible));
}

enum class Geometry { Frame, Position, Size };

Reading geometryOf(AttributeSources& sources, AtspiAccessible* accessible, Geometry part) {
  auto extents = placeOf(sources.reader, accessible);
  if (!extents) return std::nullopt;
  switch (part) {
    case Geometry::Frame:
      return AttrValue(ax::Rect{static_cast<double>(extents->x), static_cast<double>(extents->y),
                                static_cast<double>(extents->width), static_cast<double>(extents->height)});
    case Geometry::Position:
      return AttrValue(ax::Point{static_cast<double>(extents->x), static_cast<double>(extents->y)});
    case Geometry::Size:
      return AttrValue(ax::Size{static_cast<double>(extents->width), static_cast<double>(extents->height)});
  }
  return std::nullopt;
}

Reading text(std::optional<std::string> value) {
  if (!value) return std::nullopt;
  return AttrValue(std::move(*value));
}

// AT-SPI gives every element a description, empty when the toolkit has none to
// give: an empty one is no description.
Reading nonEmptyText(std::optional<std::string> value) {
  if (!value || value->empty()) return std::nullopt;
  return AttrValue(std::move(*value));
}

using ElementReader = std::function<Reading(AttributeSources&, AtspiAccessible*)>;

const std::map<std::string, ElementReader, std::less<>>& elementReaders() {
  static const std::map<std::string, ElementReader, std::less<>> readers = {
      {ax::AXRole,
       [](AttributeSources& s, AtspiAccessible* a) -> Reading {
         auto mapped = axRoleOf(s.reader, a);
         if (!mapped) return std::nullopt;
         return AttrValue(mapped->role);
       }},
      {ax::AXSubrole,
       [](AttributeSources& s, AtspiAccessible* a) -> Reading {
         auto mapped = axRoleOf(s.reader, a);
         if (!mapped || !mapped->subrole) return std::nullopt;
         return AttrValue(*mapped->subrole);
       }},
      {ax::AXTitle, title},
      {ax::AXDescription, [](AttributeSources& s, AtspiAccessible* a) { return nonEmptyText(s.reader.description(a)); }},
      {ax::AXValue, value},
      {ax::AXEnabled, enabled},
      {ax::AXSelectedText, [](AttributeSources& s, AtspiAccessible* a) { return text(s.reader.selectedText(a)); }},
      {ax::AXIdentifier, [](AttributeSources& s, AtspiAccessible* a) { return text(s.reader.accessibleId(a)); }},
      {ax::AXRoleDescription,
       [](AttributeSources& s, AtspiAccessible* a) { return text(s.reader.localizedRoleName(a)); }},
      {ax::AXHelp, help},
      {ax::AXPlaceholderValue,
       [](AttributeSources& s, AtspiAccessible* a) { return text(s.reader.objectAttribute(a, "placeholder-text")); }},
      {ax::AXTitleUIElement,
       [](AttributeSources& s, AtspiAccessible* a) {
         return elementOrNothing(s.reader.firstRelationTarget(a, ATSPI_RELATION_LABELLED_BY));
       }},
      {ax::AXParent, parentOf},
      {ax::AXChildren, childrenOf},
      {ax::AXRows, rowsOf},
      {ax::AXWindows, windowsOf},
      {ax::AXFocusedWindow, focusedWindowOf},
      {ax::AXFocusedUIElement, focusedElementOf},
      {ax::AXFrame, [](AttributeSources& s, AtspiAccessible* a) { return geometryOf(s, a, Geometry::Frame); }},
      {ax::AXPosition, [](AttributeSources& s, AtspiAccessible* a) { return geometryOf(s, a, Geometry::Position); }},
      {ax::AXSize, [](AttributeSources& s, AtspiAccessible* a) { return geometryOf(s, a, Geometry::Size); }},
  };
  return readers;
}

std::optional<ax::Rect> unionOf(const std::optional<ax::Rect>& a, const PixelRect& b) {
  const ax::Rect next{static_cast<double>(b.x), static_cast<double>(b.y), static_cast<double>(b.width),
                      static_cast<double>(b.height)};
  if (!a) return next;
  const double left = std::min(a->x, next.x);
  const double top = std::min(a->y, next.y);
  const double right = std::max(a->x + a->width, next.x + next.width);
  const double bottom = std::max(a->y + a->height, next.y + next.height);
  return ax::Rect{left, top, right - left, bottom - top};
}

ColumnSpan columnsOf(AtspiReader& reader, const TableRowNode& row) {
  if (auto shown = row.columns()) return *shown;
  auto columns = reader.tableColumnCount(row.table());
  return ColumnSpan{0, columns ? std::min(*columns, mostColumnsRead) : 0};
}

std::vector<CellPosition> cellPositionsIn(int row, ColumnSpan columns) {
  std::vector<CellPosition> positions;
  for (int column = columns.first; column < columns.first + columns.count; ++column) positions.push_back({row, column});
  return positions;
}

std::vector<AccessibleRef> rowCells(AtspiReader& reader, const TableRowNode& row) {
  std::vector<AccessibleRef> cells;
  const ColumnSpan columns = columnsOf(reader, row);
  reader.prefetchCells(row.table(), cellPositionsIn(row.row(), columns));
  for (int column = columns.first; column < columns.first + columns.count; ++column) {
    if (AccessibleRef cell = reader.tableCell(row.table(), row.row(), column)) cells.push_back(std::move(cell));
  }
  return cells;
}

// The cells whose extents make up the row's: every one, or in a huge table,
// where the cells line up on a grid, the first and the last.
std::vector<AccessibleRef> framingCells(AtspiReader& reader, const TableRowNode& row) {
  auto shown = row.columns();
  if (!shown || shown->count <= 2) return rowCells(reader, row);
  std::vector<AccessibleRef> cells;
  for (int column : {shown->first, shown->first + shown->count - 1}) {
    if (AccessibleRef cell = reader.tableCell(row.table(), row.row(), column)) cells.push_back(std::move(cell));
  }
  return cells;
}

}  // namespace

std::optional<AxRole> axRoleOf(AtspiReader& reader, AtspiAccessible* accessible) {
  auto role = reader.role(accessible);
  if (!role) return std::nullopt;
  RoleContext context;
  if (needsMultiLineProbe(*role)) {
    auto states = reader.states(accessible);
    context.multiLine = states && hasState(*states, ATSPI_STATE_MULTI_LINE);
  }
  if (needsEditableTextProbe(*role)) context.holdsEditableText = holdsEditableText(reader, accessible);
  if (needsToplevelProbe(*role)) context.toplevel = isToplevel(reader, accessible);
  return mapRole(*role, context);
}

std::optional<ax::AttrValue> readElementAttribute(AttributeSources& sources, AtspiAccessible* accessible,
                                                  std::string_view attribute) {
  if (accessible == nullptr) return std::nullopt;
  const auto& readers = elementReaders();
  auto reader = readers.find(attribute);
  if (reader == readers.end()) return std::nullopt;
  return reader->second(sources, accessible);
}

std::optional<ax::AttrValue> readSystemWideAttribute(AttributeSources& sources, std::string_view attribute) {
  if (attribute == ax::AXRole) return AttrValue(ax::AXSystemWide);
  if (attribute == ax::AXFocusedApplication || attribute == ax::AXFocusedUIElement) {
    auto front = sources.applications.frontmost();
    if (!front || !front->application) return std::nullopt;
    if (attribute == ax::AXFocusedApplication) return elementOrNothing(front->application);
    return elementOrNothing(focusedDescendantOf(sources, front->application.get()));
  }
  if (attribute == ax::AXChildren) return elementList(sources.applications.all());
  return std::nullopt;
}

void readChildrenAhead(AtspiReader& reader, const std::vector<AccessibleRef>& accessibles, bool grandchildrenNext) {
  // Whether each child is shown is asked next: where the toolkit does not mark
  // it (GTK 4), by the child's frame, asked with the rest of the level. That
  // toolkit answers slowly each time it is asked, however much: where the
  // children's own children are read next, their lists come in the same wait
  // as the frames.
  std::vector<AccessibleRef> marked;
  std::vector<AccessibleRef> unmarked;
  for (const AccessibleRef& accessible : accessibles) {
    (reader.toolkitOf(accessible.get()).marksShowing ? marked : unmarked).push_back(accessible);
  }
  reader.prefetchChildren(marked, mostChildren, RolePart | StatesPart);
  reader.prefetchChildren(unmarked, mostChildren, RolePart | StatesPart | InterfacesPart | ExtentsPart,
                          grandchildrenNext ? mostChildren : 0);
}

void readRowCellsAhead(AtspiReader& reader, const std::vector<const TableRowNode*>& rows) {
  std::map<AtspiAccessible*, std::vector<CellPosition>> cellsByTable;
  for (const TableRowNode* row : rows) {
    std::vector<CellPosition> positions = cellPositionsIn(row->row(), columnsOf(reader, *row));
    auto& cells = cellsByTable[row->table()];
    cells.insert(cells.end(), positions.begin(), positions.end());
  }
  for (const auto& [table, cells] : cellsByTable) reader.prefetchCells(table, cells);
}

std::optional<ax::AttrValue> readRowAttribute(AttributeSources& sources, const TableRowNode& row,
                                              std::string_view attribute) {
  AtspiReader& reader = sources.reader;
  if (attribute == ax::AXRole) return AttrValue(ax::AXRow);
  if (attribute == ax::AXParent) return elementOrNothing(AccessibleRef::share(row.table()));
  if (attribute == ax::AXChildren) return elementList(rowCells(reader, row));
  if (attribute != ax::AXFrame && attribute != ax::AXPosition && attribute != ax::AXSize) return std::nullopt;

  std::optional<ax::Rect> frame;
  for (const AccessibleRef& cell : framingCells(reader, row)) {
    if (auto extents = reader.screenExtents(cell.get())) frame = unionOf(frame, *extents);
  }
  if (!frame) return std::nullopt;
  if (attribute == ax::AXFrame) return AttrValue(*frame);
  if (attribute == ax::AXPosition) return AttrValue(ax::Point{frame->x, frame->y});
  return AttrValue(ax::Size{frame->width, frame->height});
}

}  // namespace morvel::linux_ax
