// Every command with the front application hung (its replies slower than any
// time-out): each answers after about one time-out plus its own work, measured
// exactly on virtual time, and the answer is an empty one, never an error.

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

struct Answer {
  json reply;
  double tookMs;
};

Answer ask(const json& request) {
  SimDesktopFixture desktop(hungDesktop);
  json reply = handle(request, desktop.platform());
  return {reply, desktop.elapsedMs()};
}

TEST(HungApplication, PingAnswersAtOnce) {
  const Answer answer = ask({{"cmd", "ping"}});
  EXPECT_EQ(answer.reply, (json{{"ok", true}, {"pong", true}}));
  EXPECT_EQ(answer.tookMs, 0);
}

TEST(HungApplication, ElementAtWaitsOneTimeOutForTheHitTest) {
  const Answer answer = ask({{"cmd", "element-at"}, {"x", 20}, {"y", 20}});
  EXPECT_EQ(answer.reply, (json{{"ok", true}, {"found", false}}));
  EXPECT_EQ(answer.tookMs, platformTimeoutMs);
}

TEST(HungApplication, FocusedWaitsOneTimeOutThenReadsNothingMore) {
  const Answer answer = ask({{"cmd", "focused"}});
  EXPECT_EQ(answer.reply["ok"], true);
  // The system-wide element named it; none of its own attributes could be read.
  EXPECT_EQ(answer.reply, (json{{"ok", true}, {"found", true}}));
  EXPECT_EQ(answer.tookMs, platformTimeoutMs);
}

TEST(HungApplication, OcrRegionNeedsNoApplication) {
  const Answer answer = ask({{"cmd", "ocr-region"}, {"x", 0}, {"y", 0}, {"w", 400}, {"h", 100}});
  EXPECT_EQ(answer.reply["ok"], true);
  EXPECT_EQ(answer.reply["lines"].size(), 2u);
  EXPECT_EQ(answer.tookMs, 0);
}

TEST(HungApplication, FingerprintWaitsOneTimeOutAndStillDigestsTheScreen) {
  const Answer answer = ask({{"cmd", "fingerprint"}, {"x", 0}, {"y", 0}, {"w", 400}, {"h", 100}});
  EXPECT_EQ(answer.reply["ok"], true);
  EXPECT_TRUE(answer.reply.contains("axDigest"));
  EXPECT_TRUE(answer.reply.contains("ocrDigest"));
  EXPECT_EQ(answer.tookMs, platformTimeoutMs);
}

TEST(HungApplication, StructureWaitsOneTimeOutAndFindsNoWindow) {
  const Answer answer = ask({{"cmd", "structure"}});
  EXPECT_EQ(answer.reply, (json{{"ok", true}, {"found", false}}));
  EXPECT_EQ(answer.tookMs, platformTimeoutMs);
}

TEST(HungApplication, FieldsWaitsOneTimeOutAndFindsNoWindow) {
  const Answer answer = ask({{"cmd", "fields"}});
  EXPECT_EQ(answer.reply, (json{{"ok", true}, {"found", false}}));
  EXPECT_EQ(answer.tookMs, platformTimeoutMs);
}

TEST(HungApplication, SelectorAtWaitsItsOwnShorterTimeOut) {
  const Answer answer = ask({{"cmd", "selector-at"}, {"x", 20}, {"y", 20}});
  EXPECT_EQ(answer.reply, (json{{"ok", true}, {"found", false}}));
  EXPECT_EQ(answer.tookMs, selectorAtTimeoutMs);
}

TEST(HungApplication, FindWaitsOneTimeOutThenPollsOnlyUntilItsDeadline) {
  const json selector = {{"path", {{{"role", "AXButton"}, {"title", "Add"}}}}, {"windowTitle", "People"}};
  // The front window is looked up before resolution sets its own time-outs, so the
  // first attempt waits the platform's; it outlasts a short deadline.
  const Answer brief = ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 500}});
  EXPECT_EQ(brief.reply, (json{{"ok", true}, {"found", false}}));
  EXPECT_EQ(brief.tookMs, platformTimeoutMs);
  // A longer deadline is polled to its end; the hung application costs nothing more.
  const Answer patient = ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 9000}});
  EXPECT_EQ(patient.reply, (json{{"ok", true}, {"found", false}}));
  EXPECT_EQ(patient.tookMs, 9000);
}

}  // namespace
}  // namespace morvel
