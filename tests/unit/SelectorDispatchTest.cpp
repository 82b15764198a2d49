#include "app/Dispatcher.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

// A window with one "Go" button at (5, 6) that is added after `addedAtMs`.
json desktopWithLateButton(double addedAtMs) {
  json go = {{"id", "go"}, {"attrs", {{"AXRole", "AXButton"}, {"AXFrame", {{"rect", {5, 6, 7, 8}}}}}}};
  json window = {{"id", "window"},
                 {"attrs", {{"AXRole", "AXWindow"}, {"AXFrame", {{"rect", {0, 0, 100, 100}}}}}},
                 {"children", json::array()}};
  return {{"frontmost", {{"pid", 7}}},
          {"applications", {{{"pid", 7}, {"windows", {window}}}}},
          {"timeline", {{{"atMs", addedAtMs}, {"add", {{"parent", "window"}, {"element", go}}}}}}};
}

const json buttonSelector = {{"path", {{{"role", "AXButton"}}}}};

TEST(SelectorDispatch, SelectorAtNeedsNumericCoordinates) {
  SimDesktopFixture fixture(desktopWithLateButton(0));
  const json error = {{"ok", false}, {"error", "selector-at requires numeric x,y"}};
  EXPECT_EQ(handle({{"cmd", "selector-at"}, {"x", 10}}, fixture.platform()), error);
  EXPECT_EQ(handle({{"cmd", "selector-at"}, {"x", "10"}, {"y", 10}}, fixture.platform()), error);
  EXPECT_EQ(handle({{"cmd", "selector-at"}, {"x", 10}, {"y", nullptr}}, fixture.platform()), error);
  EXPECT_EQ(fixture.stats()["hitTests"], 0);

  json reply = handle({{"cmd", "selector-at"}, {"x", true}, {"y", false}, {"extra", 1}}, fixture.platform());
  EXPECT_EQ(reply["ok"], true);
  EXPECT_EQ(reply["path"][0]["role"], "AXWindow");  // the point (1, 0)
  EXPECT_EQ(handle({{"cmd", "selector-at"}, {"x", -5}, {"y", 1e300}}, fixture.platform()),
            (json{{"found", false}, {"ok", true}}));
}

TEST(SelectorDispatch, FindNeedsASelectorObject) {
  SimDesktopFixture fixture(desktopWithLateButton(0));
  const json error = {{"ok", false}, {"error", "find requires a selector object"}};
  EXPECT_EQ(handle({{"cmd", "find"}}, fixture.platform()), error);
  EXPECT_EQ(handle({{"cmd", "find"}, {"selector", json::array()}}, fixture.platform()), error);
  EXPECT_EQ(handle({{"cmd", "find"}, {"selector", "{\"path\":[]}"}}, fixture.platform()), error);
  EXPECT_EQ(handle({{"cmd", "find"}, {"selector", nullptr}, {"timeoutMs", 0}}, fixture.platform()), error);
  EXPECT_EQ(fixture.stats()["reads"], 0);

  // A selector that finds nothing is still a reply of the command.
  EXPECT_EQ(handle({{"cmd", "find"}, {"selector", json::object()}, {"timeoutMs", 0}}, fixture.platform()),
            (json{{"found", false}, {"ok", true}}));
}

// How long a "find" for a button that never appears waits, in virtual milliseconds.
double waitedMs(const json& timeoutMs) {
  SimDesktopFixture fixture(desktopWithLateButton(1e12));
  json request = {{"cmd", "find"}, {"selector", buttonSelector}};
  if (!timeoutMs.is_null()) request["timeoutMs"] = timeoutMs;
  EXPECT_EQ(handle(request, fixture.platform()), (json{{"found", false}, {"ok", true}}));
  return fixture.elapsedMs();
}

TEST(SelectorDispatch, FindTimeoutIsCutTowardZeroWithADefaultOf1500) {
  EXPECT_EQ(waitedMs(nullptr), 1500);
  EXPECT_EQ(waitedMs("200"), 1500);
  EXPECT_EQ(waitedMs(json::array({200})), 1500);
  EXPECT_EQ(waitedMs(std::nan("")), 1500);
  // Attempts fall every 150 ms: 300.9 is 300, so the attempt at 300 ms is the last.
  EXPECT_EQ(waitedMs(300.9), 300);
  EXPECT_EQ(waitedMs(300), 300);
  EXPECT_EQ(waitedMs(301), 450);
  EXPECT_EQ(waitedMs(99.99), 150);
  EXPECT_EQ(waitedMs(true), 150);
  EXPECT_EQ(waitedMs(false), 0);
  EXPECT_EQ(waitedMs(-3.5), 0);
  EXPECT_EQ(waitedMs(-0.9), 0);
  EXPECT_EQ(waitedMs(-1e300), 0);
  EXPECT_EQ(waitedMs(-std::numeric_limits<double>::infinity()), 0);
}

TEST(SelectorDispatch, FindTimeoutsBeyondTheIntegerRangeAreClampedNotFatal) {
  for (double huge : {1e19, 9.3e18, 1e300, std::numeric_limits<double>::infinity()}) {
    SimDesktopFixture fixture(desktopWithLateButton(400));
    json reply = handle({{"cmd", "find"}, {"selector", buttonSelector}, {"timeoutMs", huge}}, fixture.platform());
    EXPECT_EQ(reply["found"], true) << huge;
    EXPECT_EQ(fixture.elapsedMs(), 450) << huge;
  }
  // The largest JSON integers are whole milliseconds already.
  SimDesktopFixture fixture(desktopWithLateButton(400));
  json reply = handle({{"cmd", "find"}, {"selector", buttonSelector}, {"timeoutMs", std::numeric_limits<std::uint64_t>::max()}},
                      fixture.platform());
  EXPECT_EQ(reply["found"], true);
}

}  // namespace
}  // namespace morvel
