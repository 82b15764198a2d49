// Records the sample application and gtk3-widget-factory on the virtual desktop,
// replays each recording in morvel_ax_sim and asks both the same requests.

#include "support/AppSuite.h"
#include "support/ReplayProbe.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace morvel::testing {
namespace {

constexpr auto recordingTimeout = 120000ms;
constexpr int gridColumns = 8;
constexpr int gridRows = 6;
constexpr double leastSameShare = 0.95;

std::vector<json> askAll(HelperProcess& process, const std::vector<json>& requests) {
  std::vector<json> replies;
  for (const json& request : requests) replies.push_back(process.ask(request).value_or(json()));
  return replies;
}

// Records the application in front into a file, then asks the desktop and the
// replay of the file the probe requests over `window`.
void expectReplayAgrees(const std::string& name, const ScreenRect& window) {
  const std::filesystem::path scene = std::filesystem::temp_directory_path() /
                                      ("morvel-recording-" + std::to_string(::getpid()) + "-" + name + ".json");
  ChildProcess recorder({MORVEL_AX_RECORD_PATH, "--out", scene.string()});
  ASSERT_EQ(recorder.closeAndWait(recordingTimeout), 0) << recorder.standardError();
  EXPECT_EQ(recorder.standardError(), "");

  HelperProcess desktop;
  HelperProcess replay({MORVEL_AX_SIM_PATH, scene.string()});
  auto requests = probeRequests(window.x, window.y, window.width, window.height, gridColumns, gridRows);
  const auto finds = findRequests(askAll(desktop, requests));
  requests.insert(requests.end(), finds.begin(), finds.end());
  const Agreement agreement = compareReplies(requests, askAll(desktop, requests), askAll(replay, requests));
  std::filesystem::remove(scene);

  std::cout << name << ": " << agreement.same << " of " << agreement.total << " replies identical in the replay\n";
  for (const auto& difference : agreement.differences) std::cout << "  " << difference << "\n";
  EXPECT_GE(agreement.share(), leastSameShare);
  EXPECT_TRUE(agreement.treeDigestSame);
}

using RecordingTheSampleApp = OnSampleApp;

TEST_F(RecordingTheSampleApp, ItsReplayAnswersAsTheDesktop) {
  expectReplayAgrees("contacts", *clientWindowOf(fixture_->pid()));
}

TEST(RecordingTheWidgetFactory, ItsReplayAnswersAsTheDesktop) {
  ChildProcess factory({"gtk3-widget-factory"});
  const auto window = clientWindowOf(factory.pid());
  ASSERT_TRUE(window) << "gtk3-widget-factory did not show a window";
  ASSERT_TRUE(eventually([&] { return activeWindowPid() == factory.pid(); }, startupTimeout));
  HelperProcess helper;
  // The factory answers once it has registered with the bus.
  ASSERT_TRUE(eventually([&] { return helper.ask({{"cmd", "focused"}}).value_or(json())["found"] == true; },
                         startupTimeout));
  expectReplayAgrees("widget-factory", *window);
}

}  // namespace
}  // namespace morvel::testing
