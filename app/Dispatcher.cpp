#include "app/Dispatcher.h"

#include "commands/ElementCommands.h"
#include "commands/FieldsCommand.h"
#include "commands/FingerprintCommand.h"
#include "commands/OcrRegionCommand.h"
#include "commands/SelectorCommands.h"
#include "commands/StructureCommand.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace morvel {
namespace {

using Runner = Json (*)(const Json& request, Platform& platform);

// Replies are built key by key: cheaper than initializer lists on the hot path.
Json errorReply(std::string message) {
  Json reply;
  reply["ok"] = false;
  reply["error"] = std::move(message);
  return reply;
}

Json okReply(Json reply) {
  reply["ok"] = true;
  return reply;
}

// "x" then "y"; none at the first that is not numeric.
std::optional<ax::Point> pointArguments(const Json& request) {
  auto x = number(request, "x");
  if (!x) return std::nullopt;
  auto y = number(request, "y");
  if (!y) return std::nullopt;
  return ax::Point{*x, *y};
}

Json runPing(const Json&, Platform&) {
  Json reply;
  reply["ok"] = true;
  reply["pong"] = true;
  return reply;
}

// "x", "y", "w", "h" read in that order; none at the first that is not numeric.
std::optional<ax::Rect> rectArguments(const Json& request) {
  auto x = number(request, "x");
  if (!x) return std::nullopt;
  auto y = number(request, "y");
  if (!y) return std::nullopt;
  auto w = number(request, "w");
  if (!w) return std::nullopt;
  auto h = number(request, "h");
  if (!h) return std::nullopt;
  return ax::Rect{*x, *y, *w, *h};
}

Json runElementAt(const Json& request, Platform& platform) {
  auto point = pointArguments(request);
  if (!point) return errorReply("element-at requires numeric x,y");
  return okReply(cmdElementAt(platform, point->x, point->y));
}

Json runFocused(const Json&, Platform& platform) { return okReply(cmdFocused(platform)); }

Json runFields(const Json&, Platform& platform) { return okReply(cmdFields(platform)); }

Json runStructure(const Json&, Platform& platform) { return okReply(cmdStructure(platform)); }

Json runOcrRegion(const Json& request, Platform& platform) {
  auto rect = rectArguments(request);
  if (!rect) return errorReply("ocr-region requires numeric x,y,w,h");
  return okReply(cmdOcrRegion(platform, rect->x, rect->y, rect->width, rect->height));
}

// A partial rectangle is no error: the fingerprint is then taken without one.
Json runFingerprint(const Json& request, Platform& platform) {
  return okReply(cmdFingerprint(platform, rectArguments(request)));
}

Json runSelectorAt(const Json& request, Platform& platform) {
  auto point = pointArguments(request);
  if (!point) return errorReply("selector-at requires numeric x,y");
  return okReply(cmdSelectorAt(platform, point->x, point->y));
}

// "timeoutMs" cut toward zero to whole milliseconds. Values beyond the 64-bit range
// (infinities included) are clamped into it; a NaN is no number and gets the default.
std::int64_t findTimeoutMs(const Json& request) {
  constexpr std::int64_t defaultTimeoutMs = 1500;
  constexpr double int64Limit = 9223372036854775808.0;  // 2^63, exact as a double
  auto timeout = number(request, "timeoutMs");
  if (!timeout || std::isnan(*timeout)) return defaultTimeoutMs;
  const double whole = std::trunc(*timeout);
  if (whole >= int64Limit) return std::numeric_limits<std::int64_t>::max();
  if (whole < -int64Limit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(whole);
}

Json runFind(const Json& request, Platform& platform) {
  auto selector = request.find("selector");
  if (selector == request.end() || !selector->is_object()) return errorReply("find requires a selector object");
  return okReply(cmdFind(platform, *selector, findTimeoutMs(request)));
}

const std::map<std::string, Runner, std::less<>>& commandTable() {
  static const std::map<std::string, Runner, std::less<>> table = {
      {"ping", runPing},
      {"element-at", runElementAt},
      {"focused", runFocused},
      {"fields", runFields},
      {"ocr-region", runOcrRegion},
      {"fingerprint", runFingerprint},
      {"structure", runStructure},
      {"selector-at", runSelectorAt},
      {"find", runFind},
  };
  return table;
}

}  // namespace

std::optional<double> number(const Json& request, std::string_view key) {
  auto found = request.find(key);
  if (found == request.end()) return std::nullopt;
  if (found->is_boolean()) return found->get<bool>() ? 1.0 : 0.0;
  if (found->is_number()) return found->get<double>();
  return std::nullopt;
}

Json handle(const Json& request, Platform& platform, const ExtraCommands& extras) {
  auto cmd = request.find("cmd");
  if (cmd == request.end() || !cmd->is_string()) return errorReply("missing cmd");
  const auto& name = cmd->get_ref<const std::string&>();

  const auto& table = commandTable();
  if (auto row = table.find(name); row != table.end()) return row->second(request, platform);
  if (auto extra = extras.find(name); extra != extras.end()) return extra->second();
  return errorReply("unknown cmd: " + name);
}

}  // namespace morvel
