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
#include <sstream>
#include <string>
#include <vector>

namespace morvel::testing {
namespace {

// Generous: recognition of a whole window on a loaded two-core machine.
constexpr auto replyTimeout = 30000ms;
constexpr auto startupTimeout = 30000ms;
constexpr const char* emptyDigest = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr const char* extensionUuid = "morvel-ax-helper@morvel.org";

struct ShellView {
  ScreenRect window;   // the visible window, without the toolkit's shadow
  ScreenRect surface;  // the client's whole surface (X window), shadow included
  bool focused = false;
};

// The shell's window list, asked of the extension on the bus.
Json shellList() {
  const ProcessResult reply = runProcess({"dbus-send", "--session", "--print-reply=literal",
                                          "--dest=org.morvel.AxHelper.Shell", "/org/morvel/AxHelper/Shell",
                                          "org.morvel.AxHelper.Shell1.ListWindows"},
                                         "");
  return Json::parse(reply.out, nullptr, false);
}

// The window of `pid` as the shell reports it.
std::optional<ShellView> shellViewOf(pid_t pid) {
  const Json list = shellList();
  if (!list.is_object()) return std::nullopt;
  for (const Json& window : list["windows"]) {
    const Json& rect = window["client"];
    const Json& surface = window["buffer"];
    if (window["pid"] == pid && rect["width"].get<int>() > 0) {
      return ShellView{{rect["x"], rect["y"], rect["width"], rect["height"]},
                       {surface["x"], surface["y"], surface["width"], surface["height"]},
                       window["focused"]};
    }
  }
  return std::nullopt;
}

// The width of the screen in the shell's coordinates.
int screenWidthNow() {
  const Json list = shellList();
  return list.is_object() ? list["screen"].value("width", 0) : 0;
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
  const std::string& out = state.out;
  const std::string serialMark = "(uint32 ";
  const std::size_t serialAt = out.find(serialMark);
  const std::size_t connectorAt = out.find("(('", serialAt);
  const std::size_t modeAt = out.find("), [('", connectorAt);
  const std::size_t scalesAt = out.find('[', out.find("', ", modeAt + 6));
  if (serialAt == std::string::npos || connectorAt == std::string::npos || modeAt == std::string::npos ||
      scalesAt == std::string::npos) {
    return false;
  }
  const auto quoted = [&](std::size_t from) { return out.substr(from, out.find('\'', from) - from); };
  const std::string serial = out.substr(serialAt + serialMark.size(),
                                        out.find(',', serialAt) - serialAt - serialMark.size());
  const std::string connector = quoted(connectorAt + 3);
  const std::string mode = quoted(modeAt + 6);
  if (out.substr(scalesAt, out.find(']', scalesAt) - scalesAt).find(scale) == std::string::npos) return false;
  const std::string layout =
      "[(0, 0, " + scale + ", uint32 0, true, [('" + connector + "', '" + mode + "', @a{sv} {})])]";
  return runProcess({"gdbus", "call", "--session", "--dest", "org.gnome.Mutter.DisplayConfig", "--object-path",
                     "/org/gnome/Mutter/DisplayConfig", "--method",
                     "org.gnome.Mutter.DisplayConfig.ApplyMonitorsConfig", serial, "1", layout, "@a{sv} {}"},
                    "")
             .exitStatus == 0;
}

class ContactsOnGnome : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("MORVEL_GNOME_SESSION") == nullptr) return;
    // With a header bar GTK 3 draws its own title bar and a shadow around the window.
    const char* backend = std::getenv("GDK_BACKEND");
    app_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{MORVEL_CONTACTS_APP_PATH, "--header-bar"},
        std::map<std::string, std::optional<std::string>>{{"GDK_BACKEND", backend ? backend : "wayland"}});
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

