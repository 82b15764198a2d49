#include "record/HitTestEntries.h"

#include "commands/Platform.h"
#include "record/ElementKey.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/VirtualClock.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <variant>

namespace morvel::record {
namespace {

using nlohmann::json;

// Grid cells are at least this many points wide, and a window gets at most this
// many of them (and this many along its longer side): enough to follow the
// widgets of a window, few enough to record a large one in seconds.
constexpr double smallestCell = 6.0;
constexpr double mostCells = 4096.0;
constexpr double mostCellsAlongASide = 256.0;

// What a hit test answered at one point, in the scene's terms.
struct Failed {
  bool operator==(const Failed&) const = default;
};
struct Unknown {
  bool operator==(const Unknown&) const = default;
};
using Answer = std::variant<Failed, Unknown, std::string>;

// The recorded elements by role and frame, on one side (the desktop or the replay).
class Identifier {
 public:
  using Lookup = std::function<std::optional<ax::Element>(std::size_t)>;

  Identifier(ax::Accessibility& ax, const RecordedTree& tree, Lookup elementOf)
      : ax_(ax), tree_(tree), elementOf_(std::move(elementOf)) {
    for (std::size_t index = 0; index < tree.nodes.size(); ++index) addToIndex(index_, tree, index);
  }

  Answer answerAt(const ax::Element& systemWide, double x, double y) {
    auto hit = ax_.copyElementAtPosition(systemWide, hitTestCoordinate(x), hitTestCoordinate(y));
    if (!hit) return Failed{};
    auto found = index_.find(keyOf(ax_, *hit));
    if (found == index_.end()) return Unknown{};
    for (std::size_t index : found->second) {
      auto element = elementOf_(index);
      if (element && ax_.isSameElement(*hit, *element)) return tree_.nodes[index].id;
    }
    return Unknown{};
  }

 private:
  ax::Accessibility& ax_;
  const RecordedTree& tree_;
  Lookup elementOf_;
  ElementIndex index_;
};

json entryFor(const Answer& answer, const ax::Rect& rect) {
  json entry = {{"rect", {rect.x, rect.y, rect.width, rect.height}}};
  if (const auto* id = std::get_if<std::string>(&answer)) {
    entry["element"] = *id;
  } else {
    entry["fail"] = true;
  }
  return entry;
}

std::optional<ax::Rect> intersection(const ax::Rect& a, const ax::Rect& b) {
  const double left = std::max(a.x, b.x);
  const double top = std::max(a.y, b.y);
  const double right = std::min(a.x + a.width, b.x + b.width);
  const double bottom = std::min(a.y + a.height, b.y + b.height);
  if (!(right > left && bottom > top)) return std::nullopt;
  return ax::Rect{left, top, right - left, bottom - top};
}

bool contains(const ax::Rect& rect, double x, double y) {
  return rect.x <= x && x < rect.x + rect.width && rect.y <= y && y < rect.y + rect.height;
}

// Both answers at the centre of one grid cell.
struct Sample {
  double x = 0;
  double y = 0;
  Answer desktop;
  Answer replay;

  bool differs() const { return !std::holds_alternative<Unknown>(desktop) && desktop != replay; }
};

class HitGrid {
 public:
  HitGrid(const ax::Rect& area, Identifier& desktop, Identifier& replay, const ax::Element& desktopSystemWide,
          const ax::Element& replaySystemWide)
      : area_(area), cell_(std::max({smallestCell, std::ceil(std::sqrt(area.width * area.height / mostCells)),
                          std::ceil(std::max(area.width, area.height) / mostCellsAlongASide)})),
        columns_(static_cast<int>(std::ceil(area.width / cell_))), rows_(static_cast<int>(std::ceil(area.height / cell_))) {
    for (int row = 0; row < rows_; ++row) {
      for (int column = 0; column < columns_; ++column) {
        const double x = area.x + (column + 0.5) * cell_;
        const double y = area.y + (row + 0.5) * cell_;
        samples_.push_back({x, y, desktop.answerAt(desktopSystemWide, x, y), replay.answerAt(replaySystemWide, x, y)});
      }
    }
    covered_.assign(samples_.size(), false);
  }

  // Where the replay gives one element and the desktop another all over that
  // element's frame (a label the toolkit passes through), one entry with the
  // frame's own edges.
  void addFrameEntries(const std::map<std::string, ax::Rect>& frames, json& entries) {
    for (const Sample& sample : samples_) {
      const auto* id = std::get_if<std::string>(&sample.replay);
      if (!sample.differs() || !id || !frames.contains(*id)) continue;
      const auto region = intersection(frames.at(*id), area_);
      if (!region || !agreesAllOver(*region, sample)) continue;
      for (std::size_t index = 0; index < samples_.size(); ++index) {
        if (contains(*region, samples_[index].x, samples_[index].y)) covered_[index] = true;
      }
      entries.push_back(entryFor(sample.desktop, *region));
    }
  }

  // Every other difference: one rectangle per run of neighbouring cells in a row
  // that the desktop answered alike.
  void addCellEntries(json& entries) {
    for (int row = 0; row < rows_; ++row) {
      const std::size_t rowStart = static_cast<std::size_t>(row * columns_);
      std::optional<int> runStart;
      auto closeRun = [&](int end) {
        if (!runStart) return;
        entries.push_back(entryFor(samples_[rowStart + *runStart].desktop,
                                   {area_.x + *runStart * cell_, area_.y + row * cell_, (end - *runStart) * cell_, cell_}));
        runStart.reset();
      };
      for (int column = 0; column < columns_; ++column) {
        const std::size_t index = rowStart + static_cast<std::size_t>(column);
        const Sample& sample = samples_[index];
        const bool wanted = sample.differs() && !covered_[index];
        if (!wanted || (runStart && samples_[rowStart + *runStart].desktop != sample.desktop)) closeRun(column);
        if (wanted && !runStart) runStart = column;
      }
      closeRun(columns_);
    }
  }

 private:
  bool agreesAllOver(const ax::Rect& region, const Sample& like) const {
    return std::ranges::all_of(samples_, [&](const Sample& sample) {
      if (!contains(region, sample.x, sample.y)) return true;
      const bool desktopAlike = sample.desktop == like.desktop || std::holds_alternative<Unknown>(sample.desktop);
      return desktopAlike && sample.replay == like.replay;
    });
  }

  ax::Rect area_;
  double cell_;
  int columns_;
  int rows_;
  std::vector<Sample> samples_;
  std::vector<bool> covered_;
};

}  // namespace

json hitTestEntries(ax::Accessibility& desktop, const RecordedTree& tree, const json& scene, const ax::Rect& area) {
  json entries = json::array();
  const bool measurable = std::isfinite(area.x) && std::isfinite(area.y) && std::isfinite(area.width * area.height);
  if (!measurable || !(area.width > 0 && area.height > 0)) return entries;
  sim::VirtualClock replayClock;
  auto replay = sim::SimDesktop::fromJson(scene, replayClock);
  replay->requestStarted();

  Identifier live(desktop, tree, [&tree](std::size_t index) { return std::optional(tree.nodes[index].element); });
  Identifier replayed(*replay, tree, [&](std::size_t index) { return replay->elementWithId(tree.nodes[index].id); });
  HitGrid grid(area, live, replayed, desktop.createSystemWide(), replay->createSystemWide());

  std::map<std::string, ax::Rect> frames;
  for (const auto& node : tree.nodes) {
    if (auto frame = node.frame()) frames.emplace(node.id, *frame);
  }
  grid.addFrameEntries(frames, entries);
  grid.addCellEntries(entries);
  return entries;
}

}  // namespace morvel::record
