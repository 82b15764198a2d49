#include "app/Dispatcher.h"
#include "commands/SelectorCommands.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

constexpr std::int64_t defaultTimeoutMs = 1500;

// A window with a "Go" button whose enabled state is given (none: not in the tree
// at first), and the timeline steps given.
json goDesktop(json enabled, json timeline = json::array()) {
  json go = {{"id", "go"},
             {"attrs", {{"AXRole", "AXButton"}, {"AXTitle", "Go"}, {"AXFrame", {{"rect", {5, 6, 7, 8}}}}}}};
  if (!enabled.is_null()) go["attrs"]["AXEnabled"] = enabled;
  json children = json::array();
  if (!enabled.is_null()) children.push_back(go);
  json window = {{"id", "window"}, {"attrs", {{"AXRole", "AXWindow"}, {"AXTitle", "Main"}}}, {"children", children}};
  for (json& step : timeline) {
    if (step.contains("add")) step["add"]["element"] = go;
  }
  return {{"frontmost", {{"pid", 7}}},
          {"applications", {{{"pid", 7}, {"windows", {window}}}}},
          {"timeline", std::move(timeline)}};
}

const json goSelector = {{"path", {{{"role", "AXButton"}, {"title", "Go"}}}}, {"windowTitle", "Main"}};

TEST(Find, ReturnsAnEnabledMatchAtOnce) {
  SimDesktopFixture fixture(goDesktop(true));
  json reply = cmdFind(fixture.platform(), goSelector, defaultTimeoutMs);
  EXPECT_EQ(reply, (json{{"found", true},
                         {"score", 61},
                         {"frame", {{"x", 5}, {"y", 6}, {"w", 7}, {"h", 8}}},
                         {"enabled", true},
                         {"role", "AXButton"}}));
  EXPECT_EQ(fixture.elapsedMs(), 0);
  EXPECT_EQ(fixture.stats()["sleeps"], 0);
}

TEST(Find, WaitsForAButtonEnabledAfter400Ms) {
  SimDesktopFixture fixture(goDesktop(false, {{{"atMs", 400}, {"set", {{"go", {{"AXEnabled", true}}}}}}}));
  json reply = cmdFind(fixture.platform(), goSelector, defaultTimeoutMs);
  EXPECT_EQ(reply["enabled"], true);
  // Attempts at 0, 150 and 300 ms see it disabled; the one at 450 ms returns.
  EXPECT_EQ(fixture.elapsedMs(), 450);
  EXPECT_EQ(fixture.stats()["sleeps"], 3);
}

TEST(Find, ReturnsAnElementCreated400MsLaterOnTheFirstAttemptAfter) {
  SimDesktopFixture fixture(goDesktop(nullptr, {{{"atMs", 400}, {"add", {{"parent", "window"}}}}}));
  json reply = cmdFind(fixture.platform(), goSelector, defaultTimeoutMs);
  EXPECT_EQ(reply["found"], true);
  EXPECT_EQ(fixture.elapsedMs(), 450);
}

TEST(Find, PrefersAButtonThatStaysDisabledToNothingAtTheDeadline) {
  SimDesktopFixture fixture(goDesktop(false));
  json reply = cmdFind(fixture.platform(), goSelector, defaultTimeoutMs);
  EXPECT_EQ(reply["found"], true);
  EXPECT_EQ(reply["enabled"], false);
  EXPECT_EQ(reply["score"], 61);
  // Attempts every 150 ms; the one at 1500 ms is not before the deadline.
  EXPECT_EQ(fixture.elapsedMs(), 1500);
  EXPECT_EQ(fixture.stats()["sleeps"], 10);
}

TEST(Find, ReportsNothingWhenTheDisabledMatchIsGoneAtTheLastAttempt) {
  SimDesktopFixture fixture(goDesktop(false, {{{"atMs", 1000}, {"remove", "go"}}}));
  EXPECT_EQ(cmdFind(fixture.platform(), goSelector, defaultTimeoutMs), (json{{"found", false}}));
  EXPECT_EQ(fixture.elapsedMs(), 1500);
}

