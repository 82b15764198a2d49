#pragma once

// The element handles of the Linux backend. Each node owns what it stands on;
// identity is decided by `sameElement`, never by comparing handles.

#include "accessibility/Accessibility.h"
#include "platform/linux/atspi/GlibOwnership.h"
#include "platform/linux/WindowSystem.h"

#include <cstdint>

#include <optional>

namespace morvel::linux_ax {

// One AT-SPI accessible, owned for as long as the handle lives. The desktop
// accessible stands for the system-wide element. An empty node stands for an
// application that could not be found: every read on it fails.
class AccessibleNode final : public ax::ElementNode {
 public:
  explicit AccessibleNode(AccessibleRef accessible, bool systemWide = false)
      : accessible_(std::move(accessible)), systemWide_(systemWide) {}
  AtspiAccessible* get() const { return accessible_.get(); }
  bool isSystemWide() const { return systemWide_; }

 private:
  AccessibleRef accessible_;
  bool systemWide_;
};

// The columns of a row that are read: those a huge table shows.
struct ColumnSpan {
  int first = 0;
  int count = 0;
};

// A table row that the toolkit exposes only through the Table interface (GTK 3
// tree views and spreadsheets have cells but no row objects): the table, the
// row's index and, in a huge table, the columns that show.
class TableRowNode final : public ax::ElementNode {
 public:
  TableRowNode(AccessibleRef table, int row, std::optional<ColumnSpan> columns)
      : table_(std::move(table)), row_(row), columns_(columns) {}
  AtspiAccessible* table() const { return table_.get(); }
  int row() const { return row_; }
  // Absent: every column, up to a bound.
  std::optional<ColumnSpan> columns() const { return columns_; }

 private:
  AccessibleRef table_;
  int row_;
  std::optional<ColumnSpan> columns_;
};

// An application that is not on the accessibility bus (xterm, Tk, most games),
// or one of its windows, as the window system describes it.
class WindowSystemNode final : public ax::ElementNode {
 public:
  WindowSystemNode(std::int32_t pid, std::optional<WindowId> window) : pid_(pid), window_(window) {}
  std::int32_t pid() const { return pid_; }
  // Absent for the application itself.
  std::optional<WindowId> window() const { return window_; }

 private:
  std::int32_t pid_;
  std::optional<WindowId> window_;
};

ax::Element makeElement(AccessibleRef accessible);
ax::Element makeSystemWideElement(AccessibleRef desktop);
ax::Element makeRowElement(AccessibleRef table, int row, std::optional<ColumnSpan> columns = std::nullopt);
ax::Element makeWindowSystemElement(std::int32_t pid, std::optional<WindowId> window);

bool sameElement(const ax::Element& a, const ax::Element& b);
// AT-SPI identity: the same application bus name and the same object path.
bool sameAccessible(AtspiAccessible* a, AtspiAccessible* b);

}  // namespace morvel::linux_ax
