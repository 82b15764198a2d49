#pragma once

// What may be served twice within one attempt of a request without asking the
// application again: role, name, description, states, child count, interfaces,
// extents and text of an element, its parent and its children, and the localized name of a role in an application
// (each of them could change only in a way the caller could not tell apart
// within one attempt); and, for the life of the connection, the process id
// behind a bus name and the elements whose list of children in one message is
// not their children by index (a GTK 4 stack): neither changes while the
// element lives. An attempt ends when the reply has been written or when the
// command pauses to let the desktop change ("find" between its tries):
// everything but those is forgotten then.

#include "platform/linux/atspi/CellRange.h"
#include "platform/linux/atspi/GlibOwnership.h"
#include "platform/linux/image/PixelRect.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvel::linux_ax {

using StateBits = std::uint64_t;

inline bool hasState(StateBits states, AtspiStateType state) {
  return (states & (StateBits{1} << static_cast<unsigned>(state))) != 0;
}

// The interfaces the readers test for, one bit each.
enum InterfaceBit : unsigned {
  CollectionInterface = 1U << 0,
  ComponentInterface = 1U << 1,
  TableInterface = 1U << 2,
  TextInterface = 1U << 3,
  ValueInterface = 1U << 4,
};
using InterfaceBits = unsigned;

struct ElementFacts {
  std::optional<AtspiRole> role;
  std::optional<std::string> name;
  std::optional<std::string> description;
  std::optional<StateBits> states;
  std::optional<int> childCount;
  std::optional<InterfaceBits> interfaces;
  // As the toolkit reports them; an empty inner value: not on screen.
  std::optional<std::optional<PixelRect>> extents;
  // The whole text, as the application gave it.
  std::optional<std::string> text;
  // The first selected range of the text, start and end offsets.
  std::optional<std::pair<int, int>> selection;
  // The subtree below has been read ahead (AtspiReader::readSubtreeAhead).
  bool subtreeReadAhead = false;
  // An empty reference: the element has no parent.
  std::optional<AccessibleRef> parent;
  // The first `childrenLimit` children (all of them when there are fewer).
  std::optional<std::vector<AccessibleRef>> children;
  int childrenLimit = 0;
  // Of a table: its row and column counts, the cells it shows, and the cells
  // asked for by (row, column).
  std::optional<TableSize> tableSize;
  std::optional<CellRange> showingCells;
  std::map<std::pair<int, int>, AccessibleRef> cells;
  // Its own hit test's answers by point, as the toolkit takes the point; an
  // empty reference: nothing there.
  std::map<std::pair<int, int>, AccessibleRef> hits;
};

class RequestMemo {
 public:
  // The facts known about `accessible` in this request; the memo keeps a
  // reference to it so that its address is not reused by another element.
  ElementFacts& factsOf(AtspiAccessible* accessible);
  // Forgets everything but the process ids and the lists unlike the children.
  void endAttempt() {
    facts_.clear();
    roleNames_.clear();
  }
  // Forgets the process ids too: a new connection hands out the bus names again.
  void forgetConnection() {
    endAttempt();
    processIds_.clear();
    listsUnlikeChildren_.clear();
  }

  // The localized name of `role` in the application on `busName`.
  const std::string* roleNameOf(const std::string& busName, AtspiRole role) const;
  void rememberRoleName(const std::string& busName, AtspiRole role, std::string name);

  std::optional<std::int32_t> processIdOf(const std::string& busName) const;
  void rememberProcessId(const std::string& busName, std::int32_t pid);

  // Whether the list of `accessible`'s children in one message was seen to
  // differ from its children by index: they are then asked by index alone.
  bool listUnlikeChildren(AtspiAccessible* accessible) const;
  void rememberListUnlikeChildren(AtspiAccessible* accessible);

 private:
  struct Entry {
    AccessibleRef keepAlive;
    ElementFacts facts;
  };
  std::unordered_map<AtspiAccessible*, Entry> facts_;
  std::map<std::pair<std::string, AtspiRole>, std::string, std::less<>> roleNames_;
  std::map<std::string, std::int32_t, std::less<>> processIds_;
  // By bus name and object path, which stay with the element while it lives.
  std::set<std::pair<std::string, std::string>> listsUnlikeChildren_;
};

}  // namespace morvel::linux_ax
