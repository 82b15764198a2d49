// The parts of the GNOME window system that need no shell: the extension's
// window list as the helper reads it, and its PNG captures turned grey.

#include "platform/linux/gnome/PngGrey.h"
#include "platform/linux/gnome/ShellWindows.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <png.h>

namespace morvel::linux_ax {
namespace {

using nlohmann::json;

json rectJson(PixelRect rect) { return {{"x", rect.x}, {"y", rect.y}, {"width", rect.width}, {"height", rect.height}}; }

json shellWindow(const char* id, const char* type, PixelRect client, PixelRect buffer) {
  return {{"id", id},       {"pid", 4242},          {"title", "Contacts"},    {"wmClass", "contacts-app"},
          {"applicationId", nullptr}, {"type", type}, {"xwayland", false},       {"focused", false},
          {"frame", rectJson(client)}, {"client", rectJson(client)}, {"buffer", rectJson(buffer)}};
}

json listWith(json windows) {
  return {{"version", shellReplyVersion}, {"screen", {{"width", 1280}, {"height", 800}}}, {"windows", windows}};
}

TEST(ShellWindows, ContentWindowsComeInTheShellsOrderWithTheirRectangles) {
  json shadowed = shellWindow("4294967297", "normal", {310, 170, 800, 600}, {284, 147, 852, 652});
  shadowed["focused"] = true;
  json x11 = shellWindow("12", "dialog", {40, 60, 300, 200}, {40, 30, 300, 230});
  x11["xwayland"] = true;
  x11["frame"] = rectJson({40, 30, 300, 230});
  x11["pid"] = 0;
  x11["applicationId"] = "org.example.Dialog";
  json menu = shellWindow("13", "other", {320, 200, 100, 80}, {320, 200, 100, 80});
  json noRect = shellWindow("14", "normal", {0, 0, 10, 10}, {0, 0, 10, 10});
  noRect.erase("buffer");
  json badId = shellWindow("15x", "normal", {0, 0, 10, 10}, {0, 0, 10, 10});
  json negative = shellWindow("16", "normal", {0, 0, -1, 10}, {0, 0, 10, 10});

  auto list = parseShellWindows(listWith({shadowed, menu, x11, noRect, badId, negative}).dump());
  ASSERT_TRUE(list);
  EXPECT_EQ(list->screenWidth, 1280);
  EXPECT_EQ(list->screenHeight, 800);
  ASSERT_EQ(list->topFirst.size(), 2U);
  const ListedWindow& front = list->topFirst[0];
  EXPECT_EQ(front.id, 4294967297U);
  EXPECT_EQ(front.pid, 4242);
  EXPECT_EQ(front.appId, "contacts-app");  // no GTK application id: the class
  EXPECT_EQ(front.title, "Contacts");
  EXPECT_TRUE(front.focused);
  EXPECT_FALSE(front.xwayland);
  EXPECT_EQ(front.content, (PixelRect{310, 170, 800, 600}));
  EXPECT_EQ(front.surface, (PixelRect{284, 147, 852, 652}));
  const ListedWindow& dialog = list->topFirst[1];
  EXPECT_EQ(dialog.id, 12U);
  EXPECT_EQ(dialog.pid, std::nullopt);
  EXPECT_EQ(dialog.appId, "org.example.Dialog");
  EXPECT_TRUE(dialog.xwayland);
  EXPECT_EQ(dialog.frame, (PixelRect{40, 30, 300, 230}));
  EXPECT_EQ(dialog.content, (PixelRect{40, 60, 300, 200}));
  EXPECT_EQ(dialog.surface, std::nullopt);  // an X client's extents are global
}

TEST(ShellWindows, RepliesOfAnotherShapeOrVersionAreNoList) {
  json otherVersion = listWith(json::array());
  otherVersion["version"] = shellReplyVersion + 1;
  json windowsNotAList = listWith(json::object());
  const std::string replies[] = {"", "not json", "[]", "{\"version\":1}", otherVersion.dump(), windowsNotAList.dump()};
  for (const std::string& reply : replies) EXPECT_FALSE(parseShellWindows(reply)) << reply;
  EXPECT_TRUE(parseShellWindows(listWith(json::array()).dump()));
}

std::vector<std::uint8_t> pngOf(int width, int height, const std::vector<std::uint8_t>& rgb,
                                png_uint_32 format = PNG_FORMAT_RGB) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = format;
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr));
  std::vector<std::uint8_t> png(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr));
  png.resize(size);
  return png;
}

TEST(PngGrey, CapturesAreReadRowByRowWithTheLuminanceOfOtherCaptures) {
  // White, red, green / blue, black, grey.
  const std::vector<std::uint8_t> rgb = {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 128, 128, 128};
  const std::vector<std::uint8_t> png = pngOf(3, 2, rgb);
  auto grey = greyImageFromPng(png);
  ASSERT_TRUE(grey);
  EXPECT_EQ(grey->width, 3);
  EXPECT_EQ(grey->height, 2);
  const std::vector<std::uint8_t> expected = {255, luminance(255, 0, 0), luminance(0, 255, 0),
                                              luminance(0, 0, 255), 0, 128};
  EXPECT_EQ(grey->pixels, expected);
  // As the shell sends them: with alpha, opaque but for one white pixel half
  // covering black.
  const std::vector<std::uint8_t> rgba = {255, 255, 255, 255, 255, 0, 0, 255, 0, 255, 0, 255,
                                          0, 0, 255, 255, 0, 0, 0, 255, 255, 255, 255, 128};
  auto fromRgba = greyImageFromPng(pngOf(3, 2, rgba, PNG_FORMAT_RGBA));
  ASSERT_TRUE(fromRgba);
  EXPECT_EQ(fromRgba->pixels, expected);

  const std::vector<std::uint8_t> truncated(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));
  const std::vector<std::uint8_t> notPng = {'G', 'I', 'F', '8', '9', 'a'};
  for (const auto& broken : {truncated, notPng, std::vector<std::uint8_t>{}}) {
    EXPECT_FALSE(greyImageFromPng(broken)) << broken.size();
  }
}

}  // namespace
}  // namespace morvel::linux_ax
