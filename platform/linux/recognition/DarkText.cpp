#include "platform/linux/recognition/DarkText.h"

#include "platform/linux/image/FlatAreas.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace morvel::linux_ax {
namespace {

constexpr int white = 255;
constexpr int middleGrey = 128;
// Grounds are flat areas that hold a square of at least this side: the space
// around and between texts, a selected row that its text nearly fills, a panel.
// The flat core of a stroke is narrower however far the stroke reaches: a
// 48-pixel bold stem is about 7 pixels wide, its core about 5, and the core of a
// bold "O" rings an area 30 pixels wide and tall.
constexpr int smallestGroundSide = 9;
// Neighbours this close in shade count as flat: the steps of a gradient (a
// title bar) are flat, the smoothed edge of a glyph is not.
constexpr int flatTolerance = 4;
// How far a piece of ground may lie from the large ground it belongs to.
constexpr std::uint16_t groundPieceReach = 16;

constexpr int noGround = FlatAreas::none;

bool near(int shade, int other) { return std::abs(shade - other) <= flatTolerance; }

// Which ground each pixel belongs to (an index into the grounds, or noGround).
using GroundMap = std::vector<int>;

// Ground pixels never change in the searches below: each is its own nearest
// ground. Every other pixel takes the nearest ground pixel by city-block
// distance, in two raster passes (left and above, then right and below),
// keeping the first of equally near ones. A pixel is named by its index: the
// ground and the shade of the nearest one are looked up from it.
template <typename Distance>
struct NearestPixels {
  static constexpr Distance unreached = std::numeric_limits<Distance>::max();
  std::vector<Distance> distance;
  std::vector<std::uint32_t> pixel;

  void start(std::size_t size) {
    distance.assign(size, unreached);
    pixel.resize(size);
  }
  void seed(std::size_t index) {
    distance[index] = 0;
    pixel[index] = static_cast<std::uint32_t>(index);
  }
  // Takes what `from` reached when it is nearer through it, and no farther than `reach`.
  void take(std::size_t to, std::size_t from, Distance reach) {
    const Distance through = distance[from];
    if (through < reach && through + 1 < distance[to]) {
      distance[to] = static_cast<Distance>(through + 1);
      pixel[to] = pixel[from];
    }
  }
};

// Runs `step(to, from)` for every pixel off the grounds and each of its four
// neighbours, in the order of the two raster passes.
template <typename Step>
void sweep(const GroundMap& grounds, int width, int height, Step step) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t index = static_cast<std::size_t>(y) * width + x;
      if (grounds[index] != noGround) continue;
      if (x > 0) step(index, index - 1);
      if (y > 0) step(index, index - width);
    }
  }
  for (int y = height - 1; y >= 0; --y) {
    for (int x = width - 1; x >= 0; --x) {
      const std::size_t index = static_cast<std::size_t>(y) * width + x;
      if (grounds[index] != noGround) continue;
      if (x + 1 < width) step(index, index + 1);
      if (y + 1 < height) step(index, index + width);
    }
  }
}

// Small flat areas are either pieces of a ground cut off by text (the corners
// of a selected row that its text nearly fills) or the flat inside of a thick
// stroke. A piece has the shade of a large ground close by; a stroke has not.
// Dark and light grounds are looked for apart, dark first: the nearest ground
// of a piece in a corner of a selected row may be the light one around the
// row. Neither is looked for across a ground of the other shade (pieces found
// before included): the flat cores of bold white letters on a dark bar are no
// pieces of the white page beside the bar. Each search goes only as far as a
// piece may lie.
void addGroundPieces(GroundMap& grounds, const std::vector<bool>& inSmallAreas, const GreyImage& image) {
  using Near = NearestPixels<std::uint8_t>;
  Near nearest;
  for (bool dark : {true, false}) {
    nearest.start(grounds.size());
    for (std::size_t index = 0; index < grounds.size(); ++index) {
      if (grounds[index] != noGround && (image.pixels[index] < middleGrey) == dark) nearest.seed(index);
    }
    sweep(grounds, image.width, image.height,
          [&](std::size_t to, std::size_t from) { nearest.take(to, from, groundPieceReach); });
    for (std::size_t index = 0; index < grounds.size(); ++index) {
      if (!inSmallAreas[index] || grounds[index] != noGround || nearest.distance[index] == Near::unreached) continue;
      const std::uint32_t pixel = nearest.pixel[index];
      if (near(image.pixels[pixel], image.pixels[index])) grounds[index] = grounds[pixel];
    }
  }
}

