#pragma once

// Walks the frontmost application the way the commands do: the front window (or
// every window) down to the depth and element budget of the commands' own walks,
// the other windows as their top level only.

#include "commands/Platform.h"
#include "record/RecordedTree.h"

#include <string>
#include <vector>

namespace morvel::record {

class TreeRecorder {
 public:
  explicit TreeRecorder(Platform& platform);

  RecordedTree recordApplication(const ax::RunningApplication& application, bool allWindows);
  // Records one more element met outside the tree (a focused element elsewhere, a
  // title element, a table's row) and a little of its subtree; its element
  // attributes are resolved like everyone else's.
  std::size_t recordFreeElement(RecordedTree& tree, const ax::Element& element, std::string id);

  // Why the recording is incomplete, one sentence each; empty when it is whole.
  const std::vector<std::string>& notes() const { return notes_; }
  bool applicationStoppedAnswering() const { return stoppedAnswering_; }

 private:
  std::optional<ax::AttrValue> read(const ax::Element& element, std::string_view attribute);
  std::size_t addNode(RecordedTree& tree, const ax::Element& element, std::string id, bool isApplication);
  void walkBelow(RecordedTree& tree, std::size_t index, int depth, int maxDepth, int& budget);
  bool mustStop();
  // A read that failed after the whole time-out: the application no longer answers.
  void noteIfStoppedAnswering(ax::Microseconds askedAt);

  Platform& platform_;
  ax::Microseconds startedAt_{};
  bool stoppedAnswering_ = false;
  bool outOfTime_ = false;
  bool budgetSpent_ = false;
  std::vector<std::string> notes_;
};

}  // namespace morvel::record
