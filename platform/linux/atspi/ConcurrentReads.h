#pragma once

// Independent reads of many elements sent at once: each element's question goes
// out without waiting for the answer to the one before, and the answers are
// gathered after. One wait instead of one per read, for the facts a walk reads of
// every child it meets (role, states, child count, interfaces). The answers go
// into the request's memo, where the single reads find them; a read that fails
// here is simply left to them.

#include "platform/linux/atspi/CallGuard.h"
#include "platform/linux/atspi/RequestMemo.h"

#include <optional>
#include <string_view>
#include <vector>

namespace morvel::linux_ax {

enum ReadPart : unsigned {
  RolePart = 1U << 0,
  StatesPart = 1U << 1,
  ChildCountPart = 1U << 2,
  InterfacesPart = 1U << 3,
  NamePart = 1U << 4,
  ExtentsPart = 1U << 5,
  TextPart = 1U << 6,
  DescriptionPart = 1U << 7,
  ParentPart = 1U << 8,
  // The first selected range of the text.
  SelectionPart = 1U << 9,
};
using ReadParts = unsigned;

// The bit of an interface, by its name with or without "org.a11y.atspi."; none
// for the interfaces the readers do not test.
InterfaceBits interfaceBitOf(std::string_view name);

// Whether `part` of `accessible` is known without a question: in `facts` (its
// facts in the request's memo) or held by libatspi.
bool knownWithoutAsking(const ElementFacts& facts, AtspiAccessible* accessible, ReadPart part);


// Asks `table` for each of `cells` (row, column) that the memo does not hold
// yet, all at once, into the table's cells in the memo.
void readCellsConcurrently(CallGuard& guard, RequestMemo& memo, AtspiAccessible* table,
                           const std::vector<CellPosition>& cells);

// Parts of an element to be asked.
struct PartsOf {
  AccessibleRef accessible;
  ReadParts parts = 0;
};

// The children of a parent wanted: its first `count`, for a caller that asked
// for at most `limit` (count is the smaller of the two).
struct ChildrenWanted {
  AtspiAccessible* parent = nullptr;
  int count = 0;
  int limit = 0;
};


// Asks each of `parents` for the list of its first `limit` children through the
// Collection interface, all at once, into the memo as each parent's children.
void listChildrenConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<AccessibleRef>& parents, int limit);

// A parent whose children are asked in one message (GetChildren), at most
// `limit` of them kept. `confirmFirst`: the list is kept only where its first
// child is the child at index 0, asked with it (none for an empty list), and
// asked only where the child count, if known, makes it worth a question.
struct ChildListWanted {
  AtspiAccessible* parent = nullptr;
  int limit = 0;
  bool confirmFirst = false;
};

// Asks every list wanted at once, into the memo as each parent's children (and
// their count); a list not kept is left to the reads by index.
void readChildListsConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<ChildListWanted>& parents);

// Asks the parts in `parts` that the memo does not hold yet of every element in
// `accessibles`, and the child lists wanted, all at once. Elements of an
// application that does not answer are left out.
void readConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<AccessibleRef>& accessibles,
                      ReadParts parts, const std::vector<ChildListWanted>& lists = {});

// What is asked of other elements in the same wait: the parts the memo does not
// hold yet and the child lists wanted.
struct ReadsAlongside {
  std::vector<AccessibleRef> accessibles;
  ReadParts parts = 0;
  std::vector<ChildListWanted> lists;
};

// Asks every child wanted at once, into the memo as each parent's children where
// every one of them was answered (the single reads tell what failed for the
// rest), and what is read alongside.
void readChildrenConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<ChildrenWanted>& parents,
                              const ReadsAlongside& alongside = {});

// Asks the parts in `parts` that the memo does not hold yet of `accessible`, its
// own hit test at `point` (as the toolkit takes it) where there is one, the
// parts of `alongside` the memo does not hold, and the child lists wanted, all
// at once.
void readWithHitConcurrently(CallGuard& guard, RequestMemo& memo, AtspiAccessible* accessible, ReadParts parts,
                             std::optional<std::pair<int, int>> point, const std::vector<PartsOf>& alongside,
                             const std::vector<ChildListWanted>& lists);

}  // namespace morvel::linux_ax
