// morvel_ax_helper in a headless GNOME Shell session with the helper's
// extension, against the sample contacts application as a native Wayland
// client drawing its own shadow: frames, hit tests and screen text must agree with where the
// shell has put the window; without the extension, geometry is unknown and
// the helper says once what to enable. Run inside scripts/with-gnome-desktop.sh.

#include "accessibility/AXNames.h"
#include "platform/linux/gnome/PngGrey.h"
#include "platform/linux/gnome/ScreenCastCapture.h"
#include "platform/linux/gnome/ShellExtensionBus.h"
#include "platform/linux/gnome/ShellWindows.h"
#include "support/ChildProcess.h"
#include "support/DesktopServices.h"
#include "support/Eventually.h"
#include "support/ReplyChecks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace morvel::testing {
namespace {

// Generous: recognition of a whole window on a loaded two-core machine.
constexpr auto replyTimeout = 30000ms;
constexpr auto startupTimeout = 30000ms;
constexpr const char* emptyDigest = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr const char* extensionUuid = "morvel-ax-helper@morvel.org";

struct ShellView {
  ScreenRect window;  // the visible window, without the toolkit's shadow
  bool focused = false;
};

// The window of `pid` as the shell reports it, asked of the extension on the bus.
std::optional<ShellView> shellViewOf(pid_t pid) {
  const ProcessResult reply = runProcess({"dbus-send", "--session", "--print-reply=literal",
                                          "--dest=org.morvel.AxHelper.Shell", "/org/morvel/AxHelper/Shell",
                                          "org.morvel.AxHelper.Shell1.ListWindows"},
                                         "");
  const Json list = Json::parse(reply.out, nullptr, false);
  if (!list.is_object()) return std::nullopt;
  for (const Json& window : list["windows"]) {
    const Json& rect = window["client"];
    if (window["pid"] == pid && rect["width"].get<int>() > 0) {
      return ShellView{{rect["x"], rect["y"], rect["width"], rect["height"]}, window["focused"]};
    }
  }
  return std::nullopt;
}

void switchExtension(const char* method) {
  const ProcessResult reply =
      runProcess({"dbus-send", "--session", "--print-reply", "--dest=org.gnome.Shell", "/org/gnome/Shell",
                  std::string("org.gnome.Shell.Extensions.") + method,
                  std::string("string:") + extensionUuid},
                 "");
  ASSERT_EQ(reply.exitStatus, 0) << method;
}

// Sets the virtual monitor's scale through mutter's display configuration, as
// the settings panel does, for this session only; false when the monitor's
// mode offers no such scale.
bool applyMonitorScale(const std::string& scale) {
  const ProcessResult state = runProcess(
      {"gdbus", "call", "--session", "--dest", "org.gnome.Mutter.DisplayConfig", "--object-path",
       "/org/gnome/Mutter/DisplayConfig", "--method", "org.gnome.Mutter.DisplayConfig.GetCurrentState"},
      "");
  // (uint32 SERIAL, [(('CONNECTOR', ...), [('MODE', W, H, RATE, PREFERRED, [SCALES], ...
  static const std::regex firstMonitor(
      R"(^\(uint32 (\d+), \[\(\('([^']+)'[^\]]*\), \[\('([^']+)', \d+, \d+, [\d.]+, [\d.]+, \[([^\]]*)\])");
  std::smatch found;
  if (!std::regex_search(state.out, found, firstMonitor) || found[4].str().find(scale) == std::string::npos) {
    return false;
  }
  const std::string layout =
      "[(0, 0, " + scale + ", uint32 0, true, [('" + found[2].str() + "', '" + found[3].str() + "', @a{sv} {})])]";
  return runProcess({"gdbus", "call", "--session", "--dest", "org.gnome.Mutter.DisplayConfig", "--object-path",
                     "/org/gnome/Mutter/DisplayConfig", "--method",
                     "org.gnome.Mutter.DisplayConfig.ApplyMonitorsConfig", found[1].str(), "1", layout, "@a{sv} {}"},
                    "")
             .exitStatus == 0;
}

class ContactsOnGnome : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("MORVEL_GNOME_SESSION") == nullptr) return;
    // With a header bar GTK 3 draws its own title bar and a shadow around the window.
    app_ = std::make_unique<ChildProcess>(std::vector<std::string>{MORVEL_CONTACTS_APP_PATH, "--header-bar"},
                                          std::map<std::string, std::optional<std::string>>{{"GDK_BACKEND", "wayland"}});
    started_ = app_->readLine(startupTimeout) == "ready";
    helper_ = std::make_unique<ChildProcess>(std::vector<std::string>{MORVEL_AX_HELPER_PATH});
  }
  static void TearDownTestSuite() {
    helper_.reset();
    app_.reset();
  }
  void SetUp() override {
    if (std::getenv("MORVEL_GNOME_SESSION") == nullptr) {
      GTEST_SKIP() << "not in a GNOME session (scripts/with-gnome-desktop.sh)";
    }
    ASSERT_TRUE(started_) << "the contacts window did not come up";
    ASSERT_TRUE(eventually([] { return shellViewOf(app_->pid()).value_or(ShellView{}).focused; }, startupTimeout))
        << "the contacts window never got the focus";
  }

  static std::optional<Json> ask(const Json& request) {
    helper_->writeLine(request.dump());
    auto line = helper_->readLine(replyTimeout);
    if (!line) return std::nullopt;
    return Json::parse(*line, nullptr, false);
  }

  // A widget's frame: the shell's place of the visible window plus the
  // widget's place in it as the toolkit laid it out, less the shadow before
  // the title bar; the toolkit lays out in points, `scale` pixels each.
  static ScreenRect frameOf(const std::string& widget, int scale = 1) {
    const ScreenRect inWindow = geometryOf(widget);
    const ScreenRect shadow = geometryOf("titlebar");
    const ScreenRect window = windowNow();
    return {window.x + scale * (inWindow.x - shadow.x), window.y + scale * (inWindow.y - shadow.y),
            scale * inWindow.width, scale * inWindow.height};
  }

  static ScreenRect windowNow() { return shellViewOf(app_->pid()).value_or(ShellView{}).window; }

  // Grows the window by `grownBy` both ways and waits until the shell has it
  // at its new size; the new frame, or an empty one when the shell never did.
  static ScreenRect grownWindow(const ScreenRect& before, int grownBy) {
    app_->writeLine("resize " + std::to_string(before.width + grownBy) + " " + std::to_string(before.height + grownBy));
    if (app_->readLine(replyTimeout) != "ok") return {};
    ScreenRect after;
    const bool grown = eventually(
        [&] {
          after = windowNow();
          return after.width != before.width;
        },
        startupTimeout);
    return grown ? after : ScreenRect{};
  }

  static ScreenRect geometryOf(const std::string& widget) {
    app_->writeLine("geometry " + widget);
    std::istringstream place(app_->readLine(replyTimeout).value_or(""));
    ScreenRect inWindow;
    place >> inWindow.x >> inWindow.y >> inWindow.width >> inWindow.height;
    return inWindow;
  }

  static inline std::unique_ptr<ChildProcess> app_;
  static inline std::unique_ptr<ChildProcess> helper_;
  static inline bool started_ = false;
};