// The screen cast, open only during a burst of captures, must show what the
// shell's own PNG shows, and the screen as it is when asked: a cast opened
// again after the window grew must not show it smaller; a cast that has
// followed every drawing must take the frame of the drawing that shows the
// window as the shell has it now, not one before it. Idle, the cast closes,
// so that GNOME stops showing the screen as shared.
TEST_F(ContactsOnGnome, TheScreenCastShowsWhatTheShellsPngShowsAsTheScreenIsNow) {
  using namespace morvel::linux_ax;
  constexpr auto closeWhenIdle = 300ms;
  ShellExtensionBus shell;
  ScreenCastCapture closing(closeWhenIdle);
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
    std::optional<GreyImage> pixels;
    eventually(
        [&] {
          cast.open(screen, list->monitorCount == 1);
          return (pixels = cast.grab(area, screen, list->monitorCount == 1, shell)).has_value();
        },
        startupTimeout);
    return pixels;
  };
  const auto expectLikeSettledPng = [&](const std::optional<GreyImage>& fromCast, const PixelRect& area) {
    // Drawn to the end: two PNGs in a row the same.
    ASSERT_TRUE(eventually([&] { return pngOf(area)->pixels == pngOf(area)->pixels; }, startupTimeout));
    const auto fromPng = pngOf(area);
    ASSERT_TRUE(fromCast && fromPng) << "no capture through the screen cast";
    EXPECT_EQ(fromCast->pixels, fromPng->pixels) << area.width << "x" << area.height;
  };
  const auto expectReopenedCastLikePng = [&](const ScreenRect& window) {
    ASSERT_TRUE(eventually([&] { return !closing.isOpen(); }, startupTimeout)) << "the idle cast was never closed";
    EXPECT_FALSE(closing.grab(areaOf(window), screen, list->monitorCount == 1, shell));
    expectLikeSettledPng(castOf(closing, areaOf(window)), areaOf(window));
  };
  const ScreenRect before = windowNow();
  expectReopenedCastLikePng(before);
  ASSERT_TRUE(castOf(following, areaOf(before)));
  const ScreenRect after = grownWindow(before, 40);
  ASSERT_GT(after.width, 0) << "the shell never had the window at its new size";
  expectLikeSettledPng(castOf(following, areaOf(after)), areaOf(after));
  EXPECT_TRUE(following.isOpen());
  expectReopenedCastLikePng(after);

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

// With mutter's scale-monitor-framebuffer the shell's coordinates are the
// toolkit's points at any scale, while its pictures of the screen have the
// monitor's pixels: screen text is read at the logical size, through the
// screen cast and through the PNG alike. Needs the session run with
// MORVEL_GNOME_FRACTIONAL_SCALES=1.
TEST_F(ContactsOnGnome, OnAMonitorAtAFractionalScaleScreenTextIsReadWhereTheFramesAre) {
  const int widthAtScaleOne = screenWidthNow();
  if (!applyMonitorScale("1.25")) {
    GTEST_SKIP() << "the monitor offers no scale 1.25: run the session with MORVEL_GNOME_FRACTIONAL_SCALES=1";
  }
  struct AtScaleOneAgain {
    ~AtScaleOneAgain() { applyMonitorScale("1.0"); }
  } restore;
  ASSERT_TRUE(eventually([&] { return screenWidthNow() * 5 == widthAtScaleOne * 4; }, startupTimeout))
      << "the monitor was never at scale 1.25";
  const ScreenRect button = frameOf("add");
  expectHas(ask(atCentreOf("element-at", button)),
            {{"found", true}, {"role", ax::AXButton}, {"title", "Add"}, {"frame", frameJson(button)}});
  ChildProcess throughPng({MORVEL_AX_HELPER_PATH}, {{"MORVEL_GNOME_SCREEN_CAST", "0"}});
  constexpr int margin = 8;
  for (ChildProcess* helper : {helper_.get(), &throughPng}) {
    helper->writeLine(regionRequest("ocr-region", button, margin).dump());
    const Json text = Json::parse(helper->readLine(replyTimeout).value_or("{}"), nullptr, false);
    EXPECT_NE(text.value("text", "").find("Add"), std::string::npos) << text;
  }
}

// GNOME's X11 session (MORVEL_GNOME_X11=1): the helper is an X client there,
// the shell the window manager and compositor; a capture must show what the
// shell has drawn, not a black screen.
TEST_F(ContactsOnGnome, InTheX11SessionScreenTextIsReadFromWhatTheShellDrew) {
  if (std::getenv("WAYLAND_DISPLAY") != nullptr) GTEST_SKIP() << "a Wayland session (MORVEL_GNOME_X11=1 is X11's)";
  const ScreenRect surface = shellViewOf(app_->pid()).value_or(ShellView{}).surface;
  const ScreenRect inSurface = geometryOf("add");
  const ScreenRect button{surface.x + inSurface.x, surface.y + inSurface.y, inSurface.width, inSurface.height};
  expectHas(ask(atCentreOf("element-at", button)),
            {{"found", true}, {"role", ax::AXButton}, {"title", "Add"}, {"frame", frameJson(button)}});
  constexpr int margin = 8;
  auto text = ask(regionRequest("ocr-region", button, margin));
  ASSERT_TRUE(text);
  EXPECT_NE(text->value("text", "").find("Add"), std::string::npos) << *text;
  auto fingerprint = ask(regionRequest("fingerprint", surface));
  ASSERT_TRUE(fingerprint);
  EXPECT_NE(fingerprint->value("ocrDigest", std::string(emptyDigest)), emptyDigest) << *fingerprint;
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
