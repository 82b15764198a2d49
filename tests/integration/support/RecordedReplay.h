#pragma once

// The application in front recorded with morvel_ax_record, its recording
// replayed in morvel_ax_sim, and both asked the same requests.

#include "support/Desktop.h"
#include "support/ReplayProbe.h"

#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace morvel::testing {

inline std::vector<json> askAll(HelperProcess& process, const std::vector<json>& requests) {
  std::vector<json> replies;
  for (const json& request : requests) replies.push_back(process.ask(request).value_or(json()));
  return replies;
}

// Records the application in front into a file, then asks the desktop and the
// replay of the file the probe requests over `window`.
inline void expectReplayAgrees(const std::string& name, const ScreenRect& window) {
  constexpr auto recordingTimeout = 120000ms;
  constexpr int gridColumns = 8;
  constexpr int gridRows = 6;
  constexpr double leastSameShare = 0.95;
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

}  // namespace morvel::testing
