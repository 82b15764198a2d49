// The helper on an application nobody here wrote: GTK's own widget factory.
// The assertions hold for any version of it: they check that the commands agree
// with each other and with the screen, not where the factory puts its widgets.

#include "accessibility/AXNames.h"
#include "support/Desktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace morvel::testing {
namespace {

// Points of a grid over the window, away from its edges.
constexpr int gridSteps = 8;

// `inner` lies within `outer`, give or take `slack` pixels of rounding.
bool within(const Json& inner, const Json& outer, double slack = 1.0) {
  auto edge = [](const Json& frame, const char* key) { return frame[key].get<double>(); };
  return edge(inner, "x") >= edge(outer, "x") - slack && edge(inner, "y") >= edge(outer, "y") - slack &&
         edge(inner, "x") + edge(inner, "w") <= edge(outer, "x") + edge(outer, "w") + slack &&
         edge(inner, "y") + edge(inner, "h") <= edge(outer, "y") + edge(outer, "h") + slack;
}

bool holds(const Json& frame, double x, double y) { return within({{"x", x}, {"y", y}, {"w", 0}, {"h", 0}}, frame, 0); }

class HelperOnWidgetFactory : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    factory_ = std::make_unique<ChildProcess>(std::vector<std::string>{"gtk3-widget-factory"});
    window_ = clientWindowOf(factory_->pid());
  }
  static void TearDownTestSuite() { factory_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(window_) << "gtk3-widget-factory did not show a window";
    ASSERT_TRUE(eventually([] { return activeWindowPid() == factory_->pid(); }, startupTimeout));
    // The first answers wait for the factory to have registered with the bus.
    ASSERT_TRUE(eventually(
        [&] {
          auto focused = helper_.ask({{"cmd", "focused"}});
          return focused && (*focused)["found"] == true;
        },
        startupTimeout));
  }

  std::vector<std::pair<double, double>> grid() const {
    std::vector<std::pair<double, double>> points;
    for (int row = 1; row < gridSteps; ++row) {
      for (int column = 1; column < gridSteps; ++column) {
        points.emplace_back(window_->x + window_->width * column / double(gridSteps),
                            window_->y + window_->height * row / double(gridSteps));
      }
    }
    return points;
  }

  Json ask(const Json& request) {
    auto reply = helper_.ask(request);
    return reply.value_or(Json::object());
  }

  static std::unique_ptr<ChildProcess> factory_;
  static std::optional<ScreenRect> window_;
  HelperProcess helper_;
};

std::unique_ptr<ChildProcess> HelperOnWidgetFactory::factory_;
std::optional<ScreenRect> HelperOnWidgetFactory::window_;

TEST_F(HelperOnWidgetFactory, ElementAtHoldsItsPointAndTheSelectorOfAButtonFindsThatButton) {
  Json focused = ask({{"cmd", "focused"}});
  EXPECT_TRUE(focused.contains("role")) << focused;
  EXPECT_TRUE(focused.contains("frame")) << focused;

  // Every hit holds its point, and the page shows more than one kind of control.
  std::set<std::string> roles;
  int buttons = 0;
  for (const auto& [x, y] : grid()) {
    Json described = ask({{"cmd", "element-at"}, {"x", x}, {"y", y}});
    if (described["found"] != true) continue;
    roles.insert(described.value("role", ""));
    // The described element is the hit one or an ancestor: it holds the point.
    if (described.contains("frame")) {
      EXPECT_TRUE(holds(described["frame"], x, y)) << x << "," << y << " " << described;
    }
    if (described.value("role", "") != ax::AXButton || described.value("title", "").empty()) continue;
    SCOPED_TRACE(described.dump());
    Json selector = ask({{"cmd", "selector-at"}, {"x", x}, {"y", y}});
    ASSERT_EQ(selector["found"], true) << selector;
    EXPECT_EQ(selector["path"][0]["role"], ax::AXButton);
    EXPECT_EQ(selector["path"][0]["title"], described["title"]);
    EXPECT_EQ(selector["path"].back()["role"], ax::AXWindow);
    EXPECT_TRUE(selector.contains("windowTitle"));

    Json found = ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
    EXPECT_EQ(found["found"], true) << found;
    EXPECT_EQ(found["role"], ax::AXButton);
    EXPECT_EQ(found["frame"], described["frame"]) << found;
    ++buttons;
  }
  roles.erase("");
  EXPECT_GE(roles.size(), 3u);
  EXPECT_FALSE(roles.contains(ax::AXWindow) && roles.size() == 1);
  EXPECT_GE(buttons, 1) << "no titled button under the grid";
}

