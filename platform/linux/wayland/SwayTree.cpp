#include "platform/linux/wayland/SwayTree.h"

#include "platform/linux/JsonFields.h"

#include <algorithm>

namespace morvel::linux_ax {
namespace {

using nlohmann::json;

// Far deeper than any layout sway builds; the bound stops a hostile reply.
constexpr int deepestContainer = 64;
// The workspace sway keeps its scratchpad in.
constexpr std::string_view scratchpadOutput = "__i3";

// A view (a container holding a client) sway has on screen.
std::optional<SwayWindow> shownView(const json& node) {
  auto pid = intField(node, "pid");
  auto frame = rectField(node, "rect");
  auto inner = rectField(node, "window_rect");
  auto id = node.find("id");
  if (!pid || !frame || !inner || id == node.end() || !id->is_number_unsigned()) return std::nullopt;
  if (!flag(node, "visible")) return std::nullopt;
  SwayWindow window;
  window.id = id->get<std::uint64_t>();
  if (*pid > 0) window.pid = *pid;
  window.appId = textField(node, "app_id");
  if (!window.appId) {
    if (auto properties = node.find("window_properties"); properties != node.end() && properties->is_object()) {
      window.appId = textField(*properties, "class");
    }
  }
  window.title = textField(node, "name");
  window.frame = *frame;
  window.content = {frame->x + inner->x, frame->y + inner->y, inner->width, inner->height};
  // A floating window's title bar lies above its rect rather than inside it.
  if (auto title = rectField(node, "deco_rect"); title && title->height > 0 && inner->y == 0) {
    window.frame.y -= title->height;
    window.frame.height += title->height;
  }
  window.focused = flag(node, "focused");
  window.xwayland = textField(node, "shell") == "xwayland";
  return window;
}

// Views below `node`, bottom first: tiled children, then floating ones in the
// order sway stacks them.
void collectBottomFirst(const json& node, int depth, std::vector<SwayWindow>& into, std::vector<SwayWindow>& fullscreen) {
  if (!node.is_object() || depth > deepestContainer) return;
  if (auto view = shownView(node)) {
    (intField(node, "fullscreen_mode").value_or(0) != 0 ? fullscreen : into).push_back(std::move(*view));
  }
  for (const char* list : {"nodes", "floating_nodes"}) {
    if (const json* children = listField(node, list)) {
      for (const json& child : *children) collectBottomFirst(child, depth + 1, into, fullscreen);
    }
  }
}

}  // namespace

std::vector<SwayWindow> swayWindowsTopFirst(std::string_view getTreeReply) {
  const json tree = json::parse(getTreeReply, nullptr, false);
  std::vector<SwayWindow> topFirst;
  const json* outputs = tree.is_object() ? listField(tree, "nodes") : nullptr;
  if (outputs == nullptr) return topFirst;
  for (const json& output : *outputs) {
    if (!output.is_object() || textField(output, "name") == scratchpadOutput) continue;
    std::vector<SwayWindow> bottomFirst;
    std::vector<SwayWindow> fullscreen;
    collectBottomFirst(output, 1, bottomFirst, fullscreen);
    bottomFirst.insert(bottomFirst.end(), fullscreen.begin(), fullscreen.end());
    topFirst.insert(topFirst.end(), bottomFirst.rbegin(), bottomFirst.rend());
  }
  return topFirst;
}

std::vector<OutputPlacement> swayOutputs(std::string_view getOutputsReply) {
  const json outputs = json::parse(getOutputsReply, nullptr, false);
  std::vector<OutputPlacement> placements;
  if (!outputs.is_array()) return placements;
  for (const json& output : outputs) {
    if (!output.is_object() || !flag(output, "active")) continue;
    auto name = textField(output, "name");
    auto rect = rectField(output, "rect");
    if (name && rect && rect->width > 0 && rect->height > 0) placements.push_back({*name, *rect});
  }
  return placements;
}

}  // namespace morvel::linux_ax
