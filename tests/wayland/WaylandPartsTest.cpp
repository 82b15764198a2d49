// The parts of the Wayland window system that need no compositor: sway's IPC
// framing against a scripted peer, its layout tree, frames turned grey, where a
// toolkit's shadow puts the visible window on its surface, and the choice of
// window system at start-up.

#include "platform/linux/SessionWindowSystem.h"
#include "platform/linux/atspi/SurfacePlacement.h"
#include "platform/linux/wayland/ScreencopyCapture.h"
#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/wayland/SwaySocket.h"
#include "platform/linux/wayland/SwayWindowSystem.h"
#include "platform/linux/wayland/SwayTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>
#include <filesystem>
#include <thread>

namespace morvel::linux_ax {
namespace {

using nlohmann::json;

json view(int id, int pid, const char* appId, PixelRect rect, bool visible = true) {
  return {{"id", id},
          {"type", "floating_con"},
          {"pid", pid},
          {"app_id", appId},
          {"name", std::string("title ") + appId},
          {"visible", visible},
          {"focused", false},
          {"rect", {{"x", rect.x}, {"y", rect.y}, {"width", rect.width}, {"height", rect.height}}},
          {"window_rect", {{"x", 2}, {"y", 30}, {"width", rect.width - 4}, {"height", rect.height - 32}}},
          {"nodes", json::array()},
          {"floating_nodes", json::array()}};
}

json treeWith(json tiled, json floating, json scratchpad = json::array()) {
  json workspace = {{"type", "workspace"}, {"name", "1"}, {"nodes", tiled}, {"floating_nodes", floating}};
  json scratch = {{"type", "workspace"}, {"name", "__i3_scratch"}, {"floating_nodes", scratchpad}};
  return {{"type", "root"},
          {"nodes",
           {{{"type", "output"}, {"name", "__i3"}, {"nodes", {scratch}}},
            {{"type", "output"}, {"name", "HEADLESS-1"}, {"nodes", {workspace}}}}}};
}

std::vector<WindowId> idsOf(const std::vector<SwayWindow>& windows) {
  std::vector<WindowId> ids;
  for (const SwayWindow& window : windows) ids.push_back(window.id);
  return ids;
}

TEST(SwayTree, WindowsComeTopmostFirstWithTheirPlacesAndOnlyWhenShown) {
  json fullscreen = view(12, 120, "video", {0, 0, 1920, 1080});
  fullscreen["fullscreen_mode"] = 1;
  json xwayland = view(13, 130, "unused", {50, 60, 300, 200});
  xwayland.erase("app_id");
  xwayland["window_properties"] = {{"class", "XTerm"}};
  xwayland["shell"] = "xwayland";
  json focused = view(11, 110, "editor", {310, 170, 800, 600});
  focused["focused"] = true;
  json titled = view(10, 100, "tiled", {0, 0, 960, 1080});
  titled["window_rect"]["y"] = 0;
  titled["deco_rect"] = {{"x", 0}, {"y", 0}, {"width", 960}, {"height", 24}};
  const std::string tree =
      treeWith({fullscreen, titled, view(14, 140, "tab", {0, 0, 9, 9}, false)},
               {focused, xwayland}, {view(15, 150, "scratch", {1, 1, 9, 9})})
          .dump();
  const auto windows = swayWindowsTopFirst(tree);
  EXPECT_EQ(idsOf(windows), (std::vector<WindowId>{12, 13, 11, 10}));
  ASSERT_EQ(windows.size(), 4u);
  EXPECT_EQ(windows[1].appId, "XTerm");
  EXPECT_TRUE(windows[1].xwayland);
  EXPECT_FALSE(windows[2].xwayland);
  EXPECT_EQ(windows[2].pid, 110);
  EXPECT_EQ(windows[2].title, "title editor");
  EXPECT_TRUE(windows[2].focused);
  EXPECT_FALSE(windows[3].focused);
  EXPECT_EQ(windows[2].frame, (PixelRect{310, 170, 800, 600}));
  EXPECT_EQ(windows[2].content, (PixelRect{312, 200, 796, 568}));
  EXPECT_EQ(windows[3].frame, (PixelRect{0, -24, 960, 1104}));
  EXPECT_EQ(windows[3].content, (PixelRect{2, 0, 956, 1048}));
}

TEST(SwayTree, AReplyThatIsNotATreeGivesNoWindowsAndNoCrash) {
  json noPid = view(1, 1, "a", {0, 0, 5, 5});
  noPid.erase("pid");
  json badRect = view(2, 2, "b", {0, 0, 5, 5});
  badRect["rect"]["width"] = "wide";
  json deep = view(3, 3, "c", {0, 0, 5, 5});
  for (int level = 0; level < 200; ++level) deep = {{"nodes", {deep}}};
  for (const std::string& reply :
       {std::string(""), std::string("[1,2]"), std::string("{\"nodes\": 5}"), std::string("{\"nodes\": [null, 3]}"),
        treeWith({noPid, badRect}, json::array()).dump(), treeWith({deep}, json::array()).dump()}) {
    EXPECT_TRUE(swayWindowsTopFirst(reply).empty()) << reply.substr(0, 80);
  }
}

TEST(SwayTree, OutputsAreTheActiveOnesWithTheirLayout) {
  const json outputs = json::array({{{"name", "HEADLESS-1"}, {"active", true}, {"rect", {{"x", 0}, {"y", 0}, {"width", 1920}, {"height", 1080}}}},
                                    {{"name", "HEADLESS-2"}, {"active", false}, {"rect", {{"x", 1920}, {"y", 0}, {"width", 800}, {"height", 600}}}},
                                    {{"name", "HEADLESS-3"}, {"active", true}, {"rect", {{"x", 1920}, {"y", 0}, {"width", 0}, {"height", 600}}}}});
  const auto placements = swayOutputs(outputs.dump());
  ASSERT_EQ(placements.size(), 1u);
  EXPECT_EQ(placements[0].name, "HEADLESS-1");
  EXPECT_EQ(placements[0].logical, (PixelRect{0, 0, 1920, 1080}));
  EXPECT_TRUE(swayOutputs("{}").empty());
}

std::filesystem::path scratchPath(const std::string& name) {
  return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
}

sockaddr_un addressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

// A peer on a Unix socket that answers each connection with the given bytes.
class ScriptedSway {
 public:
  explicit ScriptedSway(std::vector<std::string> answers, std::string path = scratchPath("morvel-sway"))
      : path_(std::move(path)) {
    unlink(path_.c_str());
    listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path_);
    bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    server_ = std::thread([this, answers = std::move(answers)] {
      for (const std::string& answer : answers) {
        const int peer = accept(listener_, nullptr, nullptr);
        if (peer < 0) return;
        char header[swayHeaderSize];
        if (recv(peer, header, sizeof header, MSG_WAITALL) == static_cast<ssize_t>(sizeof header)) {
          requests_.emplace_back(header, sizeof header);
          send(peer, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
        close(peer);  // one reply per connection: the next request must reconnect
      }
    });
  }
  ~ScriptedSway() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    server_.join();
    unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }
  std::vector<std::string> requests_;

