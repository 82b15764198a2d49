// morvel_image_bench: the image steps before recognition, our code side by side
// with Leptonica's operations on the same captured pixels (the painted page of
// UI text at 800x600 and 1920x1080): medians of repeated runs and whether both
// give the same pixels. Run inside a virtual desktop:
// bench/linux/run-image-bench.sh. Reports; never fails on a time.

#include "bench/Timing.h"
#include "platform/linux/image/FlatAreas.h"
#include "platform/linux/image/LeptonicaPix.h"
#include "platform/linux/recognition/DarkText.h"
#include "platform/linux/recognition/RecognitionPlan.h"
#include "platform/linux/x11/X11Capture.h"
#include "support/Desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

namespace {

using morvel::bench::median;
using morvel::bench::millisecondsOf;
using morvel::linux_ax::GreyImage;
using morvel::linux_ax::PixPtr;
using morvel::testing::ScreenRect;

constexpr int rounds = 15;

double medianMs(const std::function<void()>& work) {
  std::vector<double> samples;
  for (int round = 0; round < rounds; ++round) samples.push_back(millisecondsOf(work));
  return median(samples);
}

void compare(const char* step, double oursMs, double leptonicaMs, const char* same) {
  std::printf("  %-44s ours %7.2f ms  leptonica %7.2f ms  (%.2fx)  same result: %s\n", step, oursMs, leptonicaMs,
              leptonicaMs / oursMs, same);
}

// The region's pixels as the X server holds them: 32-bit words 0x00RRGGBB.
std::vector<std::uint32_t> screenWords(const ScreenRect& region) {
  Display* display = XOpenDisplay(nullptr);
  std::vector<std::uint32_t> words;
  if (display == nullptr) return words;
  XImage* image = XGetImage(display, DefaultRootWindow(display), region.x, region.y,
                            static_cast<unsigned>(region.width), static_cast<unsigned>(region.height), AllPlanes,
                            ZPixmap);
  if (image != nullptr && image->bits_per_pixel == 32) {
    for (int y = 0; y < region.height; ++y) {
      for (int x = 0; x < region.width; ++x) words.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)));
    }
  }
  if (image != nullptr) XDestroyImage(image);
  XCloseDisplay(display);
  return words;
}

// The enlargement as it was written by hand: each target pixel centre maps
// back a quarter pixel to either side of its source pixel, weighted 3:1.
GreyImage handUpscaleTwice(const GreyImage& image) {
  GreyImage larger{image.width * 2, image.height * 2, {}};
  larger.pixels.resize(static_cast<std::size_t>(larger.width) * larger.height);
  for (int y = 0; y < larger.height; ++y) {
    const int sourceY = y / 2;
    const int neighbourY = (y % 2 == 0) ? std::max(sourceY - 1, 0) : std::min(sourceY + 1, image.height - 1);
    for (int x = 0; x < larger.width; ++x) {
      const int sourceX = x / 2;
      const int neighbourX = (x % 2 == 0) ? std::max(sourceX - 1, 0) : std::min(sourceX + 1, image.width - 1);
      const unsigned weighted = 9u * image.at(sourceX, sourceY) + 3u * image.at(neighbourX, sourceY) +
                                3u * image.at(sourceX, neighbourY) + 1u * image.at(neighbourX, neighbourY);
      larger.pixels[static_cast<std::size_t>(y) * larger.width + x] = static_cast<std::uint8_t>((weighted + 8) / 16);
    }
  }
  return larger;
}

// Grey conversion of the captured words: ours in one pass, Leptonica's needs the
// words as its RGB image first (red in the high byte).
void compareGrey(const ScreenRect& region) {
  const std::vector<std::uint32_t> words = screenWords(region);
  if (words.empty()) return;
  GreyImage ours{region.width, region.height, std::vector<std::uint8_t>(words.size())};
  const double oursMs = medianMs([&] {
    for (std::size_t index = 0; index < words.size(); ++index) {
      const std::uint32_t word = words[index];
      ours.pixels[index] = morvel::linux_ax::luminance((word >> 16) & 0xff, (word >> 8) & 0xff, word & 0xff);
    }
  });
  GreyImage theirs;
  const double leptonicaMs = medianMs([&] {
    PixPtr rgb(pixCreateNoInit(region.width, region.height, 32));
    l_uint32* data = pixGetData(rgb.get());
    for (std::size_t index = 0; index < words.size(); ++index) data[index] = words[index] << 8;
    PixPtr grey(pixConvertRGBToGray(rgb.get(), 0.299F, 0.587F, 0.114F));
    theirs = morvel::linux_ax::fromPix(grey.get());
  });
  std::size_t differing = 0;
  for (std::size_t index = 0; index < words.size(); ++index) differing += ours.pixels[index] != theirs.pixels[index];
  const std::string same = differing == 0 ? "yes" : std::to_string(differing) + " pixels differ";
  compare("grey conversion", oursMs, leptonicaMs, same.c_str());
}

