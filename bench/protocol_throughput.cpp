// "ping" requests piped through morvel_ax_sim as fast as it answers, side by side
// with a minimal line-echo program in the same run. Prints medians and the ratio.

#include "bench/Timing.h"
#include "support/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using morvel::bench::median;

constexpr int requestsPerRun = 500000;
constexpr int runs = 5;

double linesPerSecond(const std::vector<std::string>& argv, const std::string& input, std::size_t expectedLines) {
  const auto start = std::chrono::steady_clock::now();
  auto result = morvel::testing::runProcess(argv, input);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (morvel::testing::lines(result.out).size() != expectedLines || result.exitStatus != 0) {
    std::fprintf(stderr, "%s answered %zu lines, expected %zu\n", argv[0].c_str(),
                 morvel::testing::lines(result.out).size(), expectedLines);
    std::exit(1);
  }
  return static_cast<double>(expectedLines) / elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: protocol_throughput MORVEL_AX_SIM LINE_ECHO SCENE.json\n");
    return 2;
  }
  std::string input;
  for (int i = 0; i < requestsPerRun; ++i) input += "{\"id\":" + std::to_string(i) + ",\"cmd\":\"ping\"}\n";

  std::vector<double> helperRates;
  std::vector<double> echoRates;
  for (int run = 0; run < runs; ++run) {  // interleaved, so both see the same machine
    helperRates.push_back(linesPerSecond({argv[1], argv[3]}, input, requestsPerRun));
    echoRates.push_back(linesPerSecond({argv[2]}, input, requestsPerRun));
  }
  const double helper = median(helperRates);
  const double echo = median(echoRates);
  std::printf("ping through morvel_ax_sim: %.0f replies/s (median of %d runs of %d requests)\n", helper, runs,
              requestsPerRun);
  std::printf("line echo baseline:         %.0f lines/s\n", echo);
  std::printf("ratio helper/echo:          %.2f\n", helper / echo);
  return 0;
}
