// The dispatcher's command table, argument rules and error replies.

#include "app/Dispatcher.h"
#include "app/ReplyWriter.h"
#include "app/RequestLoop.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

class DispatcherTest : public ::testing::Test {
 protected:
  json handled(const char* request) { return handle(json::parse(request), sim_.platform()); }
  SimDesktopFixture sim_{json::parse(R"({"frontmost": {"pid": 1}, "applications": [{"pid": 1, "windows": [
      {"attrs": {"AXRole": "AXWindow", "AXTitle": "W", "AXFrame": {"rect": [0, 0, 10, 10]}}}]}]})")};
};

TEST_F(DispatcherTest, OtherKeysOfARequestPlayNoPart) {
  EXPECT_EQ(handled(R"({"cmd": "ping", "x": 1})"), json::parse(R"({"ok": true, "pong": true})"));
  // A request's own "ok" never reaches the reply.
  EXPECT_EQ(handled(R"({"cmd": "focused", "ok": false})"), json::parse(R"({"ok": true, "found": false})"));
}

TEST_F(DispatcherTest, UnknownCommandsAndArgumentsOfTheWrongKindAreRefusedBeforeAnyPlatformCall) {
  // (More error replies: the documented examples of docs/protocol.md.)
  const std::pair<const char*, const char*> cases[] = {
      {"{}", "missing cmd"},
      {R"({"cmd": 5})", "missing cmd"},
      {R"({"cmd": " ping"})", "unknown cmd:  ping"},
      {R"({"cmd": ""})", "unknown cmd: "},
      // The simulator's own command is unknown to the plain helper.
      {R"({"cmd": "sim-stats"})", "unknown cmd: sim-stats"},
      {R"({"cmd": "element-at", "x": 10})", "element-at requires numeric x,y"},
      {R"({"cmd": "element-at", "x": [1], "y": 1})", "element-at requires numeric x,y"},
      {R"({"cmd": "selector-at", "x": "10", "y": 10})", "selector-at requires numeric x,y"},
      {R"({"cmd": "ocr-region", "x": 500, "y": 300, "w": "100", "h": 60})", "ocr-region requires numeric x,y,w,h"},
      {R"({"cmd": "ocr-region", "x": null, "y": 300, "w": 100, "h": 60})", "ocr-region requires numeric x,y,w,h"},
      {R"({"cmd": "ocr-region", "x": 500, "y": {}, "w": 100, "h": 60})", "ocr-region requires numeric x,y,w,h"},
      {R"({"cmd": "find"})", "find requires a selector object"},
      {R"({"cmd": "find", "selector": "{\"path\":[]}"})", "find requires a selector object"},
      {R"({"cmd": "find", "selector": null, "timeoutMs": 0})", "find requires a selector object"},
  };
  sim_.stats();
  for (const auto& [request, error] : cases) {
    EXPECT_EQ(handled(request), (json{{"ok", false}, {"error", error}})) << request;
  }
  EXPECT_EQ(sim_.stats(), json::parse(R"({"reads": 0, "hitTests": 0, "captures": 0, "recognitions": 0, "sleeps": 0})"));

  // true and false are the numbers 1 and 0: the point (1, 0), inside the window.
  EXPECT_EQ(handled(R"({"cmd": "element-at", "x": true, "y": false})")["found"], true);
  EXPECT_EQ(number(json::parse(R"({"v": 2.5})"), "v"), 2.5);
  EXPECT_EQ(number(json::parse(R"({"v": -3})"), "v"), -3.0);
}


TEST(RequestLoop, TakesTheLastOfDuplicateKeysAndSetsTheRequestIdLast) {
  EXPECT_EQ(parseRequestLine(R"({"cmd": "a", "cmd": "ping"})").request["cmd"], "ping");
  SimDesktopFixture sim(json::object());
  ExtraCommands setsId = {{"with-id", [] { return json{{"ok", true}, {"id", "handler"}}; }}};
  EXPECT_EQ(answerRequest(json::parse(R"({"cmd": "with-id"})"), sim.platform(), setsId)["id"], 0);
}

TEST(ReplyWriter, WritesCompactLinesOrTheFixedFailure) {
  EXPECT_EQ(replyLine(json::parse(R"({"a": [1, "x\ny"], "b": {"c": null}})")), "{\"a\":[1,\"x\\ny\"],\"b\":{\"c\":null}}\n");
  EXPECT_EQ(replyLine(json{{"frame", {{"x", std::nan("")}}}}), serializeFailedLine);
  EXPECT_EQ(replyLine(json{{"list", {1.0, -INFINITY}}}), serializeFailedLine);
  EXPECT_EQ(replyLine(json{{"text", "\xFF"}}), serializeFailedLine);  // not UTF-8: not JSON text
}

}  // namespace
}  // namespace morvel
