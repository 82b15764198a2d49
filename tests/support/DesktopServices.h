#pragma once

// The desktop's services killed and started again under a running helper
// (scripts/desktop-service.sh), and what the helper says about it.

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace morvel::testing {

// Kills or starts `service` (and with a bus name, only that name's owner).
inline void controlService(const std::string& action, const std::string& service, const std::string& busName = "") {
  std::vector<std::string> argv = {MORVEL_DESKTOP_SERVICE_PATH, action, service};
  if (!busName.empty()) argv.push_back(busName);
  ASSERT_EQ(runProcess(argv, "").exitStatus, 0) << action << " " << service << " " << busName;
}

// How many times `line` occurs in `text`.
inline int occurrences(const std::string& text, const std::string& line) {
  int count = 0;
  for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
  return count;
}

}  // namespace morvel::testing