TEST_F(ContactsOnGnome, FramesHitTestsAndScreenTextAreWhereTheShellDrawsTheWindow) {
  const ScreenRect window = windowNow();
  ASSERT_GT(window.x + window.y, 0) << "the window sits at the origin: window-relative frames would pass";
  ASSERT_GT(geometryOf("titlebar").x, 0) << "no shadow around the window: nothing to place";
  const ScreenRect button = frameOf("add");
  expectHas(ask(atCentreOf("element-at", button)),
            {{"found", true}, {"role", ax::AXButton}, {"title", "Add"}, {"frame", frameJson(button)}});
  expectHas(ask({{"cmd", "focused"}}), {{"found", true}, {"role", ax::AXTextField}, {"frame", frameJson(frameOf("name"))}});
  // Just outside the visible window, in its shadow.
  expectHas(ask({{"cmd", "element-at"}, {"x", window.x - 3}, {"y", window.y + 40}}), {{"found", false}});

  auto fields = ask({{"cmd", "fields"}});
  expectHas(fields, {{"found", true}, {"appBundleId", "morvel_contacts_app"}, {"fieldCount", 6},
                     {"windowFrame", frameJson(window)}});
  expectHas(ask(atCentreOf("element-at", frameOf("name"))), {{"found", true}, {"frame", frameJson(frameOf("name"))}});
  for (const Json& field : (*fields)["fields"]) EXPECT_TRUE(within(field["frame"], frameJson(window), 0)) << field;

  auto fingerprint = ask(regionRequest("fingerprint", window));
  expectHas(fingerprint, {{"appBundleId", "morvel_contacts_app"}});
  EXPECT_NE(fingerprint->value("ocrDigest", std::string(emptyDigest)), emptyDigest);
  constexpr int margin = 8;
  auto text = ask(regionRequest("ocr-region", button, margin));
  ASSERT_TRUE(text);
  EXPECT_NE(text->value("text", "").find("Add"), std::string::npos) << *text;
}

