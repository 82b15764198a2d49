// "fields" on a large simulated window: 1,000 form rows, each with five static
// texts and one field (5,000 static texts, 1,000 fields). Prints the latency and
// the platform reads of one request, what its parts cost, and side by side what a
// request would cost if it rebuilt the label candidates for every field.

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "accessibility/Walkers.h"
#include "bench/Timing.h"
#include "commands/FieldLabels.h"
#include "commands/FieldsCommand.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/VirtualClock.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace ax = morvel::ax;

using morvel::bench::median;
using morvel::bench::millisecondsOf;

using morvel::ax::Element;
using nlohmann::json;

constexpr int formRows = 1000;
constexpr double rowPitch = 30;
constexpr int runs = 21;
using morvel::fieldLimit;
using morvel::windowWalk;

json rect(double x, double y, double w, double h) { return {{"rect", {x, y, w, h}}}; }

json staticText(const std::string& text, const json& frame, const std::string& id = "") {
  json node = {{"attrs", {{ax::AXRole, ax::AXStaticText}, {ax::AXValue, text}, {ax::AXFrame, frame}}}};
  if (!id.empty()) node["id"] = id;
  return node;
}

// One row: a label left of the field, a paragraph too long to be a label, a blank
// text that the field names as its title element (so every field takes the longest
// way to its label), a hint right of the field and a note far to the right.
json formRow(int row) {
  const double y = rowPitch * row;
  const std::string blankId = "blank-" + std::to_string(row);
  json field = {{"attrs",
                 {{ax::AXRole, ax::AXTextField},
                  {ax::AXValue, "value " + std::to_string(row)},
                  {ax::AXEnabled, true},
                  {ax::AXTitleUIElement, {{"ref", blankId}}},
                  {ax::AXFrame, rect(200, y, 200, 20)}}}};
  return {{"attrs", {{ax::AXRole, ax::AXGroup}, {ax::AXFrame, rect(0, y, 1200, rowPitch)}}},
          {"children",
           {staticText("Label " + std::to_string(row), rect(20, y + 2, 100, 16)),
            staticText(std::string(100, 'p'), rect(0, y, 10, 10)),
            staticText("  ", rect(0, y, 10, 10), blankId),
            staticText("Hint " + std::to_string(row), rect(420, y + 2, 100, 16)),
            staticText("Note " + std::to_string(row), rect(900, y + 2, 100, 16)),
            field}}};
}

json largeFormScene() {
  json rows = json::array();
  for (int row = 0; row < formRows; ++row) rows.push_back(formRow(row));
  json window = {{"id", "window"},
                 {"attrs", {{ax::AXRole, ax::AXWindow}, {ax::AXTitle, "Large form"}, {ax::AXFrame, rect(0, 0, 1200, 30000)}}},
                 {"children", std::move(rows)}};
  return {{"frontmost", {{"pid", 1}, {"bundleId", "com.example.large"}}},
          {"applications",
           {{{"pid", 1}, {"attrs", {{ax::AXFocusedWindow, {{"ref", "window"}}}}}, {"windows", {std::move(window)}}}}}};
}

long long readsSince(morvel::sim::SimDesktop& desktop) { return desktop.takeStats()["reads"].get<long long>(); }

}  // namespace

int main() {
  morvel::sim::VirtualClock clock;
  auto desktop = morvel::sim::SimDesktop::fromJson(largeFormScene(), clock);
  morvel::Platform platform{*desktop, *desktop, desktop->clock()};
  auto& ax = *desktop;
  const Element window = *desktop->elementWithId("window");

  // Whole requests, and beside them the same number of requests that rebuild the
  // candidate list for every field they label.
  std::vector<double> requestMs;
  std::vector<double> rebuildingMs;
  long long requestReads = 0;
  json reply;
  const std::vector<Element> fields = morvel::ax::collectFirstByRole(ax, window, morvel::formFieldRoles(),
                                                                     windowWalk.maxDepth, windowWalk.budget, fieldLimit);
  readsSince(*desktop);
  long long rebuildingReads = 0;
  for (int run = 0; run < runs; ++run) {
    desktop->requestStarted();
    requestMs.push_back(millisecondsOf([&] { reply = morvel::cmdFields(platform); }));
    requestReads = readsSince(*desktop);
    rebuildingMs.push_back(millisecondsOf([&] {
      for (const Element& field : fields) {
        morvel::fieldLabel(ax, field, morvel::labelCandidates(ax, window), morvel::ax::axFrame(ax, field));
      }
    }));
    rebuildingReads = readsSince(*desktop);
    desktop->replyWritten();
  }

  // The parts of one request; the field walk ends at the last field considered.
  int budget = windowWalk.budget;
  std::vector<Element> walked;
  morvel::ax::collectByRole(ax, window, morvel::formFieldRoles(), 0, windowWalk.maxDepth, budget, walked);
  readsSince(*desktop);
  morvel::ax::collectFirstByRole(ax, window, morvel::formFieldRoles(), windowWalk.maxDepth, windowWalk.budget,
                                 fieldLimit);
  const long long fieldWalkReads = readsSince(*desktop);

  std::vector<morvel::LabelCandidate> candidates;
  std::vector<double> candidateMs;
  for (int run = 0; run < runs; ++run) {
    candidateMs.push_back(millisecondsOf([&] { candidates = morvel::labelCandidates(ax, window); }));
  }
  const long long candidateReads = readsSince(*desktop) / runs;

  long long mostLabelReads = 0;
  long long labelReads = 0;
  int labelled = 0;
  for (const Element& field : fields) {
    const auto frame = morvel::ax::axFrame(ax, field);
    readsSince(*desktop);
    if (morvel::fieldLabel(ax, field, candidates, frame)) ++labelled;
    const long long reads = readsSince(*desktop);
    labelReads += reads;
    mostLabelReads = std::max(mostLabelReads, reads);
  }
  std::vector<double> passMs;
  for (int run = 0; run < runs; ++run) {
    passMs.push_back(millisecondsOf([&] {
      for (const Element& field : fields) {
        if (auto frame = morvel::ax::axFrame(ax, field)) morvel::nearestLabel(*frame, candidates);
      }
    }));
  }
  readsSince(*desktop);

  const double request = median(requestMs);
  const double rebuilding = median(rebuildingMs);
  std::printf("window: %d static texts, %d fields (%zu collected, %zu considered)\n", formRows * 5, formRows,
              walked.size(), fields.size());
  std::printf("fields request:           %8.2f ms median of %d, %lld reads, %d records, %d labelled\n",
              request, runs, requestReads, reply["fieldCount"].get<int>(), labelled);
  std::printf("  field walk:             %8lld reads\n", fieldWalkReads);
  std::printf("  label candidates:       %8.2f ms median, %lld reads, %zu candidates (built once)\n",
              median(candidateMs), candidateReads, candidates.size());
  std::printf("  labels of %zu fields:   %8lld reads, at most %lld per field\n", fields.size(), labelReads,
              mostLabelReads);
  std::printf("  nearest-label passes:   %8.3f ms median for %zu fields over %zu candidates\n", median(passMs),
              fields.size(), candidates.size());
  std::printf("  rest (frames, states, paths, window): %lld reads\n",
              requestReads - fieldWalkReads - candidateReads - labelReads);
  std::printf("rebuilding per field:     %8.2f ms median, %lld reads for frames and labels alone\n", rebuilding,
              rebuildingReads);
  std::printf("ratio rebuilding/request: %8.1f x time, %.1f x reads\n", rebuilding / request,
              static_cast<double>(rebuildingReads) / static_cast<double>(requestReads));
  return 0;
}
