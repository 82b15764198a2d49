#pragma once

#include <chrono>
#include <thread>

namespace morvel::testing {

// Polls `condition` every 50 ms until it holds or the deadline passes.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace morvel::testing
