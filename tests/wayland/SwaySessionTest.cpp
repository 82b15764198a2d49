// morvel_ax_helper in a sway session, against the sample contacts application
// as a native Wayland client (or, with MORVEL_SAMPLE_GDK_BACKEND=x11, as an X
// client through Xwayland), GTK 4 and Qt: frames, hit tests, focus, window
// names and screen text must agree with where sway (asked on its own, through
// swaymsg) has put the window. Run inside scripts/with-wayland-desktop.sh.

#include "accessibility/AXNames.h"
#include "platform/linux/wayland/SwaySocket.h"
#include "support/ChildProcess.h"
#include "support/DesktopServices.h"
#include "support/Eventually.h"
#include "support/ReplyChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace morvel::testing {
namespace {

// Generous: recognition of a whole window on a loaded two-core machine.
constexpr auto replyTimeout = 30000ms;
constexpr auto startupTimeout = 20000ms;
// The digest of no text at all.
constexpr const char* emptyDigest = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

// The window of `pid` as sway reports it: its content area and whether it has the focus.
struct SwayView {
  ScreenRect content;
  bool focused = false;
};

std::optional<SwayView> swayViewOf(pid_t pid) {
  const ProcessResult tree = runProcess({"swaymsg", "-r", "-t", "get_tree"}, "");
  const Json root = Json::parse(tree.out, nullptr, false);
  std::optional<SwayView> found;
  std::function<void(const Json&)> visit = [&](const Json& node) {
    if (node.value("pid", -1) == pid) {
      const Json& rect = node["rect"];
      const Json& inner = node["window_rect"];
      found = SwayView{{rect["x"].get<int>() + inner["x"].get<int>(), rect["y"].get<int>() + inner["y"].get<int>(),
                        inner["width"].get<int>(), inner["height"].get<int>()},
                       node.value("focused", false)};
    }
    for (const char* list : {"nodes", "floating_nodes"}) {
      if (node.contains(list)) {
        for (const Json& child : node[list]) visit(child);
      }
    }
  };
  if (root.is_object()) visit(root);
  return found;
}

class ContactsOnSway : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("SWAYSOCK") == nullptr || std::getenv("WAYLAND_DISPLAY") == nullptr) return;
    app_ = startContacts({});
    started_ = app_ != nullptr;
    helper_ = std::make_unique<ChildProcess>(std::vector<std::string>{MORVEL_AX_HELPER_PATH});
  }
  static void TearDownTestSuite() {
    helper_.reset();
    app_.reset();
  }
  void SetUp() override {
    if (std::getenv("SWAYSOCK") == nullptr) GTEST_SKIP() << "not in a sway session (scripts/with-wayland-desktop.sh)";
    ASSERT_TRUE(started_) << "the contacts window did not come up";
    ASSERT_TRUE(focusedOnSway(*app_)) << "the contacts window never got the focus";
  }

  static bool focusedOnSway(ChildProcess& app) {
    return eventually([&] { return swayViewOf(app.pid()).value_or(SwayView{}).focused; }, startupTimeout);
  }

  static std::unique_ptr<ChildProcess> startContacts(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), MORVEL_CONTACTS_APP_PATH);
    // A native Wayland client unless told otherwise, whatever the session also
    // offers through Xwayland.
    const char* backend = std::getenv("MORVEL_SAMPLE_GDK_BACKEND");
    auto app = std::make_unique<ChildProcess>(arguments, std::map<std::string, std::optional<std::string>>{
                                                             {"GDK_BACKEND", backend != nullptr ? backend : "wayland"}});
    return app->readLine(startupTimeout) == "ready" ? std::move(app) : nullptr;
  }

  static std::optional<Json> ask(const Json& request) {
    helper_->writeLine(request.dump());
    auto line = helper_->readLine(replyTimeout);
    if (!line) return std::nullopt;
    return Json::parse(*line, nullptr, false);
  }

  // A widget's frame: sway's place of the visible window plus the widget's
  // place in it as the toolkit laid it out. A window with its own title bar
  // starts where the title bar does; around it lies the toolkit's shadow.
  static ScreenRect frameOf(ChildProcess& app, const std::string& widget) {
    const ScreenRect inWindow = geometryOf(app, widget);
    const ScreenRect shadow = geometryOf(app, "titlebar");
    const ScreenRect window = swayViewOf(app.pid()).value_or(SwayView{}).content;
    return {window.x + inWindow.x - shadow.x, window.y + inWindow.y - shadow.y, inWindow.width, inWindow.height};
  }
  static ScreenRect frameOf(const std::string& widget) { return frameOf(*app_, widget); }

  // The text read off the screen around `rect`.
  static std::string textAround(const ScreenRect& rect) {
    constexpr int margin = 8;
    return ask(regionRequest("ocr-region", rect, margin)).value_or(Json::object()).value("text", "");
  }

  static ScreenRect geometryOf(ChildProcess& app, const std::string& widget) {
    app.writeLine("geometry " + widget);
    std::istringstream place(app.readLine(replyTimeout).value_or(""));
    ScreenRect inWindow;
    place >> inWindow.x >> inWindow.y >> inWindow.width >> inWindow.height;
    return inWindow;  // all zero for a widget the window does not have
  }

  static inline std::unique_ptr<ChildProcess> app_;
  static inline std::unique_ptr<ChildProcess> helper_;
  static inline bool started_ = false;
};

