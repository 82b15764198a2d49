#include "platform/linux/atspi/ToolkitTraits.h"

#include <gtest/gtest.h>

namespace morvel::linux_ax {
namespace {

// A hit test trusted where the toolkit stops at containers would answer a
// notebook for every control on its page; one not trusted in a browser costs a
// read of every child's extents per level.
TEST(ToolkitTraits, OnlyTheBrowsersHitTestsGoDeepAndOnlyGtk4LeavesShowingUnmarked) {
  struct Case {
    const char* name;
    const char* version;
    bool marksShowing;
    bool hitTestGoesDeep;
  };
  const Case cases[] = {
      {"GTK", "3.24.38", true, false},  {"GTK", "4.8.3", false, false}, {"Qt", "5.15.8", true, false},
      {"Chromium", "120.0", true, true}, {"Gecko", "115.5.0", true, true}, {"", "", true, false},
      {"GTK", "", true, false},
  };
  for (const Case& c : cases) {
    const ToolkitTraits traits = traitsOfToolkit(c.name, c.version);
    EXPECT_EQ(traits.marksShowing, c.marksShowing) << c.name << ' ' << c.version;
    EXPECT_EQ(traits.hitTestGoesDeep, c.hitTestGoesDeep) << c.name << ' ' << c.version;
  }
}

}  // namespace
}  // namespace morvel::linux_ax
