// The parts of the GNOME window system that need no shell: the extension's
// window list as the helper reads it, its PNG captures turned grey and
// brought to the logical size, and the part of a screen cast frame a capture
// takes.

#include "platform/linux/gnome/LogicalPixels.h"
#include "platform/linux/gnome/PipeWireFrames.h"
#include "platform/linux/gnome/PngGrey.h"
#include "platform/linux/gnome/ShellWindows.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <png.h>
#include <wayland-client-protocol.h>

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
  return {{"version", shellReplyVersion},
          {"screen", {{"width", 1280}, {"height", 800}, {"monitors", 2}}},
          {"windows", windows}};
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
  EXPECT_EQ(list->monitorCount, 2);
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

// An Adam7-interlaced RGB PNG, which the simplified writer does not make.
std::vector<std::uint8_t> interlacedPngOf(int width, int height, std::vector<std::uint8_t> rgb) {
  std::vector<std::uint8_t> png;
  png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(writer);
  png_set_write_fn(
      writer, &png,
      [](png_structp to, png_bytep bytes, png_size_t length) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(to));
        out->insert(out->end(), bytes, bytes + length);
      },
      nullptr);
  png_set_IHDR(writer, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_bytep> rows;
  for (int y = 0; y < height; ++y) rows.push_back(&rgb[static_cast<std::size_t>(y) * width * 3]);
  png_set_rows(writer, info, rows.data());
  png_write_png(writer, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&writer, &info);
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
  auto interlaced = greyImageFromPng(interlacedPngOf(3, 2, rgb));
  ASSERT_TRUE(interlaced);
  EXPECT_EQ(interlaced->pixels, expected);

  const std::vector<std::uint8_t> truncated(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));
  const std::vector<std::uint8_t> notPng = {'G', 'I', 'F', '8', '9', 'a'};
  for (const auto& broken : {truncated, notPng, std::vector<std::uint8_t>{}}) {
    EXPECT_FALSE(greyImageFromPng(broken)) << broken.size();
  }
}

// At scale 1.25 the shell's picture of an 8x4 area is 10x5 pixels: left
// half black, right half white.
TEST(LogicalPixels, APictureAtAFractionalScaleIsBroughtToTheLogicalSize) {
  GreyImage physical{10, 5, std::vector<std::uint8_t>(50)};
  for (int y = 0; y < physical.height; ++y) {
    for (int x = 0; x < physical.width; ++x) physical.pixels[static_cast<std::size_t>(y) * 10 + x] = x < 5 ? 0 : 255;
  }
  auto logical = atLogicalSize(physical, 8, 4);
  ASSERT_TRUE(logical);
  ASSERT_EQ(logical->width, 8);
  ASSERT_EQ(logical->height, 4);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(logical->at(0, y), 0);
    EXPECT_EQ(logical->at(2, y), 0);
    EXPECT_EQ(logical->at(5, y), 255);
    EXPECT_EQ(logical->at(7, y), 255);
  }
  auto unscaled = atLogicalSize(physical, 10, 5);
  ASSERT_TRUE(unscaled);
  EXPECT_EQ(unscaled->pixels, physical.pixels);
  // Smaller than the area, another shape, or beyond any scale: not a picture of it.
  for (const auto& [width, height] : {std::pair{11, 5}, std::pair{8, 2}, std::pair{2, 1}, std::pair{0, 5}}) {
    EXPECT_FALSE(atLogicalSize(physical, width, height)) << width << "x" << height;
  }
}

// A frame of a 4x2 point screen (two rows of four points, each point a shade
// of its own) at scales 1 and 2, as the cast hands it over.
TEST(ScreenCastFrames, AnAreaIsTakenFromTheFrameAtTheFramesScale) {
  const PixelRect screen{100, 50, 4, 2};
  const auto shadeOf = [](int x, int y) { return static_cast<std::uint8_t>(10 + 40 * y + 10 * x); };
  for (const int scale : {1, 2}) {
    const int width = screen.width * scale;
    const int height = screen.height * scale;
    const int stride = width * 4 + 8;  // rows padded, as buffers may be
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        std::uint8_t* pixel = &bytes[static_cast<std::size_t>(y) * stride + x * 4];
        pixel[0] = pixel[1] = pixel[2] = shadeOf(x / scale, y / scale);
        pixel[3] = 255;
      }
    }
    const FrameBuffer frame{WL_SHM_FORMAT_XRGB8888, width, height, stride, false, bytes.data()};
    const struct {
      PixelRect area;
      std::vector<std::uint8_t> grey;
    } cases[] = {
        {{101, 50, 2, 2}, {shadeOf(1, 0), shadeOf(2, 0), shadeOf(1, 1), shadeOf(2, 1)}},
        {{103, 51, 1, 1}, {shadeOf(3, 1)}},
        {screen, {shadeOf(0, 0), shadeOf(1, 0), shadeOf(2, 0), shadeOf(3, 0), shadeOf(0, 1), shadeOf(1, 1),
                  shadeOf(2, 1), shadeOf(3, 1)}},
    };
    for (const auto& [area, expected] : cases) {
      auto part = partOfFrame(frame, screen, area);
      ASSERT_TRUE(part) << scale;
      GreyImage grey{area.width, area.height, std::vector<std::uint8_t>(expected.size())};
      ASSERT_TRUE(copyFrameToGrey(*part, area, area.x, area.y, grey));
      EXPECT_EQ(grey.pixels, expected) << "scale " << scale << " at " << area.x << "," << area.y;
    }
    for (const PixelRect& outside : {PixelRect{103, 50, 2, 1}, PixelRect{99, 50, 1, 1}, PixelRect{100, 51, 1, 2}}) {
      EXPECT_FALSE(partOfFrame(frame, screen, outside)) << outside.x << "," << outside.y;
    }
  }
}

}  // namespace
}  // namespace morvel::linux_ax
