#include "fuzz/SceneLoadCheck.h"

#include "app/ReplyWriter.h"
#include "app/RequestLoop.h"
#include "fuzz/FuzzPlatform.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace morvel::fuzz {
namespace {

using nlohmann::json;

constexpr std::size_t mostPointsAsked = 3;
constexpr std::int64_t findTimeoutMs = 400;

// Up to `count` rectangles that the scene mentions anywhere ("rect": [x, y, w, h]),
// so that the requests point where something is. Walked without recursion: the
// document may be nested deeper than the stack would take.
std::vector<json> rectanglesIn(const json& document, std::size_t count) {
  std::vector<json> found;
  std::vector<const json*> pending = {&document};
  while (!pending.empty() && found.size() < count) {
    const json* value = pending.back();
    pending.pop_back();
    if (value->is_object()) {
      auto rect = value->find("rect");
      if (rect != value->end() && rect->is_array() && rect->size() == 4 &&
          std::all_of(rect->begin(), rect->end(), [](const json& n) { return n.is_number(); })) {
        found.push_back(*rect);
      }
    }
    if (value->is_structured()) {
      for (const json& child : *value) pending.push_back(&child);
    }
  }
  return found;
}

json centreOf(const json& rect) {
  return {{"x", rect[0].get<double>() + rect[2].get<double>() / 2}, {"y", rect[1].get<double>() + rect[3].get<double>() / 2}};
}

json request(std::string_view cmd, json arguments = json::object()) {
  arguments["cmd"] = cmd;
  return arguments;
}

// Every command once without a point, and the point commands at each place.
std::vector<json> requestsFor(const json& document) {
  const std::vector<json> rects = rectanglesIn(document, mostPointsAsked);
  std::vector<json> requests = {request("ping"), request("focused"), request("structure"), request("fields"),
                                request("fingerprint"),
                                request("find", {{"selector", json::object()}, {"timeoutMs", 0}})};
  std::vector<json> points = {{{"x", 0}, {"y", 0}}};
  for (const json& rect : rects) {
    points.push_back(centreOf(rect));
    json region = {{"x", rect[0]}, {"y", rect[1]}, {"w", rect[2]}, {"h", rect[3]}};
    requests.push_back(request("ocr-region", region));
    requests.push_back(request("fingerprint", region));
  }
  for (const json& point : points) {
    requests.push_back(request("element-at", point));
    requests.push_back(request("selector-at", point));
  }
  return requests;
}

std::optional<std::string> replyProblem(const json& asked, const std::string& line) {
  if (line.empty() || line.back() != '\n' || line.find('\n') != line.size() - 1) return "is not one line";
  if (line == serializeFailedLine) return std::nullopt;  // the scene holds a number JSON cannot carry
  const json reply = json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (!reply.is_object()) return "is not a JSON object";
  if (reply.value("id", json()) != asked["id"]) return "does not echo the id";
  if (reply.value("ok", json()) != true) return "is not \"ok\": true for a well-formed request";
  return std::nullopt;
}

// Sends requests as the loop would and checks their replies.
class Session {
 public:
  explicit Session(FuzzDesktop& desktop) : desktop_(desktop) {}

  // The reply to `asked`, after checking it.
  json ask(json asked) {
    asked["id"] = ++lastId_;
    Platform& platform = desktop_.platform();
    platform.ax.requestStarted();
    json reply = answerRequest(asked, platform, {});
    const std::string line = replyLine(reply);
    platform.ax.replyWritten();
    if (auto problem = replyProblem(asked, line)) problems_.push_back(asked.dump() + ": the reply " + *problem);
    return reply;
  }

  std::vector<std::string> takeProblems() { return std::move(problems_); }

 private:
  FuzzDesktop& desktop_;
  std::int64_t lastId_ = 0;
  std::vector<std::string> problems_;
};

}  // namespace

std::vector<std::string> checkSceneLoad(std::string_view bytes) {
  const json document = json::parse(bytes, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded()) return {};
  std::unique_ptr<FuzzDesktop> desktop;
  try {
    desktop = std::make_unique<FuzzDesktop>(document);
  } catch (const sim::SceneError&) {
    return {};  // refused with a message: what a scene that cannot be read gets
  } catch (const std::exception& error) {
    return {std::string("loading threw something else than a SceneError: ") + error.what()};
  }
  Session session(*desktop);
  for (const json& asked : requestsFor(document)) {
    json reply = session.ask(asked);
    // Resolve what selector-at described, as a client would.
    if (asked["cmd"] == "selector-at" && reply.value("found", false)) {
      json selector = {{"path", reply["path"]}};
      if (reply.contains("windowTitle")) selector["windowTitle"] = reply["windowTitle"];
      session.ask(request("find", {{"selector", selector}, {"timeoutMs", findTimeoutMs}}));
    }
  }
  return session.takeProblems();
}

}  // namespace morvel::fuzz
