#pragma once

// Where sway listens for IPC. A sway started again has a new socket: sway names
// its socket after its own process (sway-ipc.<uid>.<pid>.sock in the runtime
// directory) whenever the path in SWAYSOCK is taken, and a sway that crashed
// leaves its old socket file behind. So a helper that outlives its compositor
// looks for the socket again once the one it was given stops answering.

#include <filesystem>
#include <string>
#include <vector>

namespace morvel::linux_ax {

// Whether `name` is a socket name sway gives itself.
bool isSwaySocketName(const std::string& name);

// The sway sockets in `directory`, the most recently made first.
std::vector<std::string> swaySocketsIn(const std::filesystem::path& directory);

// The directory sway puts its socket in: the runtime directory, else /tmp.
std::filesystem::path swaySocketDirectory();

}  // namespace morvel::linux_ax
