#pragma once

// Records the frontmost application of a desktop into a scene (the format of
// docs/scene-format.md), through the same boundaries the commands use, so that the
// simulated desktop replays what the commands saw.

#include "commands/Platform.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace morvel::record {

struct RecordOptions {
  bool allWindows = false;  // every window whole, not only the front one
  bool screenText = true;   // recognise the front window's text once
};

struct Recording {
  nlohmann::json scene = nlohmann::json::object();
  bool foundApplication = false;
  // What a reader of the scene should know: an application that stopped
  // answering, a walk cut short. One sentence each.
  std::vector<std::string> notes;
};

Recording recordFrontmost(Platform& platform, const RecordOptions& options);

// The scene as a file: sorted keys, two-space indentation, a final line feed;
// text that is not UTF-8 is repaired. The same scene gives the same bytes.
std::string sceneText(const nlohmann::json& scene);

}  // namespace morvel::record
