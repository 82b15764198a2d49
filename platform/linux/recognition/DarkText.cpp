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
constexpr std::uint16_t unreached = std::numeric_limits<std::uint16_t>::max();

bool near(int shade, int other) { return std::abs(shade - other) <= flatTolerance; }

// Which ground each pixel belongs to (an index into the grounds, or noGround).
using GroundMap = std::vector<int>;

// For every pixel, the nearest pixel that belongs to a ground (by city-block
// distance, two raster passes): which ground, its shade, and how far it is.
struct Nearest {
  GroundMap ground;
  std::vector<std::uint8_t> shade;
  std::vector<std::uint16_t> distance;
};

// Pixels marked in `walls` are never reached.
Nearest nearestGround(GroundMap seeds, const GreyImage& image, const std::vector<bool>& walls = {}) {
  Nearest nearest{std::move(seeds), image.pixels, std::vector<std::uint16_t>(image.pixels.size(), unreached)};
  for (std::size_t index = 0; index < nearest.ground.size(); ++index) {
    if (nearest.ground[index] != noGround) nearest.distance[index] = 0;
  }
  auto take = [&](std::size_t to, std::size_t from) {
    if (!walls.empty() && walls[to]) return;
    if (nearest.distance[from] < unreached && nearest.distance[from] + 1 < nearest.distance[to]) {
      nearest.distance[to] = static_cast<std::uint16_t>(nearest.distance[from] + 1);
      nearest.ground[to] = nearest.ground[from];
      nearest.shade[to] = nearest.shade[from];
    }
  };
  const int width = image.width;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t index = static_cast<std::size_t>(y) * width + x;
      if (x > 0) take(index, index - 1);
      if (y > 0) take(index, index - width);
    }
  }
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = width - 1; x >= 0; --x) {
      const std::size_t index = static_cast<std::size_t>(y) * width + x;
      if (x + 1 < width) take(index, index + 1);
      if (y + 1 < image.height) take(index, index + width);
    }
  }
  return nearest;
}

GroundMap groundsOfShade(const GroundMap& grounds, const GreyImage& image, bool dark) {
  GroundMap kept(grounds.size(), noGround);
  for (std::size_t index = 0; index < grounds.size(); ++index) {
    if (grounds[index] != noGround && (image.pixels[index] < middleGrey) == dark) kept[index] = grounds[index];
  }
  return kept;
}

std::vector<bool> inGroundsOfShade(const GroundMap& grounds, const GreyImage& image, bool dark) {
  std::vector<bool> inside(grounds.size());
  for (std::size_t index = 0; index < grounds.size(); ++index) {
    inside[index] = grounds[index] != noGround && (image.pixels[index] < middleGrey) == dark;
  }
  return inside;
}

// Small flat areas are either pieces of a ground cut off by text (the corners
// of a selected row that its text nearly fills) or the flat inside of a thick
// stroke. A piece has the shade of a large ground close by; a stroke has not.
// Dark and light grounds are looked for apart: the nearest ground of a piece
// in a corner of a selected row may be the light one around the row. Neither
// is looked for across a ground of the other shade: the flat cores of bold
// white letters on a dark bar are no pieces of the white page beside the bar.
void addGroundPieces(GroundMap& grounds, const std::vector<bool>& inSmallAreas, const GreyImage& image) {
  for (bool dark : {true, false}) {
    const Nearest nearest =
        nearestGround(groundsOfShade(grounds, image, dark), image, inGroundsOfShade(grounds, image, !dark));
    for (std::size_t index = 0; index < grounds.size(); ++index) {
      if (inSmallAreas[index] && grounds[index] == noGround && nearest.distance[index] <= groundPieceReach &&
          near(nearest.shade[index], image.pixels[index])) {
        grounds[index] = nearest.ground[index];
      }
    }
  }
}

// Whether the text on each ground is lighter than the ground: the pixels
// attributed to a ground that differ from it are its text.
std::vector<bool> lightTextGrounds(const Nearest& nearest, const GreyImage& image, int groundCount) {
  std::vector<long long> lighter(static_cast<std::size_t>(groundCount));
  std::vector<long long> darker(static_cast<std::size_t>(groundCount));
  for (std::size_t index = 0; index < image.pixels.size(); ++index) {
    const int ground = nearest.ground[index];
    if (ground == noGround) continue;
    const int difference = int(image.pixels[index]) - int(nearest.shade[index]);
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
  const Nearest nearest = nearestGround(std::move(grounds), image);
  const std::vector<bool> lightText = lightTextGrounds(nearest, image, groundCount);
  for (std::size_t index = 0; index < image.pixels.size(); ++index) {
    image.pixels[index] =
        againstWhite(image.pixels[index], nearest.shade[index], lightText[static_cast<std::size_t>(nearest.ground[index])]);
  }
}

}  // namespace morvel::linux_ax