TEST(Find, ZeroOrNegativeTimeoutMakesExactlyOneAttempt) {
  for (std::int64_t timeoutMs : {std::int64_t{0}, std::int64_t{-3}, std::numeric_limits<std::int64_t>::min()}) {
    SimDesktopFixture disabled(goDesktop(false, {{{"atMs", 100}, {"set", {{"go", {{"AXEnabled", true}}}}}}}));
    json reply = cmdFind(disabled.platform(), goSelector, timeoutMs);
    EXPECT_EQ(reply["enabled"], false) << timeoutMs;
    EXPECT_EQ(disabled.stats()["sleeps"], 0) << timeoutMs;

    SimDesktopFixture missing(goDesktop(nullptr, {{{"atMs", 100}, {"add", {{"parent", "window"}}}}}));
    EXPECT_EQ(cmdFind(missing.platform(), goSelector, timeoutMs), (json{{"found", false}})) << timeoutMs;
    EXPECT_EQ(missing.elapsedMs(), 0) << timeoutMs;
  }
}

TEST(Find, AnAttemptMayStartUpTo150MsAfterTheDeadline) {
  SimDesktopFixture fixture(goDesktop(nullptr));
  EXPECT_EQ(cmdFind(fixture.platform(), goSelector, 301), (json{{"found", false}}));
  EXPECT_EQ(fixture.elapsedMs(), 450);

  // A deadline beyond the clock's range waits like any long one, a year into the run too.
  constexpr auto aYear = std::chrono::hours(24 * 365);
  const double aYearMs = std::chrono::duration<double, std::milli>(aYear).count();
  SimDesktopFixture late(goDesktop(nullptr, {{{"atMs", aYearMs + 400}, {"add", {{"parent", "window"}}}}}));
  late.clock().advance(aYear);
  EXPECT_EQ(cmdFind(late.platform(), goSelector, std::numeric_limits<std::int64_t>::max())["found"], true);
  EXPECT_EQ(late.elapsedMs(), aYearMs + 450);
}

json contactsScene() {
  std::ifstream file(std::string(MORVEL_EXAMPLES_DIR) + "/contacts.json");
  return json::parse(file);
}

// What the client sees: the reply as it would come back over the wire.
json overTheWire(const json& reply) { return json::parse(reply.dump()); }

TEST(Find, FindsAButtonAgainFromTheWholeSelectorAtReply) {
  json scene = contactsScene();
  scene["timeline"].push_back({{"atMs", 500}, {"set", {{"add-button", {{"AXTitle", "New Contact"}}}}}});
  SimDesktopFixture fixture(scene);

  json selector = overTheWire(handle({{"cmd", "selector-at"}, {"id", 3}, {"x", 125}, {"y", 95}}, fixture.platform()));
  ASSERT_EQ(selector["path"][0]["title"], "Add Contact");
  EXPECT_EQ(selector["windowTitle"], "Contacts");
  EXPECT_EQ(selector["appBundleId"], "com.example.contacts");
  selector["id"] = 3;  // the loop's key comes back too

  const json buttonFrame = {{"x", 120}, {"y", 88}, {"w", 110}, {"h", 24}};
  json found = handle({{"cmd", "find"}, {"selector", selector}}, fixture.platform());
  EXPECT_EQ(found["frame"], buttonFrame);
  EXPECT_EQ(found["score"], 61);
  EXPECT_EQ(found["ok"], true);

  // The label changes; the selector still finds the button, with the role alone.
  fixture.clock().advance(std::chrono::milliseconds(500));
  found = handle({{"cmd", "find"}, {"selector", selector}}, fixture.platform());
  EXPECT_EQ(found["frame"], buttonFrame);
  EXPECT_EQ(found["score"], 1);
}

TEST(Find, ARoleOnlyTieAfterATitleChangeGoesByPositionInTheWindow) {
  SimDesktopFixture fixture(contactsScene());
  json selector = overTheWire(handle({{"cmd", "selector-at"}, {"x", 785}, {"y", 385}}, fixture.platform()));
  ASSERT_EQ(selector["path"][0]["title"], "Save");
  EXPECT_EQ(selector["path"].size(), 3u);
  EXPECT_EQ(handle({{"cmd", "find"}, {"selector", selector}}, fixture.platform())["frame"]["x"], 780);

  // "Save" becomes "Save Contact" at 60 s. Every button of the window then scores 1,
  // and the save button's index (0 in its group) points at the first button of the
  // window: the sibling index only breaks ties as a position in the whole window.
  fixture.clock().advance(std::chrono::seconds(60));
  json found = handle({{"cmd", "find"}, {"selector", selector}}, fixture.platform());
  EXPECT_EQ(found["score"], 1);
  EXPECT_EQ(found["frame"]["x"], 120);
}

}  // namespace
}  // namespace morvel
