// Recording a desktop and replaying the scene: every command answers the replay
// as it answered the desktop, the file is stable, secrets stay out of it, and a
// hung application ends the recording instead of hanging it.

#include "app/Dispatcher.h"
#include "record/SceneRecorder.h"
#include "support/ReplayProbe.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace morvel::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

json sceneFile(const std::string& name) { return json::parse(fileText(std::string(MORVEL_EXAMPLES_DIR) + "/" + name)); }

std::vector<json> ask(SimDesktopFixture& desktop, const std::vector<json>& requests) {
  std::vector<json> replies;
  for (const json& request : requests) {
    replies.push_back(handle(request, desktop.platform()));
    desktop.endRequest();
  }
  return replies;
}

record::Recording recordOf(SimDesktopFixture& desktop, bool screenText = true) {
  auto recording = record::recordFrontmost(desktop.platform(), {.allWindows = false, .screenText = screenText});
  desktop.endRequest();
  return recording;
}

// A window whose toolkit answers the hit test unlike its frames (a label that is
// passed through to the panel under it), a secure field, a title element and a
// focused element outside the tree, and a parent that is not the tree's parent.
json quirkyScene() {
  return json::parse(R"({
    "frontmost": {"pid": 42},
    "systemWide": {"attrs": {"AXFocusedUIElement": {"ref": "popup-item"}}},
    "applications": [{"pid": 42, "attrs": {"AXRole": "AXApplication", "AXFocusedWindow": {"ref": "window"}}, "windows": [
      {"id": "window", "attrs": {"AXRole": "AXWindow", "AXTitle": "Login", "AXFrame": {"rect": [0, 0, 300, 200]}}, "children": [
        {"id": "panel", "attrs": {"AXRole": "AXGroup", "AXFrame": {"rect": [0, 0, 300, 200]}}, "children": [
          {"id": "user-label", "attrs": {"AXRole": "AXStaticText", "AXValue": "User", "AXFrame": {"rect": [10, 10, 60, 20]}}},
          {"attrs": {"AXRole": "AXTextField", "AXValue": "ada", "AXFrame": {"rect": [80, 10, 200, 20]},
                     "AXTitleUIElement": {"ref": "outside-label"}}},
          {"attrs": {"AXRole": "AXTextField", "AXSubrole": "AXSecureTextField", "AXValue": "hunter2",
                     "AXSelectedText": "hunter2", "AXFrame": {"rect": [80, 40, 200, 20]}}},
          {"attrs": {"AXRole": "AXButton", "AXTitle": "Sign in", "AXEnabled": true, "AXParent": {"ref": "window"},
                     "AXFrame": {"rect": [200, 160, 80, 24]}}}]}]},
      {"id": "other", "attrs": {"AXRole": "AXWindow", "AXFrame": {"rect": [400, 0, 100, 100]}}}]}],
    "elements": [
      {"id": "outside-label", "attrs": {"AXRole": "AXStaticText", "AXValue": "Account", "AXFrame": {"rect": [10, 180, 60, 16]}}},
      {"id": "popup-item", "attrs": {"AXRole": "AXMenuItem", "AXTitle": "Copy", "AXFrame": {"rect": [410, 10, 80, 20]}}}],
    "hitTest": [{"rect": [10, 10, 60, 20], "element": "panel"}, {"rect": [290, 190, 10, 10], "fail": true}],
    "screen": {"lines": [{"text": "User", "confidence": 0.75, "rect": [10, 10, 60, 20]}]}})");
}

TEST(RecordReplay, TheReplayAnswersEveryCommandAsTheRecordedDesktopAndRecordsToTheSameFile) {
  const std::vector<std::pair<std::string, json>> scenes = {
      {"contacts", sceneFile("contacts.json")},
      {"quirky", quirkyScene()},
  };
  for (const auto& [name, scene] : scenes) {
    SCOPED_TRACE(name);
    SimDesktopFixture desktop(scene);
    const auto recording = recordOf(desktop);
    ASSERT_TRUE(recording.foundApplication);
    EXPECT_TRUE(recording.notes.empty());
    SimDesktopFixture replay(recording.scene);

    const auto& apps = recording.scene["applications"][0];
    const auto& frame = apps["children"][0]["attrs"][ax::AXFrame]["rect"];
    auto requests = probeRequests(frame[0], frame[1], frame[2], frame[3], 12, 10);
    auto desktopReplies = ask(desktop, requests);
    const auto finds = findRequests(desktopReplies);
    requests.insert(requests.end(), finds.begin(), finds.end());
    desktopReplies = ask(desktop, requests);
    const Agreement agreement = compareReplies(requests, desktopReplies, ask(replay, requests));
    // Only what the secure field holds may differ: the recording leaves it out.
    const auto secretOnly = std::ranges::count_if(
        agreement.differences, [](const std::string& difference) { return difference.find("hunter2") != std::string::npos; });
    EXPECT_EQ(agreement.same + secretOnly, agreement.total) << ::testing::PrintToString(agreement.differences);
    EXPECT_TRUE(agreement.treeDigestSame);

    // Recording the replay gives the recording back, byte for byte.
    EXPECT_EQ(record::sceneText(recordOf(replay).scene), record::sceneText(recording.scene));
    EXPECT_THAT(record::sceneText(recording.scene), Not(HasSubstr("hunter2")));
  }
}

TEST(RecordReplay, TheExampleIsWhatRecordingItsReplayWrites) {
  SimDesktopFixture replay(sceneFile("recorded-contacts-app.json"));
  EXPECT_EQ(record::sceneText(recordOf(replay).scene),
            fileText(std::string(MORVEL_EXAMPLES_DIR) + "/recorded-contacts-app.json"));
}

TEST(RecordReplay, AHungApplicationEndsTheRecordingWithANoteAndAReadableSceneAndNoneInFrontRecordsNothing) {
  json scene = sceneFile("contacts.json");
  scene["applications"][0]["responseDelayMs"] = 60000;
  SimDesktopFixture desktop(scene);
  const auto recording = recordOf(desktop);
  EXPECT_THAT(::testing::PrintToString(recording.notes), HasSubstr("stopped answering"));
  // The first read waits out the time-out; every later one fails at once.
  EXPECT_LT(desktop.elapsedMs(), 2 * 2000.0);
  EXPECT_NO_THROW(SimDesktopFixture replay(recording.scene));

  SimDesktopFixture nothingInFront(json::object());
  EXPECT_FALSE(recordOf(nothingInFront).foundApplication);
}

}  // namespace
}  // namespace morvel::testing
