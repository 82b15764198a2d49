#include "record/SceneRecorder.h"

#include "record/HitTestEntries.h"
#include "record/SceneJson.h"
#include "record/ScreenText.h"
#include "record/TreeRecorder.h"
#include "platform/sim/SimDesktop.h"

namespace morvel::record {

using nlohmann::json;

Recording recordFrontmost(Platform& platform, const RecordOptions& options) {
  Recording recording;
  // One recording is one request of the desktop: what it reads is one snapshot,
  // and an application that stops answering costs one time-out, not one per read.
  platform.ax.requestStarted();
  const auto frontmost = platform.ax.frontmostApplication();
  if (!frontmost) {
    platform.ax.replyWritten();
    return recording;
  }
  recording.foundApplication = true;
  json& scene = recording.scene;
  scene["frontmost"] = {{"pid", frontmost->pid}};
  if (frontmost->bundleId) scene["frontmost"]["bundleId"] = *frontmost->bundleId;

  TreeRecorder recorder(platform);
  RecordedTree tree = recorder.recordApplication(*frontmost, options.allWindows);
  writeTree(platform.ax, recorder, tree, frontmost->pid, scene);

  const std::optional<ax::Rect> window = tree.frontWindow ? tree.nodes[*tree.frontWindow].frame() : std::nullopt;
  if (window && !recorder.applicationStoppedAnswering()) {
    try {
      json entries = hitTestEntries(platform.ax, tree, scene, *window);
      if (!entries.empty()) scene["hitTest"] = std::move(entries);
    } catch (const sim::SceneError& error) {
      // Never expected: the scene is ours. Kept without hit-test entries, and said.
      recording.notes.push_back(std::string("the hit test was not compared: ") + error.what());
    }
  }
  if (window && options.screenText) {
    if (auto text = recordScreenText(platform.screen, *window)) scene["screen"] = std::move(*text);
  }
  platform.ax.replyWritten();
  recording.notes.insert(recording.notes.begin(), recorder.notes().begin(), recorder.notes().end());
  return recording;
}

namespace {

// Arrays of numbers (rectangles, points, sizes) on one line, so that a scene
// reads as elements rather than as columns of coordinates. An array opened by
// "[" and a line break is never inside a text: texts hold no raw line breaks.
std::string numberArraysOnOneLine(const std::string& text) {
  constexpr std::string_view numberArrayCharacters = "0123456789.-+eE, \n";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t close = text[i] == '[' && text.compare(i + 1, 1, "\n") == 0 ? text.find(']', i) : std::string::npos;
    const std::string_view inside = close == std::string::npos ? std::string_view() : std::string_view(text).substr(i + 1, close - i - 1);
    if (inside.empty() || inside.find_first_not_of(numberArrayCharacters) != std::string_view::npos) {
      out += text[i];
      continue;
    }
    out += '[';
    for (char c : inside) {
      if (c == ',') out += ", ";
      else if (c != ' ' && c != '\n') out += c;
    }
    out += ']';
    i = close;
  }
  return out;
}

}  // namespace

std::string sceneText(const json& scene) {
  return numberArraysOnOneLine(scene.dump(2, ' ', false, json::error_handler_t::replace)) + "\n";
}

}  // namespace morvel::record