TEST_F(ContactsOnSway, CommandsAnswerInGlobalCoordinatesAndScreenTextComesFromTheWindowsPixels) {
  const ScreenRect button = frameOf("add");
  expectHas(ask(atCentreOf("element-at", button)),
            {{"found", true}, {"role", ax::AXButton}, {"title", "Add"}, {"frame", frameJson(button)}});
  expectHas(ask(atCentreOf("element-at", frameOf("name"))), {{"found", true}, {"role", ax::AXTextField}});
  // Bare background of the output, outside every window.
  expectHas(ask({{"cmd", "element-at"}, {"x", 1919}, {"y", 1079}}), {{"found", false}});
  expectHas(ask({{"cmd", "focused"}}), {{"found", true}, {"role", ax::AXTextField}, {"frame", frameJson(frameOf("name"))}});
  expectHas(ask({{"cmd", "fields"}}), {{"found", true}, {"windowTitle", "Contacts"}, {"fieldCount", 6}});
  expectHas(ask({{"cmd", "selector-at"}, {"x", button.x + 5}, {"y", button.y + 5}}), {{"found", true}});

  auto fingerprint = ask(regionRequest("fingerprint", frameOf("window")));
  expectHas(fingerprint, {{"windowTitle", "Contacts"}});
  EXPECT_NE(fingerprint->value("ocrDigest", std::string(emptyDigest)), emptyDigest);
  EXPECT_NE(textAround(button).find("Add"), std::string::npos);
}

// Menus are surfaces of their own, which sway's tree does not list.
TEST_F(ContactsOnSway, AnOpenMenusItemsAreHitAndFramedWhereTheyAreDrawn) {
  const ScreenRect combo = frameOf("group");
  app_->writeLine("popup group");
  ASSERT_EQ(app_->readLine(replyTimeout), "ok");
  struct ClosesMenu {
    ~ClosesMenu() {
      app_->writeLine("popdown group");
      app_->readLine(replyTimeout);
    }
  } closesMenu;
  // The menu lays its chosen item over the combo box.
  std::optional<Json> item;
  ASSERT_TRUE(eventually(
      [&] {
        item = ask(atCentreOf("element-at", combo));
        return item && item->value("role", "") == ax::AXMenuItem;
      },
      startupTimeout))
      << item.value_or(Json());
  const Json& frame = (*item)["frame"];
  EXPECT_TRUE(holds(frame, combo.x + combo.width / 2.0, combo.y + combo.height / 2.0, 0)) << *item;
  const ScreenRect itemRect{frame["x"].get<int>(), frame["y"].get<int>(), frame["w"].get<int>(), frame["h"].get<int>()};
  // The pixels at its frame are its own, once the compositor shows the menu's first frame.
  std::optional<Json> text;
  EXPECT_TRUE(eventually(
      [&] {
        text = ask(regionRequest("ocr-region", itemRect));
        return text && text->value("text", std::string()).find(item->value("title", "?")) != std::string::npos;
      },
      replyTimeout))
      << text.value_or(Json()) << *item;
  // The next item down is the next choice.
  expectHas(ask({{"cmd", "element-at"}, {"x", combo.x + combo.width / 2}, {"y", itemRect.y + itemRect.height * 3 / 2}}),
            {{"found", true}, {"role", ax::AXMenuItem}, {"title", item->value("title", "") == "Friends" ? "Family" : "Work"}});
}

