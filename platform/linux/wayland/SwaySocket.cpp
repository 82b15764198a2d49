#include "platform/linux/wayland/SwaySocket.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace morvel::linux_ax {
namespace {

bool isNumber(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

bool isSwaySocketName(const std::string& name) {
  constexpr std::string_view prefix = "sway-ipc.";
  constexpr std::string_view suffix = ".sock";
  std::string_view text = name;
  if (!text.starts_with(prefix) || !text.ends_with(suffix)) return false;
  text = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  const auto dot = text.find('.');
  return dot != std::string_view::npos && isNumber(text.substr(0, dot)) && isNumber(text.substr(dot + 1));
}

std::vector<std::string> swaySocketsIn(const std::filesystem::path& directory) {
  struct Found {
    std::string path;
    std::filesystem::file_time_type made;
  };
  std::vector<Found> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    if (!isSwaySocketName(entry.path().filename().string()) || !entry.is_socket(error)) continue;
    found.push_back({entry.path().string(), entry.last_write_time(error)});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.made > b.made; });
  std::vector<std::string> paths;
  for (Found& socket : found) paths.push_back(std::move(socket.path));
  return paths;
}

std::filesystem::path swaySocketDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && runtime[0] != '\0' ? runtime : "/tmp";
}

}  // namespace morvel::linux_ax
