// The helper on an application nobody here wrote: GTK's own widget factory.

#include "support/Desktop.h"

#include <gtest/gtest.h>

#include <set>

namespace morvel::testing {
namespace {

TEST(HelperOnWidgetFactory, AnswersFocusedAndElementAtSensibly) {
  ChildProcess factory({"gtk3-widget-factory"});
  auto window = clientWindowOf(factory.pid());
  ASSERT_TRUE(window) << "gtk3-widget-factory did not show a window";
  ASSERT_TRUE(eventually([&] { return activeWindowPid() == factory.pid(); }, startupTimeout));

  HelperProcess helper;
  std::optional<Json> focused;
  ASSERT_TRUE(eventually(
      [&] {
        focused = helper.ask({{"cmd", "focused"}});
        return focused && (*focused)["found"] == true;
      },
      startupTimeout))
      << (focused ? focused->dump() : "no reply");
  EXPECT_TRUE(focused->contains("role"));
  EXPECT_TRUE(focused->contains("frame"));

  // A grid of points over the window: every hit holds its point, and the page
  // shows more than one kind of control.
  constexpr int gridSteps = 6;
  std::set<std::string> roles;
  for (int row = 1; row < gridSteps; ++row) {
    for (int column = 1; column < gridSteps; ++column) {
      const double x = window->x + window->width * column / double(gridSteps);
      const double y = window->y + window->height * row / double(gridSteps);
      auto reply = helper.ask({{"cmd", "element-at"}, {"x", x}, {"y", y}});
      ASSERT_TRUE(reply);
      if ((*reply)["found"] != true) continue;
      roles.insert(reply->value("role", ""));
      if (!reply->contains("frame")) continue;
      // The described element is the hit one or an ancestor: it holds the point.
      const Json& frame = (*reply)["frame"];
      const double left = frame["x"].get<double>();
      const double top = frame["y"].get<double>();
      EXPECT_TRUE(x >= left && x <= left + frame["w"].get<double>() && y >= top && y <= top + frame["h"].get<double>())
          << x << "," << y << " " << reply->dump();
    }
  }
  roles.erase("");
  EXPECT_GE(roles.size(), 3u);
  EXPECT_FALSE(roles.contains("AXWindow") && roles.size() == 1);
}

}  // namespace
}  // namespace morvel::testing