TEST_F(ContactsOnSway, AWindowDrawingItsOwnShadowIsPlacedWhereItsTitleBarBegins) {
  auto drawn = startContacts({"--header-bar"});
  ASSERT_TRUE(drawn && focusedOnSway(*drawn)) << "the second window did not come up focused";
  // Clear of the first window, with bare background to its left.
  constexpr int left = 40;
  const std::string criteria = "[pid=" + std::to_string(drawn->pid()) + "]";
  runProcess({"swaymsg", criteria, "move", "position", std::to_string(left), "60"}, "");
  ASSERT_TRUE(eventually([&] { return swayViewOf(drawn->pid()).value_or(SwayView{}).content.x == left; }, replyTimeout));
  ASSERT_GT(geometryOf(*drawn, "titlebar").x, 0) << "no shadow around the window: nothing to place";
  const ScreenRect button = frameOf(*drawn, "add");
  expectHas(ask(atCentreOf("element-at", button)),
            {{"found", true}, {"role", ax::AXButton}, {"title", "Add"}, {"frame", frameJson(button)}});
  expectHas(ask({{"cmd", "focused"}}), {{"found", true}, {"frame", frameJson(frameOf(*drawn, "name"))}});
  // The window is its visible part, without the shadow.
  const SwayView view = swayViewOf(drawn->pid()).value_or(SwayView{});
  const ScreenRect titlebar = frameOf(*drawn, "titlebar");
  expectHas(ask({{"cmd", "element-at"}, {"x", titlebar.x + 1}, {"y", view.content.y + view.content.height - 1}}),
            {{"found", true}});
  expectHas(ask({{"cmd", "element-at"}, {"x", view.content.x - 3}, {"y", view.content.y + 40}}), {{"found", false}});
}

