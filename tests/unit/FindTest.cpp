#include "accessibility/AXNames.h"
#include "accessibility/ForwardingAccessibility.h"
#include "app/Dispatcher.h"
#include "commands/SelectorCommands.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>

namespace morvel {
namespace {

using namespace testing;  // the scene builders

// The form window with only a "Go" button whose enabled state is given (none:
// not in the tree at first), and the timeline steps given.
json goDesktop(json enabled, json timeline = json::array()) {
  json go = withId(element(ax::AXButton, {{ax::AXTitle, "Go"}, {ax::AXFrame, rectValue(5, 6, 7, 8)}}), "go");
  if (!enabled.is_null()) go["attrs"][ax::AXEnabled] = enabled;
  for (json& step : timeline) {
    if (step.contains("add")) step["add"] = {{"parent", "window"}, {"element", go}};
  }
  json scene = windowScene(enabled.is_null() ? json::array() : json::array({go}));
  scene["timeline"] = timeline;
  return scene;
}

const json goSelector = {{"path", {{{"role", ax::AXButton}, {"title", "Go"}}}}, {"windowTitle", "Form"}};

json goMatch(bool enabled) {
  return {{"found", true}, {"score", 61}, {"frame", {{"x", 5}, {"y", 6}, {"w", 7}, {"h", 8}}}, {"enabled", enabled},
          {"role", ax::AXButton}};
}

// Passes every call through and counts the "desktop may have changed" hooks, which
// a backend relies on to stop serving what it read before a pause.
class PauseCounter final : public ax::ForwardingAccessibility {
 public:
  using ForwardingAccessibility::ForwardingAccessibility;
  int pauses = 0;