 private:
  std::string path_;
  int listener_ = -1;
  std::thread server_;
};

TEST(SwayIpc, RepliesAreFramedCheckedAndTheConnectionIsOpenedAgainWhenSwayClosedIt) {
  const std::string reply = frameSwayMessage(SwayMessage::GetTree, "{\"nodes\":[]}");
  const std::string wrongType = frameSwayMessage(SwayMessage::GetVersion, "{}");
  const std::string truncated = reply.substr(0, reply.size() - 3);
  std::string huge = frameSwayMessage(SwayMessage::GetTree, "");
  huge[6] = huge[7] = huge[8] = huge[9] = '\xff';
  ScriptedSway sway({reply, reply, wrongType, truncated, huge, "garbage-garbage"});
  SwayIpc ipc(sway.path());
  EXPECT_EQ(ipc.request(SwayMessage::GetTree), "{\"nodes\":[]}");
  EXPECT_EQ(ipc.request(SwayMessage::GetTree), "{\"nodes\":[]}");
  for (int bad = 0; bad < 4; ++bad) EXPECT_EQ(ipc.request(SwayMessage::GetTree), std::nullopt) << bad;
  ASSERT_GE(sway.requests_.size(), 2u);
  EXPECT_EQ(sway.requests_[0], frameSwayMessage(SwayMessage::GetTree, ""));
  EXPECT_EQ(SwayIpc("/nonexistent/sway.sock", "/nonexistent").request(SwayMessage::GetTree), std::nullopt);
}

TEST(SwayIpc, ASwayStartedAgainIsFoundOnTheSocketItNamedAfterItself) {
  for (const auto& [name, isSways] : std::vector<std::pair<std::string, bool>>{{"sway-ipc.1000.4242.sock", true},
                                                                              {"sway-ipc.sock", false},
                                                                              {"sway-ipc.1000.sock", false},
                                                                              {"sway-ipc.x.4242.sock", false},
                                                                              {"sway-ipc.1000.4242.sock.lock", false}}) {
    EXPECT_EQ(isSwaySocketName(name), isSways) << name;
  }
  const std::filesystem::path runtime = scratchPath("morvel-runtime");
  std::filesystem::remove_all(runtime);
  std::filesystem::create_directory(runtime);
  // The socket the killed sway left behind: nobody listens on it.
  const std::filesystem::path leftOver = runtime / "sway-ipc.sock";
  const int abandoned = socket(AF_UNIX, SOCK_STREAM, 0);
  const sockaddr_un address = addressOf(leftOver.string());
  ASSERT_EQ(bind(abandoned, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(abandoned);
  {
    const std::string reply = frameSwayMessage(SwayMessage::GetVersion, "{}");
    ScriptedSway restarted({reply}, (runtime / "sway-ipc.1000.4242.sock").string());
    SwayIpc ipc(leftOver.string(), runtime);
    EXPECT_EQ(ipc.request(SwayMessage::GetVersion), "{}");
  }
  std::filesystem::remove_all(runtime);
}

TEST(SwayWindowSystem, TheLayoutIsAskedOncePerRequest) {
  const std::string tree = treeWith(json::array(), {view(7, 42, "contacts", {10, 20, 300, 200})}).dump();
  ScriptedSway sway({frameSwayMessage(SwayMessage::GetTree, tree), frameSwayMessage(SwayMessage::GetTree, "{}")});
  SwayWindowSystem windows(sway.path());
  EXPECT_EQ(windows.windowPid(7), 42);
  EXPECT_EQ(windows.applicationId(7), "contacts");
  EXPECT_EQ(windows.windowTitle(7), "title contacts");
  EXPECT_EQ(sway.requests_.size(), 1u);
  // The next request sees the window gone.
  windows.forgetReads();
  EXPECT_EQ(windows.windowPid(7), std::nullopt);
  EXPECT_EQ(sway.requests_.size(), 2u);
}

TEST(ScreencopyFrame, FormatsRowOrderAndScaleAllGiveTheSameGrey) {
  // Two by two pixels: white, black / red, blue, in four memory layouts.
  const std::uint8_t xrgb[] = {255, 255, 255, 0, 0, 0, 0, 0, /**/ 0, 0, 255, 0, 255, 0, 0, 0};
  const std::uint8_t xbgr[] = {255, 255, 255, 0, 0, 0, 0, 0, /**/ 255, 0, 0, 0, 0, 0, 255, 0};
  const std::uint8_t invertedPadded[] = {0, 0, 255, 0, 255, 0, 0, 0, 9, 9, 9, 9, /**/ 255, 255, 255, 0, 0, 0, 0, 0, 9, 9, 9, 9};
  const std::vector<std::uint8_t> expected = {255, 0, luminance(255, 0, 0), luminance(0, 0, 255)};
  struct Case {
    FrameBuffer frame;
    bool copied;
  };
  const Case cases[] = {
      {{WL_SHM_FORMAT_XRGB8888, 2, 2, 8, false, xrgb}, true},
      {{0x34324258 /* XB24 */, 2, 2, 8, false, xbgr}, true},
      {{WL_SHM_FORMAT_ARGB8888, 2, 2, 12, true, invertedPadded}, true},
      {{WL_SHM_FORMAT_RGB565, 2, 2, 8, false, xrgb}, false},
  };
  for (const Case& each : cases) {
    GreyImage grey{2, 2, std::vector<std::uint8_t>(4, 7)};
    EXPECT_EQ(copyFrameToGrey(each.frame, {10, 20, 2, 2}, 10, 20, grey), each.copied);
    if (each.copied) {
      EXPECT_EQ(grey.pixels, expected) << each.frame.format;
    }
  }
  // A frame at twice the layout's scale, placed at an offset in a larger image.
  const std::uint8_t doubled[] = {255, 255, 255, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  GreyImage wide{3, 1, std::vector<std::uint8_t>(3, 7)};
  EXPECT_TRUE(copyFrameToGrey({WL_SHM_FORMAT_XRGB8888, 4, 1, 16, false, doubled}, {11, 0, 2, 1}, 10, 0, wide));
  EXPECT_EQ(wide.pixels, (std::vector<std::uint8_t>{7, 255, 0}));
}

TEST(SurfacePlacement, TheVisibleWindowStartsWhereTheShadowEnds) {
  struct Case {
    const char* what;
    PixelRect window;
    std::vector<PixelRect> children;
    PixelRect visible;
    std::pair<int, int> origin;
  };
  const Case cases[] = {
      {"no shadow", {0, 0, 800, 600}, {{0, 0, 800, 40}}, {310, 170, 800, 600}, {0, 0}},
      {"shadow told by the children", {0, 0, 852, 652}, {{36, 73, 780, 500}, {26, 23, 800, 40}},
       {310, 170, 800, 600}, {26, 23}},
      {"content lower than any shadow", {0, 0, 852, 652}, {{36, 80, 780, 500}}, {310, 170, 800, 600}, {26, 26}},
      {"children above the surface", {0, 0, 852, 652}, {{26, -4, 800, 40}}, {310, 170, 800, 600}, {26, 26}},
      {"no children", {0, 0, 852, 652}, {}, {310, 170, 800, 600}, {26, 26}},
  };
  for (const Case& each : cases) {
    EXPECT_EQ(visibleOriginOnSurface(each.window, each.children, each.visible), each.origin) << each.what;
  }
}

TEST(SessionWindowSystem, WaylandDecidesOverXwaylandAndTheCompositorNeedsItsSocketOrBusName) {
  struct Case {
    SessionEnvironment environment;
    SessionKind kind;
  };
  const Case cases[] = {
      {{"", "", ":0"}, SessionKind::X11},
      {{"", "/run/sway.sock", ""}, SessionKind::X11},
      {{"", "", ""}, SessionKind::X11},
      {{"wayland-1", "/run/sway.sock", ":0"}, SessionKind::Sway},
      {{"wayland-0", "", ":0"}, SessionKind::UnsupportedWayland},
      {{"wayland-0", "", ":0", true}, SessionKind::Gnome},
      {{"wayland-1", "/run/sway.sock", "", true}, SessionKind::Sway},
      {{"", "", ":0", true}, SessionKind::GnomeX11},
  };
  for (const Case& each : cases) {
    EXPECT_EQ(sessionKindOf(each.environment), each.kind) << each.environment.waylandDisplay;
  }
  // A compositor without a window list: nothing is placed, and nothing crashes.
  auto unknown = openSessionWindowSystem({"wayland-0", "", ""});
  EXPECT_TRUE(unknown->extentsAreWindowRelative());
  EXPECT_TRUE(unknown->clientsTopFirst().empty());
  EXPECT_EQ(unknown->capture({0, 0, 10, 10}), nullptr);
}

}  // namespace
}  // namespace morvel::linux_ax
