#include "accessibility/AXNames.h"
#include "app/Dispatcher.h"
#include "commands/FingerprintCommand.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

// Children are given as json::array(...): a braced list holding one json value
// would be taken as a copy of that value by some compilers.
json element(std::string role, json title, json children = nullptr) {
  json node = {{"attrs", {{ax::AXRole, std::move(role)}}}};
  if (!title.is_null()) node["attrs"][ax::AXTitle] = std::move(title);
  if (!children.is_null()) node["children"] = std::move(children);
  return node;
}

// A desktop whose frontmost application shows `window`.
json desktopWith(json window, json screen = nullptr) {
  window["id"] = "window";
  json scene = {{"frontmost", {{"pid", 501}, {"bundleId", "com.example.mail"}}},
                {"applications", json::array({{{"pid", 501}, {"windows", json::array({std::move(window)})}}})}};
  if (!screen.is_null()) scene["screen"] = std::move(screen);
  return scene;
}

// The dump of a window as the command takes it: three levels deep, twelve children wide.
std::string dumpOf(const json& window) {
  SimDesktopFixture fixture(desktopWith(window));
  return dumpAXTree(fixture.ax(), fixture.element("window"), 0, 3, 12);
}

std::string axDigestOf(const json& window) {
  SimDesktopFixture fixture(desktopWith(window));
  return cmdFingerprint(fixture.platform(), std::nullopt)["axDigest"];
}

TEST(DumpAXTree, WritesOneIndentedRoleTitleLinePerElement) {
  EXPECT_EQ(dumpOf(element(ax::AXWindow, "Solo")), "AXWindow:Solo");
  EXPECT_EQ(dumpOf(element(ax::AXWindow, "Empty", json::array())), "AXWindow:Empty");

  json unreadableRole = {{"attrs", {{ax::AXRole, {{"error", "gone"}}}, {ax::AXTitle, "x"}}}};
  json window = element(
      ax::AXWindow, "Form",
      json::array({element(ax::AXGroup, nullptr,
                           json::array({unreadableRole, element(ax::AXStaticText, 42), element(ax::AXStaticText, 2.5)})),
                   element(ax::AXButton, "Save\nAll"), element(ax::AXTextField, {{"other", "attributed"}}),
                   element(ax::AXCheckBox, "")}));
  EXPECT_EQ(dumpOf(window),
            "AXWindow:Form\n"
            " AXGroup:\n"
            "  ?:x\n"
            "  AXStaticText:42\n"
            "  AXStaticText:2.5\n"
            " AXButton:Save\nAll\n"
            " AXTextField:\n"
            " AXCheckBox:");
}


// A chain window > depth 1 > depth 2 > depth 3 > depth 4.
json chain(const std::string& depth3Title, const std::string& depth4Title) {
  json below = element(ax::AXButton, depth4Title);
  for (const std::string& title : {depth3Title, std::string("2"), std::string("1")}) {
    below = element(ax::AXGroup, title, json::array({below}));
  }
  return element(ax::AXWindow, "Deep", json::array({below}));
}

// A window with `count` children titled by position, child `changed` retitled.
json wideWindow(int count, int changed) {
  json children = json::array();
  for (int index = 0; index < count; ++index) {
    children.push_back(element(ax::AXButton, index == changed ? "changed" : std::to_string(index)));
  }
  return element(ax::AXWindow, "Wide", children);
}

TEST(FingerprintBounds, DigestCoversDepthThreeAndTwelveChildrenOnly) {
  EXPECT_EQ(axDigestOf(chain("3", "4")), axDigestOf(chain("3", "changed")));
  EXPECT_NE(axDigestOf(chain("3", "4")), axDigestOf(chain("changed", "4")));

  const std::string unchanged = axDigestOf(wideWindow(20, -1));
  EXPECT_EQ(axDigestOf(wideWindow(20, 12)), unchanged);
  EXPECT_EQ(axDigestOf(wideWindow(20, 19)), unchanged);
  EXPECT_NE(axDigestOf(wideWindow(20, 11)), unchanged);
  EXPECT_NE(axDigestOf(wideWindow(20, 0)), unchanged);
}

TEST(FingerprintCommand, ReportsTheWindowItDigestedOrTheDigestOfNoWindow) {
  const std::string noWindowDigest = "26ed8f601ff89137615be86dc69cc25156fe02c48631b71fe7fd9aec40a6f320";
  const std::pair<json, json> cases[] = {
      {desktopWith(element(ax::AXWindow, "Inbox", json::array({element(ax::AXToolbar, nullptr)}))),
       {{"axDigest", sha256Hex("AXWindow:Inbox\n AXToolbar:")}, {"windowTitle", "Inbox"}, {"appBundleId", "com.example.mail"}}},
      {desktopWith(element(ax::AXWindow, nullptr)), {{"axDigest", sha256Hex("AXWindow:")}, {"appBundleId", "com.example.mail"}}},
      {json::object(), {{"axDigest", noWindowDigest}}},
      {{{"frontmost", {{"pid", 7}, {"bundleId", "com.example.daemon"}}},
        {"applications", json::array({{{"pid", 7}, {"children", json::array()}}})}},
       {{"axDigest", noWindowDigest}, {"appBundleId", "com.example.daemon"}}},
  };
  for (const auto& [scene, reply] : cases) {
    SimDesktopFixture fixture(scene);
    EXPECT_EQ(cmdFingerprint(fixture.platform(), std::nullopt), reply);
  }
}

json fingerprintRequest(json x, json y, json w, json h) {
  return {{"cmd", "fingerprint"}, {"x", std::move(x)}, {"y", std::move(y)}, {"w", std::move(w)}, {"h", std::move(h)}};
}

TEST(FingerprintCommand, AWholeRegionAddsTheDigestOfItsRecognisedTextAPartialOneIsIgnored) {
  json screen = {{"lines",
                  {{{"text", "Name"}, {"confidence", 0.3}, {"rect", {10, 10, 40, 12}}},
                   {{"text", "Email"}, {"rect", {10, 30, 40, 12}}}}}};
  SimDesktopFixture fixture(desktopWith(element(ax::AXWindow, "Inbox"), screen));

  json reply = handle(fingerprintRequest(0, 0, 100, 100), fixture.platform());
  EXPECT_EQ(reply["ocrDigest"], "564bc692540c4585cf85719076d01563a363e4f59c58d5a29bbbbe9b5bd70736");  // "Name\nEmail"
  EXPECT_EQ(reply["axDigest"], sha256Hex("AXWindow:Inbox"));
  EXPECT_EQ(fixture.stats()["captures"], 1);

  // A zero-size region makes no capture and digests the empty text.
  reply = handle(fingerprintRequest(0, 0, 0, 100), fixture.platform());
  EXPECT_EQ(reply["ocrDigest"], sha256Hex(""));
  EXPECT_EQ(fixture.stats()["captures"], 0);

  const json partialRegions[] = {
      {{"cmd", "fingerprint"}, {"x", 0}, {"y", 0}},
      fingerprintRequest(0, 0, 100, "100"),
      fingerprintRequest(nullptr, 0, 100, 100),
      {{"cmd", "fingerprint"}},
  };
  const json withoutText = {{"ok", true}, {"axDigest", sha256Hex("AXWindow:Inbox")}, {"windowTitle", "Inbox"},
                            {"appBundleId", "com.example.mail"}};
  for (const json& request : partialRegions) EXPECT_EQ(handle(request, fixture.platform()), withoutText) << request;
  EXPECT_EQ(fixture.stats()["captures"], 0);
}

}  // namespace
}  // namespace morvel
