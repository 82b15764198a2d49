#include "platform/linux/gnome/ShellWindows.h"

#include "platform/linux/JsonFields.h"

#include <array>
#include <charconv>

namespace morvel::linux_ax {
namespace {

using nlohmann::json;

// Far more than any desktop shows; the bound stops a hostile reply.
constexpr std::size_t mostWindows = 4096;
constexpr std::array contentTypes{"normal", "dialog", "utility", "splash"};

bool holdsContent(const json& window) {
  const auto type = textField(window, "type");
  if (!type) return false;
  for (const char* content : contentTypes) {
    if (*type == content) return true;
  }
  return false;
}

// Ids are 64-bit and go as text: JSON numbers are doubles to the shell.
std::optional<WindowId> idField(const json& window) {
  const auto text = textField(window, "id");
  if (!text) return std::nullopt;
  WindowId id = 0;
  const char* end = text->data() + text->size();
  auto [stop, error] = std::from_chars(text->data(), end, id);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return id;
}

std::optional<ListedWindow> shownWindow(const json& window) {
  if (!window.is_object() || !holdsContent(window)) return std::nullopt;
  auto id = idField(window);
  auto frame = rectField(window, "frame");
  auto client = rectField(window, "client");
  auto surface = rectField(window, "buffer");
  if (!id || !frame || !client || !surface) return std::nullopt;
  ListedWindow shown;
  shown.id = *id;
  if (auto pid = intField(window, "pid"); pid && *pid > 0) shown.pid = *pid;
  shown.appId = textField(window, "applicationId");
  if (!shown.appId) shown.appId = textField(window, "wmClass");
  shown.title = textField(window, "title");
  shown.frame = *frame;
  shown.content = *client;
  shown.focused = flag(window, "focused");
  shown.xwayland = flag(window, "xwayland");
  // An X client's extents are global already: its surface is not needed.
  if (!shown.xwayland) shown.surface = *surface;
  return shown;
}

}  // namespace

std::optional<ShellWindowList> parseShellWindows(std::string_view listWindowsReply) {
  const json reply = json::parse(listWindowsReply, nullptr, false);
  if (!reply.is_object() || intField(reply, "version") != shellReplyVersion) return std::nullopt;
  auto screen = reply.find("screen");
  const json* windows = listField(reply, "windows");
  if (screen == reply.end() || !screen->is_object() || windows == nullptr) return std::nullopt;
  ShellWindowList list;
  list.screenWidth = intField(*screen, "width").value_or(0);
  list.screenHeight = intField(*screen, "height").value_or(0);
  list.monitorCount = intField(*screen, "monitors").value_or(list.monitorCount);
  for (const json& window : *windows) {
    if (list.topFirst.size() == mostWindows) break;
    if (auto shown = shownWindow(window)) list.topFirst.push_back(std::move(*shown));
  }
  return list;
}

}  // namespace morvel::linux_ax
