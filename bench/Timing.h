#pragma once

// What every benchmark reports: medians of repeated measurements.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace morvel::bench {

// The middle sample (the mean of the two middle ones for an even count); 0 for none.
inline double median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const std::size_t middle = samples.size() / 2;
  return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// Wall-clock milliseconds `work` takes.
inline double millisecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace morvel::bench