TEST_F(HelperOnWidgetFactory, StructureReadsTheFirstTableOrListRowByRow) {
  Json reply = ask({{"cmd", "structure"}});
  ASSERT_EQ(reply["found"], true) << reply;
  EXPECT_TRUE(std::set<std::string>({ax::AXTable, ax::AXOutline, ax::AXGrid, ax::AXList}).contains(reply["containerRole"]))
      << reply["containerRole"];
  ASSERT_GE(reply["rows"].size(), 1u);
  EXPECT_EQ(reply["rowCount"], reply["rows"].size());
  std::size_t texts = 0;
  for (std::size_t index = 0; index < reply["rows"].size(); ++index) {
    const Json& row = reply["rows"][index];
    EXPECT_EQ(row["index"], index);
    EXPECT_LE(row["cells"].size(), 40u);
    for (const Json& cell : row["cells"]) texts += !cell.value("value", "").empty();
    if (row.contains("frame") && reply.contains("containerFrame")) {
      // A row lies across its container, though it may scroll out of it.
      const Json& frame = row["frame"];
      const Json& container = reply["containerFrame"];
      EXPECT_LT(frame["x"].get<double>(), container["x"].get<double>() + container["w"].get<double>()) << row;
    }
  }
  EXPECT_GT(texts, 0u) << reply;
}

TEST_F(HelperOnWidgetFactory, FieldsListTheFormControlsWithTheLabelsTheFactoryGives) {
  Json reply = ask({{"cmd", "fields"}});
  ASSERT_EQ(reply["found"], true) << reply;
  const Json& fields = reply["fields"];
  EXPECT_EQ(reply["fieldCount"], fields.size());
  EXPECT_GE(fields.size(), 3u);
  ASSERT_TRUE(reply.contains("windowFrame"));

  const std::set<std::string> formRoles = {ax::AXTextField,   ax::AXTextArea,    ax::AXComboBox,
                                           ax::AXCheckBox,    ax::AXPopUpButton, ax::AXRadioButton};
  std::set<std::string> roles;
  std::map<std::string, int> titledLabels;
  for (const Json& field : fields) {
    SCOPED_TRACE(field.dump());
    const std::string role = field.value("role", "");
    EXPECT_TRUE(formRoles.contains(role));
    roles.insert(role);
    ASSERT_EQ(field["path"].size(), 1u);
    EXPECT_EQ(field["path"][0]["role"], role);
    if (field.contains("frame")) {
      EXPECT_TRUE(within(field["frame"], reply["windowFrame"]));
    }
    if (role == ax::AXCheckBox || role == ax::AXRadioButton) {
      EXPECT_TRUE(std::set<std::string>({"0", "1", "2"}).contains(field.value("value", "")));
    }
    if (field.value("labelSource", "") == "title") ++titledLabels[field["label"]];
  }
  EXPECT_TRUE(roles.contains(ax::AXTextField));
  EXPECT_TRUE(roles.contains(ax::AXCheckBox) || roles.contains(ax::AXRadioButton));
  ASSERT_FALSE(titledLabels.empty()) << "no field labelled by its own title";

  // A field's path and the window's title make a selector that finds the field,
  // for fields whose title no other field shares.
  int resolved = 0;
  for (const Json& field : fields) {
    if (field.value("labelSource", "") != "title" || titledLabels[field["label"]] != 1) continue;
    if (!field.contains("frame")) continue;
    const Json selector = {{"path", field["path"]}, {"windowTitle", reply["windowTitle"]}};
    Json found = ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
    EXPECT_EQ(found["found"], true) << field << found;
    EXPECT_EQ(found["frame"], field["frame"]) << field << found;
    ++resolved;
  }
  EXPECT_GE(resolved, 1);
}

}  // namespace
}  // namespace morvel::testing