// The nearest ground pixel of every pixel, however far.
NearestPixels<std::uint16_t> nearestGroundPixels(const GroundMap& grounds, const GreyImage& image) {
  using Near = NearestPixels<std::uint16_t>;
  Near nearest;
  nearest.start(grounds.size());
  for (std::size_t index = 0; index < grounds.size(); ++index) {
    if (grounds[index] != noGround) nearest.seed(index);
  }
  sweep(grounds, image.width, image.height,
        [&](std::size_t to, std::size_t from) { nearest.take(to, from, Near::unreached - 1); });
  return nearest;
}

// Whether the text on each ground is lighter than the ground: the pixels
// attributed to a ground that differ from it are its text.
std::vector<bool> lightTextGrounds(const GroundMap& grounds, const std::vector<std::uint32_t>& nearest,
                                   const GreyImage& image, int groundCount) {
  std::vector<long long> lighter(static_cast<std::size_t>(groundCount));
  std::vector<long long> darker(static_cast<std::size_t>(groundCount));
  for (std::size_t index = 0; index < image.pixels.size(); ++index) {
    const int ground = grounds[nearest[index]];
    if (ground == noGround) continue;
    const int difference = int(image.pixels[index]) - int(image.pixels[nearest[index]]);
    if (difference > flatTolerance) lighter[static_cast<std::size_t>(ground)] += difference;
    if (difference < -flatTolerance) darker[static_cast<std::size_t>(ground)] -= difference;
  }
  std::vector<bool> light(static_cast<std::size_t>(groundCount));
  for (std::size_t ground = 0; ground < light.size(); ++ground) light[ground] = lighter[ground] > darker[ground];
  return light;
}

// A pixel seen against its ground: inverted when the ground's text is light,
// then stretched so that the ground is white.
std::uint8_t againstWhite(int shade, int ground, bool lightText) {
  if (lightText) {
    shade = white - shade;
    ground = white - ground;
  }
  return static_cast<std::uint8_t>(std::min(white, shade * white / std::max(ground, 1)));
}

// Without any flat area (a photograph), the most frequent shade is the ground
// and decides for the whole image.
void makeTextDarkWhole(GreyImage& image) {
  std::array<std::size_t, 256> counts{};
  for (std::uint8_t pixel : image.pixels) ++counts[pixel];
  const auto ground = static_cast<int>(std::max_element(counts.begin(), counts.end()) - counts.begin());
  for (std::uint8_t& pixel : image.pixels) pixel = againstWhite(pixel, ground, ground < middleGrey);
}

}  // namespace

void makeTextDark(GreyImage& image) {
  if (image.width <= 0 || image.height <= 0) return;
  FlatAreas areas = findFlatAreas(image, smallestGroundSide, flatTolerance);
  const int groundCount = areas.largeCount;
  if (groundCount == 0) {
    makeTextDarkWhole(image);
    return;
  }
  GroundMap grounds = std::move(areas.large);
  addGroundPieces(grounds, areas.inSmall, image);
  const std::vector<std::uint32_t> nearest = nearestGroundPixels(grounds, image).pixel;
  const std::vector<bool> lightText = lightTextGrounds(grounds, nearest, image, groundCount);
  std::vector<std::uint8_t> dark(image.pixels.size());
  for (std::size_t index = 0; index < image.pixels.size(); ++index) {
    const std::uint32_t pixel = nearest[index];
    dark[index] =
        againstWhite(image.pixels[index], image.pixels[pixel], lightText[static_cast<std::size_t>(grounds[pixel])]);
  }
  image.pixels = std::move(dark);
}

}  // namespace morvel::linux_ax
