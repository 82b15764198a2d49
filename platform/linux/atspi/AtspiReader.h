#pragma once

// Single reads from libatspi, one function per question, each through the call
// guard and with everything libatspi hands over released. A failed read is an
// absent value, never an error.

#include "platform/linux/atspi/CallGuard.h"
#include "platform/linux/atspi/ConcurrentReads.h"
#include "platform/linux/atspi/ExtentsMapping.h"
#include "platform/linux/atspi/GlibOwnership.h"
#include "platform/linux/atspi/RequestMemo.h"
#include "platform/linux/atspi/SurfacePlacement.h"
#include "platform/linux/atspi/ToolkitTraits.h"
#include "platform/linux/image/PixelRect.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_ax {

// How an application's extents lie on the screen. Most toolkits report them in
// screen pixels as asked; some (GTK 4) relative to their window, and scaled
// ones in their own logical units.
class ExtentsOrigin {
 public:
  virtual ~ExtentsOrigin() = default;
  // How the extents of `accessible` map onto the screen; absent when they are
  // in screen pixels already.
  virtual std::optional<ExtentsMapping> mappingOf(AtspiAccessible* accessible) = 0;
};

class AtspiReader {
 public:
  AtspiReader(CallGuard& guard, RequestMemo& memo) : guard_(guard), memo_(memo) {}
  // Extents and hit-test points are mapped through `origin` from now on.
  void setExtentsOrigin(ExtentsOrigin* origin) { origin_ = origin; }

  std::optional<AtspiRole> role(AtspiAccessible* accessible);
  std::optional<std::string> name(AtspiAccessible* accessible);
  std::optional<std::string> description(AtspiAccessible* accessible);
  // The states; absent when the element is defunct or the read failed.
  std::optional<StateBits> states(AtspiAccessible* accessible);
  std::optional<std::string> localizedRoleName(AtspiAccessible* accessible);
  std::optional<std::string> accessibleId(AtspiAccessible* accessible);
  // One object attribute ("placeholder-text"...).
  std::optional<std::string> objectAttribute(AtspiAccessible* accessible, const char* key);
  std::optional<std::int32_t> processId(AtspiAccessible* accessible);
  // What the element's application's toolkit does its own way, asked once per application.
  const ToolkitTraits& toolkitOf(AtspiAccessible* accessible);

  AccessibleRef parent(AtspiAccessible* accessible);
  // The children in order, at most `limit`; absent when the count is unreadable.
  // Asked in one round trip where the application offers the Collection
  // interface or its toolkit lists them right in one message, else child by
  // child.
  std::optional<std::vector<AccessibleRef>> children(AtspiAccessible* accessible, int limit);
  // The same, child by child (one round trip each, all asked at once unless
  // every read is asked on its own).
  std::optional<std::vector<AccessibleRef>> childrenOneByOne(AtspiAccessible* accessible, int limit);
  // All the children of `accessible` where this request has read them all
  // already, without asking; else none.
  const std::vector<AccessibleRef>* knownChildren(AtspiAccessible* accessible);
  std::optional<int> childCount(AtspiAccessible* accessible);
  AccessibleRef childAt(AtspiAccessible* accessible, int index);
  AccessibleRef firstRelationTarget(AtspiAccessible* accessible, AtspiRelationType relation);

  // Extents in screen coordinates; absent for a widget that is not showing.
  std::optional<PixelRect> screenExtents(AtspiAccessible* accessible);
  // The extents as the toolkit reports them when asked for screen coordinates
  // (relative to the window's surface on Wayland, and for some toolkits on X11).
  std::optional<PixelRect> toolkitExtents(AtspiAccessible* accessible);
  // The element below a screen point.
  AccessibleRef accessibleAtPoint(AtspiAccessible* accessible, int x, int y);
  // Set when toolkits measure from their window's surface (see SurfacePlacement).
  void placeWith(SurfacePlacement* placement) { placement_ = placement; }

  // Asks `parts` of all of `accessibles` at once, ahead of the single reads that
  // are about to ask them one by one (see ConcurrentReads).
  void prefetch(const std::vector<AccessibleRef>& accessibles, ReadParts parts);
  // The same for one element, with its own hit test at a screen point, ahead of
  // accessibleAtPoint, the parts of `alongside`, and its first `childLimit`
  // children where they are read next, all in the same wait.
  void prefetchWithHit(AtspiAccessible* accessible, ReadParts parts, int x, int y,
                       const std::vector<PartsOf>& alongside = {}, int childLimit = 0);
  // Asks the children of all of `parents` (at most `limit` each) at once, one
  // list per parent where the application offers the Collection interface or
  // its toolkit lists them right in one message, else child by child, then
  // `childParts` of all those children at once: a level of the tree in a few
  // waits, not one per read. `grandchildLimit`: the children's own children
  // are read next, at most that many each; where the toolkit lists them in one
  // message confirmed by the first (GTK 4), those lists come in the same wait
  // as the children's parts.
  void prefetchChildren(const std::vector<AccessibleRef>& parents, int limit, ReadParts childParts,
                        int grandchildLimit = 0);
  // Asks `table` for all of `cells` at once, ahead of tableCell.
  void prefetchCells(AtspiAccessible* table, const std::vector<CellPosition>& cells);
  // Reads the role, states and child count of every element below `root`, at
  // most `mostElements` of them, all at once, and from the counts the children
  // of each, where they add up to the elements the application listed; for
  // applications whose elements libatspi does not hold already.
  void readSubtreeAhead(AtspiAccessible* root, int mostElements);
  // Off: every read is asked on its own, as a diagnostic of what the concurrent
  // reads change.
  void useConcurrentReads(bool enabled) { concurrentReads_ = enabled; }

