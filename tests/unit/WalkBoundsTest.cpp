// Every walk through a window stops at its depth and its budget of examined
// elements, and the commands that set a time-out give up on a slow application
// after it: one table over the walks.

#include "accessibility/AXNames.h"
#include "commands/AddAffordance.h"
#include "commands/FieldLabels.h"
#include "commands/FieldsCommand.h"
#include "commands/SelectorResolution.h"
#include "commands/StructureCommand.h"
#include "commands/WalkBounds.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <variant>

namespace morvel {
namespace {

using namespace testing;  // the scene builders

bool resolves(SimDesktopFixture& fixture, json windowTitle) {
  json selector = {{"path", {{{"role", ax::AXButton}, {"title", "Target"}}}}};
  if (!windowTitle.is_null()) selector["windowTitle"] = std::move(windowTitle);
  return std::holds_alternative<SelectorMatch>(resolveSelectorOnce(fixture.ax(), selector));
}

struct Walk {
  const char* name;
  WalkBounds bounds;
  json target;                                        // what the walk looks for
  std::function<bool(SimDesktopFixture&)> findsTarget;
  bool givesUpAfterTheMessagingTimeout = false;
};

TEST(WalkBounds, EveryWalkReachesItsDeepestLevelAndLastElementOnly) {
  const json frame = rectValue(0, 0, 40, 20);
  const json targetButton = element(ax::AXButton, {{ax::AXTitle, "Target"}, {ax::AXFrame, frame}});
  const Walk walks[] = {
      {"add control", addControlWalk, element(ax::AXButton, {{ax::AXTitle, "Add"}}),
       [](SimDesktopFixture& f) { return findAddAffordance(f.ax(), f.element("window")).has_value(); }},
      {"structure's containers", containerWalk, element(ax::AXList),
       [](SimDesktopFixture& f) { return cmdStructure(f.platform()).value("containerRole", "") == ax::AXList; }},
      {"fields", windowWalk, element(ax::AXTextField, {{ax::AXFrame, frame}}),
       [](SimDesktopFixture& f) { return cmdFields(f.platform()).value("fieldCount", 0) == 1; }, true},
      {"label candidates", labelCandidateWalk, staticText("Target", frame),
       [](SimDesktopFixture& f) { return !labelCandidates(f.ax(), f.element("window")).empty(); }},
      {"find's candidates", windowWalk, targetButton, [](SimDesktopFixture& f) { return resolves(f, nullptr); }, true},
      {"find's candidates in a named window", windowWalk, targetButton,
       [](SimDesktopFixture& f) { return resolves(f, "Form"); }, true},
  };
  for (const Walk& walk : walks) {
    auto found = [&](json windowChildren, double responseDelayMs = 0) {
      json scene = windowScene(std::move(windowChildren));
      scene["applications"][0]["responseDelayMs"] = responseDelayMs;
      SimDesktopFixture fixture(scene);
      const bool foundTarget = walk.findsTarget(fixture);
      return std::pair(foundTarget, fixture.elapsedMs());
    };
    // The window is at depth 0.
    EXPECT_TRUE(found({nestedBelow(walk.bounds.maxDepth - 1, walk.target)}).first) << walk.name;
    EXPECT_FALSE(found({nestedBelow(walk.bounds.maxDepth, walk.target)}).first) << walk.name;
    // Examined in pre-order: the window, the group, the filler, then the target.
    EXPECT_TRUE(found({fillerGroup(walk.bounds.budget - 3), walk.target}).first) << walk.name;
    EXPECT_FALSE(found({fillerGroup(walk.bounds.budget - 2), walk.target}).first) << walk.name;

    if (!walk.givesUpAfterTheMessagingTimeout) continue;
    // Finding the front window takes two reads under the default time-out; the
    // first read through the window gives up after two seconds, and the
    // application counts as hung for the request.
    EXPECT_TRUE(found({walk.target}, 1500).first) << walk.name;
    const auto [foundWhenSlow, tookMs] = found({walk.target}, 2500);
    EXPECT_FALSE(foundWhenSlow) << walk.name;
    EXPECT_EQ(tookMs, 2500 + 2500 + messagingTimeoutSeconds * 1000) << walk.name;
  }
}

}  // namespace
}  // namespace morvel
