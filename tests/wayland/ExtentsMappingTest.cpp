// How toolkits' extents are mapped onto the window system's pixels: scales told
// from window sizes measured both ways, and frames and hit points carried across.

#include "platform/linux/atspi/ExtentsMapping.h"
#include "platform/linux/atspi/SurfacePlacement.h"

#include <gtest/gtest.h>

#include <climits>

namespace morvel::linux_ax {
namespace {

TEST(ExtentsMapping, AScaleIsTakenOnlyWhereWidthHeightAndPlaceAllAgree) {
  struct Case {
    const char* what;
    PixelRect toolkit;
    PixelRect onScreen;
    std::optional<double> scale;
  };
  const Case cases[] = {
      // Measured on the X server with openbox and the contacts application.
      {"GTK 3 at 2, against its frame", {379, 113, 522, 573}, {759, 227, 1042, 1146}, 2.0},
      {"GTK 3 at 2, against its client area (no title bar)", {379, 113, 522, 573}, {760, 247, 1040, 1120}, std::nullopt},
      {"Qt at 1.5, client area", {1, 563, 700, 500}, {1, 845, 1050, 750}, 1.5},
      {"measured from the window", {0, 0, 400, 300}, {300, 200, 800, 600}, 2.0},
      {"Xft.dpi 110, no simple fraction", {0, 0, 1000, 700}, {0, 0, 1146, 802}, 1.146},
      {"unscaled", {10, 20, 520, 560}, {10, 20, 520, 560}, std::nullopt},
      {"unscaled with a frame border", {10, 20, 520, 560}, {9, 0, 522, 582}, std::nullopt},
      {"a shadow around the surface", {0, 0, 352, 352}, {0, 0, 300, 300}, std::nullopt},
      {"width and height disagree", {0, 0, 400, 300}, {0, 0, 800, 450}, std::nullopt},
      {"placed elsewhere than its scale says", {100, 100, 400, 300}, {900, 900, 800, 600}, std::nullopt},
      {"too small to tell", {10, 10, 20, 20}, {20, 20, 40, 40}, std::nullopt},
      {"empty", {0, 0, 0, 0}, {0, 0, 800, 600}, std::nullopt},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    const auto scale = consistentScale(test.toolkit, test.onScreen);
    ASSERT_EQ(scale.has_value(), test.scale.has_value());
    if (scale) {
      EXPECT_NEAR(*scale, *test.scale, 0.001);
    }
  }
}

TEST(ExtentsMapping, FramesScaleOntoTheScreenAndPointsComeBackIntoThem) {
  const PixelRect window{379, 113, 522, 573};
  const PixelRect frame{759, 227, 1042, 1146};
  const ExtentsMapping mapping = scaledOnto(window, frame, 2);
  // The window stands for the window system's rectangle, not its scaled self.
  EXPECT_EQ(mapping.toScreen(window), frame);

  const PixelRect button{390, 133, 41, 17};
  const PixelRect onScreen = mapping.toScreen(button);
  EXPECT_EQ(onScreen, (PixelRect{781, 267, 82, 34}));
  const PixelPoint centre = mapping.toToolkit(onScreen.x + onScreen.width / 2, onScreen.y + onScreen.height / 2);
  EXPECT_TRUE(button.contains(centre.x, centre.y));
  const PixelPoint corner = mapping.toToolkit(onScreen.x, onScreen.y);
  EXPECT_EQ(corner.x, button.x);
  EXPECT_EQ(corner.y, button.y);

  // Neighbours at 1.5 stay neighbours: one's right edge is the next one's left.
  const ExtentsMapping oneAndAHalf = scaledOnto({1, 563, 700, 500}, {1, 845, 1050, 750}, 1.5);
  const PixelRect left = oneAndAHalf.toScreen({10, 600, 7, 7});
  const PixelRect right = oneAndAHalf.toScreen({17, 600, 7, 7});
  EXPECT_EQ(left.x + left.width, right.x);

  // Unscaled, a window's origin is an exact shift both ways; a window inset
  // in the window system's by a border it draws (GTK 4 on X11) lies centred.
  const ExtentsMapping shifted = placedOnto({0, 0, 800, 600}, {}, {300, 200, 800, 600});
  EXPECT_EQ(shifted.toScreen({10, 20, 30, 40}), (PixelRect{310, 220, 30, 40}));
  EXPECT_EQ(shifted.toToolkit(310, 220).x, 10);
  const ExtentsMapping inset = placedOnto({0, 0, 1666, 868}, {}, {122, 101, 1676, 878});
  EXPECT_EQ(inset.toScreen({10, 56, 487, 34}), (PixelRect{137, 162, 487, 34}));
  EXPECT_EQ(inset.toScreen({0, 0, 1666, 868}), (PixelRect{122, 101, 1676, 878}));
  EXPECT_EQ(inset.toToolkit(137, 162).y, 56);

  // A GTK 4 popover maps onto its own window (measured: gtk4-widget-factory's
  // combo list), which may be taller by the arrow toward its opener: above a
  // list that hangs below its combo box, below one that opens upward.
  const PixelRect list{10, 62, 493, 108};
  const PixelRect item{28, 70, 457, 30};
  const PixelRect anchored = inset.toScreen(list);
  const auto below = popoverOnto(list, {134, 194, 493, 114}, anchored);
  ASSERT_TRUE(below);
  EXPECT_EQ(below->toScreen(item), (PixelRect{152, 208, 457, 30}));
  EXPECT_EQ(below->toScreen(list), (PixelRect{134, 200, 493, 108}));
  EXPECT_EQ(below->toToolkit(152, 208).y, item.y);
  const auto above = popoverOnto(list, {134, 40, 493, 114}, anchored);
  ASSERT_TRUE(above);
  EXPECT_EQ(above->toScreen(item), (PixelRect{152, 48, 457, 30}));
  const auto exact = popoverOnto(list, {134, 194, 493, 108}, anchored);
  ASSERT_TRUE(exact);
  EXPECT_EQ(exact->screenWindow, (PixelRect{134, 194, 493, 108}));
  for (const PixelRect& other : {PixelRect{134, 194, 499, 114}, PixelRect{134, 194, 493, 160}, PixelRect{134, 194, 480, 108}}) {
    EXPECT_FALSE(popoverOnto(list, other, anchored)) << other.width << "x" << other.height;
  }

  // Whatever an application reports, the arithmetic stays within bounds.
  const PixelRect huge = mapping.toScreen({INT_MAX - 1, INT_MIN + 1, INT_MAX, INT_MAX});
  EXPECT_EQ(huge.x, INT_MAX);
  EXPECT_EQ(huge.y, INT_MIN);
  EXPECT_GE(mapping.toToolkit(INT_MIN, INT_MAX).y, 0);
}

}  // namespace
}  // namespace morvel::linux_ax