  bool hasComponent(AtspiAccessible* accessible);
  bool hasCollection(AtspiAccessible* accessible);
  bool hasText(AtspiAccessible* accessible);
  bool hasValue(AtspiAccessible* accessible);
  bool hasTable(AtspiAccessible* accessible);
  std::optional<std::string> text(AtspiAccessible* accessible);
  // The first selection's text, or an empty text when nothing is selected.
  std::optional<std::string> selectedText(AtspiAccessible* accessible);
  std::optional<double> currentValue(AtspiAccessible* accessible);

  std::optional<int> tableRowCount(AtspiAccessible* table);
  std::optional<int> tableColumnCount(AtspiAccessible* table);
  AccessibleRef tableCell(AtspiAccessible* table, int row, int column);
  // The index as the application numbers it: below zero it means none, or that
  // the number wrapped around (see wrappedIndexPositions).
  std::optional<int> indexInParent(AtspiAccessible* accessible);
  // The row and the column of the child at `index` of `table`.
  std::optional<int> tableRowAtIndex(AtspiAccessible* table, int index);
  std::optional<int> tableColumnAtIndex(AtspiAccessible* table, int index);

  // The first element below `root` (itself excluded) holding `state`, asked of
  // the application in one round trip through the Collection interface.
  AccessibleRef firstDescendantWithState(AtspiAccessible* root, AtspiStateType state);

  // Forgets what libatspi holds of `accessible` and below, for parts that change
  // without the events the library listens for (a menu's popup); its role and
  // interfaces, which never change, stay.
  void dropLibraryCache(AtspiAccessible* accessible);

  CallGuard& guard() { return guard_; }
  RequestMemo& memo() { return memo_; }

 private:
  // A screen point as the toolkit of `accessible` takes it; none where the
  // element's surface does not reach the point.
  std::optional<std::pair<int, int>> pointForToolkit(AtspiAccessible* accessible, int x, int y);
  bool hasInterface(AtspiAccessible* accessible, const char* name);
  std::optional<std::vector<AccessibleRef>> childrenInOneCall(AtspiAccessible* accessible, int limit);
  // All of them in one message, where the element's toolkit answers it as it
  // answers child by child (see ChildListing); absent elsewhere.
  std::optional<std::vector<AccessibleRef>> childrenInOneMessage(AtspiAccessible* accessible, int limit);
  ChildListPlan childListPlanOf(AtspiAccessible* accessible);
  // Whether the children of `parent` may be listed ahead of the walk: not where
  // the application makes them on demand (a sheet's cells, read where they
  // show). Judged from states known without a question; unknown, nothing is
  // listed ahead.
  bool childrenListableAhead(AtspiAccessible* parent);
  // Whether `accessible` is known, without a question, to be an element with
  // no states at all: a socket holding another process's tree (WebKitGTK's
  // web view), whose Collection interface does not reach into that tree.
  bool holdsAnotherProcessTree(AtspiAccessible* accessible);
  // The children the memo holds of each of `parents`, in order.
  std::vector<AccessibleRef> knownChildrenOf(const std::vector<AccessibleRef>& parents);
  // The lists of `children`'s own children (at most `limit` each) asked with
  // the children's parts where the toolkit lists them in one message confirmed
  // by the first; none for a `limit` of 0.
  std::vector<ChildListWanted> grandchildListsOf(const std::vector<AccessibleRef>& children, int limit);
  // The matches of a rule every element matches, from the children alone or the
  // whole subtree.
  std::optional<std::vector<AccessibleRef>> everyMatch(AtspiAccessible* accessible, int limit, gboolean traverse);
  // Every element below `root` in pre-order, at most `limit`, in one round trip.
  std::optional<std::vector<AccessibleRef>> descendantsInOneCall(AtspiAccessible* root, int limit);
  // The children lists that the pre-order `elements` (the root first) and their
  // child counts make; none unless they add up exactly.
  void rememberChildrenFromCounts(const std::vector<AccessibleRef>& elements);
  // Runs `call` on libatspi's cached `part` when it holds it and the application's
  // earlier events have been handled, else asks the application.
  template <class Call>
  auto heldOrAsked(AtspiAccessible* accessible, AtspiCache part, Call&& call);
  // Waits, once per attempt and application, for the events the application sent
  // before now, and handles them: the reply to the guard's ping comes over the
  // bus the events came on, after them. False when the application did not answer.
  bool syncWith(AtspiAccessible* accessible);

  CallGuard& guard_;
  RequestMemo& memo_;
  ExtentsOrigin* origin_ = nullptr;
  SurfacePlacement* placement_ = nullptr;
  bool concurrentReads_ = true;
  // By application bus name, which the bus never gives to another.
  std::map<std::string, ToolkitTraits> toolkits_;
};

// Text from a library, repaired to well-formed UTF-8.
std::string utf8Text(const char* text);

}  // namespace morvel::linux_ax