// The helper keeps the shell's window list between requests: a window that
// changed must be told as it is now.
TEST_F(ContactsOnGnome, AnswersFollowAWindowTheShellHasResized) {
  const ScreenRect before = windowNow();
  expectHas(ask({{"cmd", "fields"}}), {{"windowFrame", frameJson(before)}});
  const ScreenRect after = grownWindow(before, 60);
  ASSERT_GT(after.width, 0) << "the shell never had the window at its new size";
  expectHas(ask({{"cmd", "fields"}}), {{"windowFrame", frameJson(after)}});
}

// The screen cast, kept open between captures and paused when idle, must show
// what the shell's own PNG shows, and the screen as it is when asked: after a
// pause, a frame held from before the window grew would show it smaller; a
// cast that has followed every drawing must take the frame of the drawing
// that shows the window as the shell has it now, not one before it.
TEST_F(ContactsOnGnome, TheScreenCastShowsWhatTheShellsPngShowsAsTheScreenIsNow) {
  using namespace morvel::linux_ax;
  constexpr auto pauseWhenIdle = 50ms;
  ShellExtensionBus shell;
  ScreenCastCapture pausing(pauseWhenIdle);
  ScreenCastCapture following(std::chrono::hours(1));
  const auto list = parseShellWindows(shell.listWindows().value_or(""));
  ASSERT_TRUE(list);
  const PixelRect screen{0, 0, list->screenWidth, list->screenHeight};
  const auto areaOf = [](const ScreenRect& window) { return PixelRect{window.x, window.y, window.width, window.height}; };
  const auto pngOf = [&](const PixelRect& area) {
    const auto png = shell.captureArea(area);
    return png ? greyImageFromPng(*png) : std::nullopt;
  };
  const auto castOf = [&](ScreenCastCapture& cast, const PixelRect& area) {
    return cast.grab(area, screen, list->monitorCount == 1, shell);
  };
  const auto expectLikeSettledPng = [&](const std::optional<GreyImage>& fromCast, const PixelRect& area) {
    // Drawn to the end: two PNGs in a row the same.
    ASSERT_TRUE(eventually([&] { return pngOf(area)->pixels == pngOf(area)->pixels; }, startupTimeout));
    const auto fromPng = pngOf(area);
    ASSERT_TRUE(fromCast && fromPng) << "no capture through the screen cast";
    EXPECT_EQ(fromCast->pixels, fromPng->pixels) << area.width << "x" << area.height;
  };
  const auto expectPausedCastLikePng = [&](const ScreenRect& window) {
    ASSERT_TRUE(eventually([&] { return pngOf(areaOf(window))->pixels == pngOf(areaOf(window))->pixels; },
                           startupTimeout));
    std::this_thread::sleep_for(10 * pauseWhenIdle);
    expectLikeSettledPng(castOf(pausing, areaOf(window)), areaOf(window));
  };
  const ScreenRect before = windowNow();
  expectPausedCastLikePng(before);
  ASSERT_TRUE(castOf(following, areaOf(before)));
  const ScreenRect after = grownWindow(before, 40);
  ASSERT_GT(after.width, 0) << "the shell never had the window at its new size";
  expectLikeSettledPng(castOf(following, areaOf(after)), areaOf(after));
  expectPausedCastLikePng(after);

  // Settling answers only once what was queued has been drawn.
  const auto asked = shell.redraw();
  const auto drawn = shell.settle();
  ASSERT_TRUE(asked && drawn);
  EXPECT_GE(*drawn, *asked);
}

