#include "app/Dispatcher.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

// Three lines inside the rectangle (500, 300, 100, 60) on a display with two
// pixels per point.
json formScene() {
  return {{"screen",
           {{"scale", 2},
            {"lines",
             {{{"text", "Name"}, {"confidence", 0.5}, {"rect", {500, 300, 100, 20}}},
              {{"text", "Email"}, {"confidence", 0.3}, {"rect", {500, 320, 50, 20}}},
              {{"text", "Phone"}, {"rect", {500, 340, 50, 20}}},
              {{"text", "elsewhere"}, {"rect", {0, 0, 50, 20}}}}}}}};
}

json ocrRequest(json x, json y, json w, json h) {
  return {{"cmd", "ocr-region"}, {"x", std::move(x)}, {"y", std::move(y)}, {"w", std::move(w)}, {"h", std::move(h)}};
}

TEST(OcrRegionCommand, RepliesWithJoinedTextAndPixelLineRecords) {
  SimDesktopFixture fixture(formScene());
  json reply = handle(ocrRequest(500, 300, 100, 60), fixture.platform());

  EXPECT_EQ(reply.size(), 3u);  // "ok", "text", "lines"
  EXPECT_EQ(reply["ok"], true);
  EXPECT_EQ(reply["text"], "Name\nEmail\nPhone");
  ASSERT_EQ(reply["lines"].size(), 3u);
  // Full width of a 100-point rectangle at two pixels per point, from its corner.
  const json& name = reply["lines"][0];
  EXPECT_EQ(name.size(), 3u);
  EXPECT_EQ(name["text"], "Name");
  EXPECT_EQ(name["confidence"], 0.5);
  const json frame = {{"x", 0}, {"y", 0}, {"w", 200}, {"h", 40}};
  for (const auto& [key, value] : frame.items()) {
    EXPECT_DOUBLE_EQ(name["frame"][key].get<double>(), value.get<double>()) << key;
  }
  EXPECT_EQ(reply["lines"][1]["confidence"], 0.30000001192092896);
  EXPECT_DOUBLE_EQ(reply["lines"][2]["frame"]["y"].get<double>(), 80);
}

TEST(OcrRegionCommand, EmptyRegionAnswersEmptyWithoutCapture) {
  SimDesktopFixture fixture(formScene());
  for (const json& request : {ocrRequest(500, 300, 0, 60), ocrRequest(500, 300, 100, false)}) {
    json reply = handle(request, fixture.platform());
    EXPECT_EQ(reply, json({{"ok", true}, {"text", ""}, {"lines", json::array()}}));
  }
  EXPECT_EQ(fixture.stats()["captures"], 0);

  json failing = formScene();
  failing["screen"]["captureFails"] = true;
  SimDesktopFixture noImage(failing);
  EXPECT_EQ(handle(ocrRequest(500, 300, 100, 60), noImage.platform()),
            json({{"ok", true}, {"text", ""}, {"lines", json::array()}}));
}

}  // namespace
}  // namespace morvel
