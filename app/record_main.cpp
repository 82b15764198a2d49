// morvel_ax_record: writes the frontmost application of this desktop as a scene
// file, so that morvel_ax_sim can answer later what the desktop answers now.

#include "app/CommandLine.h"
#include "app/LinuxDesktop.h"
#include "record/SceneRecorder.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

constexpr int recordedStatus = 0;
constexpr int failedStatus = 1;

constexpr std::string_view outOption = "--out";
constexpr std::string_view allWindowsOption = "--all-windows";
constexpr std::string_view noScreenTextOption = "--no-screen-text";

constexpr std::array<morvel::OptionSpec, 3> recordOptions = {{
    {outOption, "FILE", "write the scene to FILE instead of standard output"},
    {allWindowsOption, "", "record every window of the application whole, not\nonly the front one"},
    {noScreenTextOption, "", "leave out the text recognised on the screen"},
}};

const morvel::ProgramInfo recordProgram = {
    "morvel_ax_record", "",
    "Writes the frontmost application of this desktop as a scene file: its front window's\n"
    "accessibility tree, the text on its screen and its hit test, so that morvel_ax_sim replays\n"
    "what the desktop answers now.",
    0,
    recordOptions,
    "The scene format is docs/scene-format.md (installed under\n"
    "/usr/share/doc/morvel-ax-helper/). Values of secure text fields are never written.\n"};

// Written beside the target and renamed over it, so that a failed recording never
// leaves half a scene behind.
bool writeFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::path partial = path;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!(out << text) || !out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  if (error) std::filesystem::remove(partial, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  auto parsed = morvel::parseOptions(argc, argv, recordProgram);
  if (const int* exitStatus = std::get_if<int>(&parsed)) return *exitStatus;
  const auto& options = std::get<morvel::ParsedOptions>(parsed);

  morvel::LinuxDesktop desktop;
  morvel::Platform& platform = desktop.platform();
  const auto recording = morvel::record::recordFrontmost(
      platform, {.allWindows = options.has(allWindowsOption), .screenText = !options.has(noScreenTextOption)});
  for (const auto& note : recording.notes) std::fprintf(stderr, "morvel_ax_record: %s\n", note.c_str());
  if (!recording.foundApplication) {
    std::fprintf(stderr, "morvel_ax_record: no application is in front; nothing recorded\n");
    return failedStatus;
  }

  const std::string text = morvel::record::sceneText(recording.scene);
  if (auto out = options.value(outOption)) {
    if (!writeFile(*out, text)) {
      std::fprintf(stderr, "morvel_ax_record: cannot write %s\n", out->c_str());
      return failedStatus;
    }
    return recordedStatus;
  }
  std::cout << text << std::flush;
  return std::cout ? recordedStatus : failedStatus;
}