TEST_F(ContactsOnGnome, TheExtensionAnswersNoOtherProgram) {
  const std::vector<std::vector<std::string>> calls = {{"ListWindows"}, {"CaptureArea", "0", "0", "10", "10"}, {"Redraw"},
                                                      {"Settle"}};
  for (const auto& call : calls) {
    std::vector<std::string> command = {"gdbus", "call", "--session", "--dest", "org.morvel.AxHelper.Shell",
                                        "--object-path", "/org/morvel/AxHelper/Shell", "--method",
                                        "org.morvel.AxHelper.Shell1." + call.front()};
    command.insert(command.end(), call.begin() + 1, call.end());
    const ProcessResult reply = runProcess(command, "");
    EXPECT_NE(reply.exitStatus, 0) << call.front() << ": " << reply.out;
    EXPECT_NE(reply.err.find("org.freedesktop.DBus.Error.AccessDenied"), std::string::npos) << reply.err;
  }
}

// The shell's coordinates are the monitor's pixels; the toolkit measures in
// points, two pixels each here. Needs a monitor large enough to offer scale 2.
TEST_F(ContactsOnGnome, OnAMonitorAtScaleTwoFramesHitTestsAndScreenTextAgree) {
  const ScreenRect before = windowNow();
  if (!applyMonitorScale("2.0")) {
    GTEST_SKIP() << "the virtual monitor offers no scale 2: run the session with MORVEL_GNOME_MONITOR=2560x1600";
  }
  struct AtScaleOneAgain {
    ~AtScaleOneAgain() { applyMonitorScale("1.0"); }
  } restore;
  ASSERT_TRUE(eventually([&] { return windowNow().width == 2 * before.width; }, startupTimeout))
      << "the window was never drawn at scale 2";
  const ScreenRect button = frameOf("add", 2);
  expectHas(ask(atCentreOf("element-at", button)),
            {{"found", true}, {"role", ax::AXButton}, {"title", "Add"}, {"frame", frameJson(button)}});
  expectHas(ask({{"cmd", "focused"}}), {{"found", true}, {"frame", frameJson(frameOf("name", 2))}});
  constexpr int margin = 8;
  auto text = ask(regionRequest("ocr-region", button, margin));
  ASSERT_TRUE(text);
  EXPECT_NE(text->value("text", "").find("Add"), std::string::npos) << *text;
}

// Runs last: it switches the extension off and on again under the helper.
TEST_F(ContactsOnGnome, WithoutTheExtensionGeometryIsUnknownAndTheHelperSaysWhatToEnable) {
  const ScreenRect button = frameOf("add");
  switchExtension("DisableExtension");
  expectHas(ask(atCentreOf("element-at", button)), {{"found", false}});
  expectHas(ask(regionRequest("ocr-region", button)), {{"text", ""}});
  ask(atCentreOf("element-at", button));

  switchExtension("EnableExtension");
  ASSERT_TRUE(eventually(
      [&] { return ask(atCentreOf("element-at", button)).value_or(Json::object()).value("found", false); },
      startupTimeout));
  const std::string errors = helper_->standardError();
  EXPECT_EQ(occurrences(errors, std::string("gnome-extensions enable ") + extensionUuid), 1) << errors;
  EXPECT_EQ(occurrences(errors, "the helper's GNOME Shell extension is back"), 1) << errors;
}

}  // namespace
}  // namespace morvel::testing
