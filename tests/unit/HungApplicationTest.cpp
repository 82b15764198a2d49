// Every command with the front application hung (its replies slower than any
// time-out): each answers after about one time-out plus its own work, measured
// exactly on virtual time, and the answer is an empty one, never an error.

#include "accessibility/AXNames.h"
#include "app/Dispatcher.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

// The time-out of reads on the simulated desktop unless a command sets one, and
// the one "selector-at" sets before its hit test.
constexpr double platformTimeoutMs = 6000;
constexpr double selectorAtTimeoutMs = 2000;

const json hungDesktop = json::parse(R"({
  "frontmost": {"pid": 9, "bundleId": "com.example.frozen"},
  "systemWide": {"attrs": {"AXFocusedUIElement": {"ref": "name"}, "AXFocusedApplication": {"ref": "app"}}},
  "applications": [{"pid": 9, "id": "app", "responseDelayMs": 600000,
    "attrs": {"AXTitle": "Frozen", "AXFocusedWindow": {"ref": "window"}},
    "windows": [{"id": "window", "attrs": {"AXRole": "AXWindow", "AXTitle": "People", "AXFrame": {"rect": [0, 0, 800, 600]}},
      "children": [
        {"attrs": {"AXRole": "AXButton", "AXTitle": "Add", "AXFrame": {"rect": [10, 10, 60, 20]}}},
        {"id": "name", "attrs": {"AXRole": "AXTextField", "AXValue": "Ada", "AXFrame": {"rect": [100, 10, 200, 20]}}},
        {"attrs": {"AXRole": "AXTable", "AXFrame": {"rect": [0, 40, 800, 560]}},
         "children": [{"attrs": {"AXRole": "AXRow"}, "children": [{"attrs": {"AXRole": "AXCell", "AXValue": "Ada"}}]}]}]}]}],
  "screen": {"lines": [{"text": "Ada Lovelace    ada@example.org", "rect": [10, 50, 300, 12]},
                       {"text": "Grace Hopper    grace@example.org", "rect": [10, 70, 300, 12]}]}})");

TEST(HungApplication, EveryCommandWaitsAtMostOneTimeOutAndAnswersEmpty) {
  const json notFound = {{"ok", true}, {"found", false}};
  const json region = {{"x", 0}, {"y", 0}, {"w", 400}, {"h", 100}};
  auto with = [](json arguments, const char* cmd) {
    arguments["cmd"] = cmd;
    return arguments;
  };
  // The front window is looked up before "find" sets its own time-outs, so the
  // first attempt waits the platform's; it outlasts a short deadline, and a
  // longer one is polled to its end: the hung application costs nothing more.
  const json selector = {{"path", {{{"role", ax::AXButton}, {"title", "Add"}}}}, {"windowTitle", "People"}};
  struct Case {
    json request;
    json reply;  // null: checked below
    double tookMs;
  } cases[] = {
      {{{"cmd", "ping"}}, {{"ok", true}, {"pong", true}}, 0},
      {{{"cmd", "element-at"}, {"x", 20}, {"y", 20}}, notFound, platformTimeoutMs},
      // The system-wide element named it; none of its own attributes could be read.
      {{{"cmd", "focused"}}, {{"ok", true}, {"found", true}}, platformTimeoutMs},
      {with(region, "ocr-region"), nullptr, 0},  // needs no application
      {with(region, "fingerprint"), nullptr, platformTimeoutMs},
      {{{"cmd", "structure"}}, notFound, platformTimeoutMs},
      {{{"cmd", "fields"}}, notFound, platformTimeoutMs},
      {{{"cmd", "selector-at"}, {"x", 20}, {"y", 20}}, notFound, selectorAtTimeoutMs},
      {{{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 500}}, notFound, platformTimeoutMs},
      {{{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 9000}}, notFound, 9000},
  };
  for (const Case& c : cases) {
    SimDesktopFixture desktop(hungDesktop);
    const json reply = handle(c.request, desktop.platform());
    if (!c.reply.is_null()) {
      EXPECT_EQ(reply, c.reply) << c.request;
    }
    EXPECT_EQ(desktop.elapsedMs(), c.tookMs) << c.request;
    if (c.request["cmd"] == "ocr-region") {
      EXPECT_EQ(reply["ok"], true);
      EXPECT_EQ(reply["lines"].size(), 2u);
    } else if (c.request["cmd"] == "fingerprint") {
      EXPECT_EQ(reply["ok"], true);
      EXPECT_TRUE(reply.contains("axDigest") && reply.contains("ocrDigest")) << reply;
    }
  }
}

}  // namespace
}  // namespace morvel