// The same bilinear enlargement to twice the size.
void compareScaling(const GreyImage& prepared) {
  GreyImage ours;
  const double oursMs = medianMs([&] { ours = handUpscaleTwice(prepared); });
  GreyImage theirs;
  const double leptonicaMs = medianMs([&] {
    PixPtr pix = morvel::linux_ax::toPix(prepared);
    PixPtr larger(pixScaleGray2xLI(pix.get()));
    theirs = morvel::linux_ax::fromPix(larger.get());
  });
  std::size_t differing = 0;
  for (std::size_t index = 0; index < ours.pixels.size(); ++index) {
    differing += std::abs(int(ours.pixels[index]) - int(theirs.pixels[index])) > 8;
  }
  const std::string same = std::to_string(differing) + " pixels differ by more than 8";
  compare("2x bilinear enlargement", oursMs, leptonicaMs, same.c_str());
}

// Rows with no pixel darker than the ground's threshold.
void compareBlankRows(const GreyImage& prepared) {
  constexpr std::uint8_t blankShade = 224;
  std::vector<bool> ours(static_cast<std::size_t>(prepared.height));
  const double oursMs = medianMs([&] {
    for (int y = 0; y < prepared.height; ++y) {
      const auto* row = prepared.pixels.data() + static_cast<std::size_t>(y) * prepared.width;
      ours[static_cast<std::size_t>(y)] =
          std::all_of(row, row + prepared.width, [](std::uint8_t pixel) { return pixel >= blankShade; });
    }
  });
  std::vector<bool> theirs(static_cast<std::size_t>(prepared.height));
  const double leptonicaMs = medianMs([&] {
    PixPtr pix = morvel::linux_ax::toPix(prepared);
    PixPtr ink(pixThresholdToBinary(pix.get(), blankShade));
    morvel::linux_ax::NumaPtr counts(pixCountPixelsByRow(ink.get(), nullptr));
    for (int y = 0; y < prepared.height; ++y) {
      l_int32 count = 0;
      numaGetIValue(counts.get(), y, &count);
      theirs[static_cast<std::size_t>(y)] = count == 0;
    }
  });
  compare("blank rows (band splitter)", oursMs, leptonicaMs, ours == theirs ? "yes" : "no");
}

// The dark-text step whole, and the part of it Leptonica does: finding the
// large flat areas (erosion by the smallest ground's square, labelling).
void timeDarkText(const GreyImage& captured) {
  constexpr int smallestGroundSide = 9;
  constexpr int flatTolerance = 4;
  const double areasMs = medianMs([&] { morvel::linux_ax::findFlatAreas(captured, smallestGroundSide, flatTolerance); });
  const double wholeMs = medianMs([&] {
    GreyImage copy = captured;
    morvel::linux_ax::makeTextDark(copy);
  });
  std::printf("  %-44s whole step %7.2f ms, of which its flat areas (leptonica) %7.2f ms\n", "dark-text step", wholeMs,
              areasMs);
}

void compareAll(const ScreenRect& region) {
  std::printf("== %dx%d region\n", region.width, region.height);
  compareGrey(region);
  morvel::linux_ax::X11Capture capture;
  const auto captured = capture.capture({double(region.x), double(region.y), double(region.width), double(region.height)});
  if (!captured) return;
  timeDarkText(captured->visible());
  GreyImage prepared = captured->visible();
  morvel::linux_ax::makeTextDark(prepared);
  compareScaling(prepared);
  compareBlankRows(prepared);
}

}  // namespace

int main() {
  constexpr int screenWidth = 1920;
  constexpr int screenHeight = 1080;
  morvel::testing::FixtureApplication page(
      {MORVEL_PAINTED_TEXT_APP_PATH, "page", std::to_string(screenWidth), std::to_string(screenHeight)});
  if (!page.started()) {
    std::puts("the painted page did not come up");
    return 1;
  }
  std::printf("processors: %u\n", std::thread::hardware_concurrency());
  for (const ScreenRect& region : {ScreenRect{0, 0, 800, 600}, ScreenRect{0, 0, screenWidth, screenHeight}}) {
    compareAll(region);
  }
  return 0;
}
