#pragma once

#include "accessibility/Accessibility.h"
#include "accessibility/Clock.h"
#include "ocr/Screen.h"

#include <cmath>
#include <limits>

namespace morvel {

// Everything a command may reach outside the process.
struct Platform {
  ax::Accessibility& ax;
  ocr::Screen& screen;
  ax::Clock& clock;
};

// How long one read may wait on an application that does not answer before the
// command gives up on it (and the backend counts it as hung).
inline constexpr double messagingTimeoutSeconds = 2.0;

// A request coordinate as the platform's hit test takes it: single precision,
// saturating to infinity instead of leaving the float range.
inline float hitTestCoordinate(double value) {
  constexpr double largest = std::numeric_limits<float>::max();
  if (value > largest) return std::numeric_limits<float>::infinity();
  if (value < -largest) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace morvel
