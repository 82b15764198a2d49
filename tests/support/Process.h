#pragma once

// Runs a program with the given input on its standard input and collects what it
// writes, for tests that drive the executables through pipes.

#include <string>
#include <vector>

namespace morvel::testing {

struct ProcessResult {
  std::string out;
  std::string err;
  int exitStatus = -1;  // -1 when the process did not exit normally
};

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input);

// The reply lines of a run, without their line feeds.
std::vector<std::string> lines(const std::string& output);

}  // namespace morvel::testing