TEST_F(ContactsOnSway, AQtWindowScaledOnItsOwnIsPlacedInSwaysCoordinates) {
  // FeatherPad (Qt 5) as a native Wayland client at 1.5 of sway's scale: it
  // reports its extents in its own units, two thirds of sway's.
  ChildProcess featherPad({"featherpad"}, {{"QT_QPA_PLATFORM", "wayland"},
                                           {"QT_SCALE_FACTOR", "1.5"},
                                           {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"},
                                           {"QT_ACCESSIBILITY", "1"}});
  ASSERT_TRUE(focusedOnSway(featherPad)) << "FeatherPad did not come up focused";
  // Qt lays its window out again after it is shown (its tool bar arrives
  // late and moves the editor down): wait until two readings agree.
  std::optional<Json> fields;
  ASSERT_TRUE(eventually(
      [&] {
        std::optional<Json> previous = std::move(fields);
        fields = ask({{"cmd", "fields"}});
        return fields && !(*fields)["fields"].empty() && previous && !(*previous)["fields"].empty() &&
               (*previous)["fields"][0]["frame"] == (*fields)["fields"][0]["frame"];
      },
      startupTimeout));
  const ScreenRect window = swayViewOf(featherPad.pid()).value_or(SwayView{}).content;
  // The editor spans the window's width.
  const Json& editor = (*fields)["fields"][0];
  EXPECT_EQ(editor["role"], ax::AXTextArea);
  constexpr double roundingSlack = 2;
  EXPECT_NEAR(editor["frame"]["x"].get<double>(), window.x, roundingSlack) << editor;
  EXPECT_NEAR(editor["frame"]["w"].get<double>(), window.width, roundingSlack) << editor;
  // Its centre hits the editor (or the viewport Qt lays over it).
  const Json& frame = editor["frame"];
  expectHas(ask({{"cmd", "element-at"},
                 {"x", frame["x"].get<double>() + frame["w"].get<double>() / 2},
                 {"y", frame["y"].get<double>() + frame["h"].get<double>() / 2}}),
            {{"found", true}, {"frame", frame}});
}

// gtk4-widget-factory as a native Wayland client: its surface is its visible
// window. The factory says nothing of where its widgets are, so frames are
// checked against sway's window, against each other and against the pixels.
TEST(Gtk4OnSway, FramesAreGlobalAndHitTestsFindThem) {
  if (std::getenv("SWAYSOCK") == nullptr) GTEST_SKIP() << "not in a sway session (scripts/with-wayland-desktop.sh)";
  // cairo draws the first frame at once; GL on a software renderer takes long.
  ChildProcess factory({"gtk4-widget-factory"}, {{"GDK_BACKEND", "wayland"}, {"GSK_RENDERER", "cairo"}});
  ChildProcess helper({MORVEL_AX_HELPER_PATH});
  const auto askHelper = [&](const Json& request) -> std::optional<Json> {
    helper.writeLine(request.dump());
    auto line = helper.readLine(replyTimeout);
    return line ? std::optional<Json>(Json::parse(*line, nullptr, false)) : std::nullopt;
  };
  ASSERT_TRUE(eventually([&] { return swayViewOf(factory.pid()).value_or(SwayView{}).focused; }, startupTimeout));
  const ScreenRect window = swayViewOf(factory.pid()).value_or(SwayView{}).content;
  ASSERT_GT(window.x + window.y, 0) << "the window sits at the origin: window-relative frames would pass";
  std::optional<Json> fields;
  ASSERT_TRUE(eventually(
      [&] {
        fields = askHelper({{"cmd", "fields"}});
        return fields && fields->value("fieldCount", 0) > 0;
      },
      startupTimeout))
      << fields.value_or(Json());
  expectHas(fields, {{"windowTitle", "GTK Widget Factory"}, {"windowFrame", frameJson(window)}});
  for (const Json& field : (*fields)["fields"]) EXPECT_TRUE(within(field["frame"], frameJson(window), 0)) << field;
  // GTK 4 offers no search by state: the focused entry is found by a walk.
  auto focused = askHelper({{"cmd", "focused"}});
  ASSERT_TRUE(focused && focused->value("found", false)) << focused.value_or(Json());
  EXPECT_TRUE(within((*focused)["frame"], frameJson(window), 0)) << *focused;

  // The first page's tab: a hit inside it answers the tab or its label, and its
  // pixels are its label's.
  const Json& shown = (*fields)["fields"];
  const auto firstTab = std::find_if(shown.begin(), shown.end(), [](const Json& field) {
    return field.dump().find("Page _1") != std::string::npos;
  });
  ASSERT_NE(firstTab, shown.end()) << *fields;
  const Json& tab = *firstTab;
  const Json& tabFrame = tab["frame"];
  Json request = {{"x", tabFrame["x"].get<double>() + tabFrame["w"].get<double>() / 2},
                  {"y", tabFrame["y"].get<double>() + tabFrame["h"].get<double>() / 2}};
  request["cmd"] = "element-at";
  auto hit = askHelper(request);
  ASSERT_TRUE(hit && hit->value("found", false)) << hit.value_or(Json());
  EXPECT_TRUE(within((*hit)["frame"], tabFrame, 0)) << *hit << tab;
  request["cmd"] = "selector-at";
  auto selector = askHelper(request);
  ASSERT_TRUE(selector && selector->value("found", false)) << selector.value_or(Json());
  expectHas(askHelper({{"cmd", "find"}, {"selector", *selector}}), {{"found", true}, {"frame", (*hit)["frame"]}});
  auto text = askHelper({{"cmd", "ocr-region"}, {"x", tabFrame["x"]}, {"y", tabFrame["y"]}, {"w", tabFrame["w"]}, {"h", tabFrame["h"]}});
  ASSERT_TRUE(text);
  EXPECT_EQ(text->value("text", ""), "Page 1") << *text << tab;
}

// sway killed and started again under the same helper, in a session of its
// own (see CMakeLists.txt): the new sway listens on a socket named after its
// process, since the old one's is left over where SWAYSOCK points.
using ContactsOnRestartedSway = ContactsOnSway;

TEST_F(ContactsOnRestartedSway, TheHelperFindsTheNewCompositorAndCapturesFromIt) {
  expectHas(ask({{"cmd", "focused"}}), {{"found", true}});
  controlService("kill", "keyboard");
  controlService("kill", "sway");
  expectHas(ask({{"cmd", "focused"}}), {{"found", false}});
  expectHas(ask({{"cmd", "element-at"}, {"x", 400}, {"y", 300}}), {{"found", false}});

  controlService("start", "sway");
  controlService("start", "keyboard");
  const std::vector<std::string> sockets = linux_ax::swaySocketsIn(std::getenv("XDG_RUNTIME_DIR"));
  ASSERT_FALSE(sockets.empty()) << "sway came back on SWAYSOCK's own path: nothing to find";
  setenv("SWAYSOCK", sockets.front().c_str(), 1);  // for swaymsg
  app_ = startContacts({});
  ASSERT_TRUE(app_ && focusedOnSway(*app_)) << "the contacts window did not come back";

  const ScreenRect button = frameOf("add");
  expectHas(ask(atCentreOf("element-at", button)), {{"found", true}, {"title", "Add"}, {"frame", frameJson(button)}});
  EXPECT_NE(textAround(button).find("Add"), std::string::npos);
  const std::string errors = helper_->standardError();
  EXPECT_EQ(occurrences(errors, "the sway compositor went away"), 1) << errors;
  EXPECT_EQ(occurrences(errors, "the sway compositor is back"), 1) << errors;
}

}  // namespace
}  // namespace morvel::testing