  void desktopMayHaveChanged() override {
    ++pauses;
    ForwardingAccessibility::desktopMayHaveChanged();
  }
};

json at(double ms, json step) {
  step["atMs"] = ms;
  return json::array({step});
}

TEST(Find, TriesEvery150MsUntilAnEnabledMatchOrTheDeadline) {
  const json notFound = {{"found", false}};
  const json enable = {{"set", {{"go", {{ax::AXEnabled, true}}}}}};
  const json add = {{"add", true}};
  const std::int64_t never = std::numeric_limits<std::int64_t>::min();
  struct Case {
    json scene;
    std::int64_t timeoutMs;
    json reply;
    double tookMs;
    int sleeps;
  } cases[] = {
      {goDesktop(true), 1500, goMatch(true), 0, 0},
      // Attempts at 0, 150 and 300 ms see it disabled or missing; the one at 450 ms returns.
      {goDesktop(false, at(400, enable)), 1500, goMatch(true), 450, 3},
      {goDesktop(nullptr, at(400, add)), 1500, goMatch(true), 450, 3},
      // Disabled to the end: the disabled match rather than nothing; the attempt at
      // 1500 ms is not before the deadline.
      {goDesktop(false), 1500, goMatch(false), 1500, 10},
      {goDesktop(false, at(1000, {{"remove", "go"}})), 1500, notFound, 1500, 10},
      // An attempt may start up to 150 ms after the deadline.
      {goDesktop(nullptr), 301, notFound, 450, 3},
      // A deadline of zero or less: exactly one attempt.
      {goDesktop(false, at(100, enable)), 0, goMatch(false), 0, 0},
      {goDesktop(nullptr, at(100, add)), -3, notFound, 0, 0},
      {goDesktop(false, at(100, enable)), never, goMatch(false), 0, 0},
      {goDesktop(nullptr, at(100, add)), never, notFound, 0, 0},
  };
  for (const Case& c : cases) {
    SimDesktopFixture fixture(c.scene);
    PauseCounter counter(fixture.ax());
    Platform platform{counter, fixture.platform().screen, fixture.platform().clock};
    EXPECT_EQ(cmdFind(platform, goSelector, c.timeoutMs), c.reply) << c.scene["timeline"] << c.timeoutMs;
    EXPECT_EQ(fixture.elapsedMs(), c.tookMs) << c.scene["timeline"] << c.timeoutMs;
    EXPECT_EQ(fixture.stats()["sleeps"], c.sleeps) << c.scene["timeline"] << c.timeoutMs;
    EXPECT_EQ(counter.pauses, c.sleeps) << c.scene["timeline"] << c.timeoutMs;
  }

  // A deadline beyond the clock's range waits like any long one, a year into the run too.
  constexpr auto aYear = std::chrono::hours(24 * 365);
  const double aYearMs = std::chrono::duration<double, std::milli>(aYear).count();
  SimDesktopFixture late(goDesktop(nullptr, at(aYearMs + 400, add)));
  late.clock().advance(aYear);
  EXPECT_EQ(cmdFind(late.platform(), goSelector, std::numeric_limits<std::int64_t>::max())["found"], true);
  EXPECT_EQ(late.elapsedMs(), aYearMs + 450);
}

// "timeoutMs" of the request, cut toward zero to whole milliseconds.
TEST(Find, RequestTimeoutIsCutTowardZeroWithADefaultOf1500AndClampedToTheIntegerRange) {
  // How long a "find" for a button that comes at `addedAtMs` waits, in virtual milliseconds.
  auto waitedMs = [](const json& timeoutMs, double addedAtMs = 1e12) {
    SimDesktopFixture fixture(goDesktop(nullptr, at(addedAtMs, {{"add", true}})));
    json request = {{"cmd", "find"}, {"selector", goSelector}};
    if (!timeoutMs.is_null()) request["timeoutMs"] = timeoutMs;
    const json reply = handle(request, fixture.platform());
    EXPECT_EQ(reply["found"], addedAtMs < 1e12) << timeoutMs;
    EXPECT_EQ(reply["ok"], true);
    return fixture.elapsedMs();
  };
  for (const json& notANumber : {json(nullptr), json("200"), json::array({200}), json(std::nan(""))}) {
    EXPECT_EQ(waitedMs(notANumber), 1500) << notANumber;
  }
  // Attempts fall every 150 ms: 300.9 is 300, so the attempt at 300 ms is the last.
  for (const auto& [timeoutMs, waited] : {std::pair{json(300.9), 300}, {json(300), 300}, {json(301), 450}, {json(99.99), 150},
                                          {json(true), 150}, {json(false), 0}, {json(-3.5), 0}, {json(-0.9), 0},
                                          {json(-1e300), 0}, {json(-std::numeric_limits<double>::infinity()), 0}}) {
    EXPECT_EQ(waitedMs(timeoutMs), waited) << timeoutMs;
  }
  // Beyond the integer range: clamped, not fatal; the largest JSON integers are whole already.
  for (const json& huge : {json(1e19), json(9.3e18), json(1e300), json(std::numeric_limits<double>::infinity()),
                           json(std::numeric_limits<std::uint64_t>::max())}) {
    EXPECT_EQ(waitedMs(huge, 400), 450) << huge;
  }
}

// What the client sees: the reply as it would come back over the wire.
json overTheWire(const json& reply) { return json::parse(reply.dump()); }

// A selector taken from a point and sent back whole finds the same button; once its
// title has changed (to "Save Contact" at 60 s) every button of the window scores
// 1, and the save button's index (0 in its group) breaks the tie as a position in
// the whole window: the first button.
TEST(Find, FindsAButtonAgainFromTheWholeSelectorAtReplyAndByItsPlaceAfterATitleChange) {
  SimDesktopFixture fixture(exampleScene());
  json selector = overTheWire(handle({{"cmd", "selector-at"}, {"id", 3}, {"x", 785}, {"y", 385}}, fixture.platform()));
  ASSERT_EQ(selector["path"][0]["title"], "Save");
  selector["id"] = 3;  // the loop's key comes back too
  json found = handle({{"cmd", "find"}, {"selector", selector}}, fixture.platform());
  EXPECT_EQ(found["score"], 61);
  EXPECT_EQ(found["frame"]["x"], 780);

  // Renamed, the button only ties with the others: it still stands where the
  // path says, and a single-entry path falls back to the position.
  fixture.clock().advance(std::chrono::seconds(60));
  found = handle({{"cmd", "find"}, {"selector", selector}}, fixture.platform());
  EXPECT_EQ(found["score"], 1);
  EXPECT_EQ(found["frame"]["x"], 780);
  selector["path"] = json::array({selector["path"][0]});
  found = handle({{"cmd", "find"}, {"selector", selector}}, fixture.platform());
  EXPECT_EQ(found["frame"], json({{"x", 120}, {"y", 88}, {"w", 110}, {"h", 24}}));
}

}  // namespace
}  // namespace morvel
