// The helper on an application nobody here wrote: GTK's own widget factory
// (its points and selectors are tried with the other toolkits' applications).
// The assertions hold for any version of it: they check that the commands agree
// with each other and with the screen, not where the factory puts its widgets.

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "platform/linux/atspi/LinuxAccessibility.h"
#include "platform/linux/x11/X11Workspace.h"
#include "support/Desktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace morvel::testing {
namespace {

// `inner` lies within `outer`, give or take `slack` pixels of rounding.
bool within(const Json& inner, const Json& outer, double slack = 1.0) {
  auto edge = [](const Json& frame, const char* key) { return frame[key].get<double>(); };
  return edge(inner, "x") >= edge(outer, "x") - slack && edge(inner, "y") >= edge(outer, "y") - slack &&
         edge(inner, "x") + edge(inner, "w") <= edge(outer, "x") + edge(outer, "w") + slack &&
         edge(inner, "y") + edge(inner, "h") <= edge(outer, "y") + edge(outer, "h") + slack;
}


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

  Json ask(const Json& request) {
    auto reply = helper_.ask(request);
    return reply.value_or(Json::object());
  }

  static std::unique_ptr<ChildProcess> factory_;
  static std::optional<ScreenRect> window_;
  HelperProcess helper_;
  // The backend in this process, for answers the protocol describes less exactly.
  linux_ax::X11Workspace windows_;
  linux_ax::LinuxAccessibility ax_{windows_};
};

std::unique_ptr<ChildProcess> HelperOnWidgetFactory::factory_;
std::optional<ScreenRect> HelperOnWidgetFactory::window_;

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

TEST_F(HelperOnWidgetFactory, ConcurrentReadsAnswerExactlyAsReadsOneByOne) {
  HelperProcess oneByOne(std::map<std::string, std::optional<std::string>>{{"MORVEL_AX_SERIAL_READS", "1"}});
  const Json fields = ask({{"cmd", "fields"}});
  ASSERT_EQ(fields["found"], true) << fields;
  const Json& field = fields["fields"].back();
  const Json selector = {{"path", field["path"]}, {"windowTitle", fields["windowTitle"]}};
  for (const Json& request : {Json{{"cmd", "structure"}}, Json{{"cmd", "fields"}}, Json{{"cmd", "fingerprint"}},
                              Json{{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}}}) {
    EXPECT_EQ(ask(request), oneByOne.ask(request).value_or(Json::object())) << request;
  }
}

TEST_F(HelperOnWidgetFactory, EveryControlOfTheTreeIsShownAndHitAtItsCentre) {
  // The factory's pages are a stack and its controls sit in notebooks: the
  // controls of hidden pages must not be children, and a point on a shown
  // control must reach it, not stop at its notebook.
  constexpr int walkDepth = 35;
  constexpr double smallest = 6;
  const std::set<std::string> controlRoles = {ax::AXButton, ax::AXCheckBox, ax::AXRadioButton, ax::AXTextField, ax::AXSlider};
  ax_.requestStarted();
  auto window = ax::frontmostWindow(ax_).window;
  ASSERT_TRUE(window);
  std::vector<std::pair<ax::Element, ax::Rect>> controls;
  std::function<void(const ax::Element&, int)> visit = [&](const ax::Element& element, int depth) {
    auto role = ax::axString(ax_, element, ax::AXRole);
    auto frame = ax::axFrame(ax_, element);
    if (role && controlRoles.contains(*role) && frame && frame->width >= smallest && frame->height >= smallest) {
      controls.emplace_back(element, *frame);
    }
    if (depth >= walkDepth) return;
    for (const ax::Element& child : ax::axChildren(ax_, element, ax::AXChildren)) visit(child, depth + 1);
  };
  visit(*window, 0);
  ASSERT_GE(controls.size(), 5u);

  const ScreenRect& client = *window_;
  int hit = 0;
  for (const auto& [control, frame] : controls) {
    const double x = frame.x + frame.width / 2;
    const double y = frame.y + frame.height / 2;
    // A control scrolled out of its view is shown but not under its centre.
    if (x < client.x || y < client.y || x >= client.x + client.width || y >= client.y + client.height) continue;
    SCOPED_TRACE(ax::axString(ax_, control, ax::AXRole).value_or("?") + " " +
                 ax::axString(ax_, control, ax::AXTitle).value_or("") + " at " + std::to_string(x) + "," +
                 std::to_string(y));
    auto found = ax_.copyElementAtPosition(ax_.createSystemWide(), float(x), float(y));
    ASSERT_TRUE(found);
    // The hit is the control or lies inside it.
    bool reached = false;
    std::optional<ax::Element> current = found;
    for (int level = 0; current && level < walkDepth && !reached; ++level) {
      reached = ax_.isSameElement(*current, control);
      current = ax::axElementAttr(ax_, *current, ax::AXParent);
    }
    EXPECT_TRUE(reached);
    ++hit;
  }
  EXPECT_GE(hit, 5);
  ax_.replyWritten();
}

}  // namespace
}  // namespace morvel::testing
