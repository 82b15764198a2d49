#include "platform/linux/recognition/DarkText.h"

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

constexpr int noGround = -1;
constexpr std::uint16_t unreached = std::numeric_limits<std::uint16_t>::max();

bool near(int shade, int other) { return std::abs(shade - other) <= flatTolerance; }

// Flat pixels are near in shade to their four neighbours (those inside the
// image); one row of marks.
void markFlat(const GreyImage& image, int y, std::vector<bool>& flat) {
  const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
  const std::uint8_t* above = y > 0 ? row - image.width : nullptr;
  const std::uint8_t* below = y + 1 < image.height ? row + image.width : nullptr;
  for (int x = 0; x < image.width; ++x) {
    const int shade = row[x];
    flat[static_cast<std::size_t>(x)] = (x == 0 || near(row[x - 1], shade)) &&
                                        (x + 1 == image.width || near(row[x + 1], shade)) &&
                                        (above == nullptr || near(above[x], shade)) &&
                                        (below == nullptr || near(below[x], shade));
  }
}

// Which ground each pixel belongs to (an index into the grounds, or noGround).
using GroundMap = std::vector<int>;

// A run of flat pixels within one row. Runs that touch across rows belong to
// one flat area.
struct Run {
  int row = 0;
  int left = 0;
  int right = 0;  // one past the last pixel
  int parent = 0;
  bool holdsSquare = false;  // of smallestGroundSide flat pixels, it or an area joined to it
};

class FlatAreas {
 public:
  explicit FlatAreas(const GreyImage& image)
      : flat_(static_cast<std::size_t>(image.width)), square_(static_cast<std::size_t>(image.width)) {
    std::size_t previousRowStart = 0;
    for (int y = 0; y < image.height; ++y) {
      const std::size_t rowStart = runs_.size();
      collectRow(image, y);
      joinTouching(previousRowStart, rowStart, runs_.size());
      previousRowStart = rowStart;
    }
  }

  // The large flat areas numbered as grounds, and the pixels of the small ones.
  GroundMap grounds(const GreyImage& image, int& groundCount, std::vector<bool>& inSmallAreas) {
    GroundMap map(image.pixels.size(), noGround);
    inSmallAreas.assign(image.pixels.size(), false);
    std::vector<int> groundOfRoot(runs_.size(), noGround);
    groundCount = 0;
    for (std::size_t index = 0; index < runs_.size(); ++index) {
      const Run& run = runs_[index];
      const int area = root(static_cast<int>(index));
      const bool large = runs_[area].holdsSquare;
      if (large && groundOfRoot[area] == noGround) groundOfRoot[area] = groundCount++;
      const std::size_t first = static_cast<std::size_t>(run.row) * image.width + run.left;
      for (std::size_t pixel = first; pixel < first + static_cast<std::size_t>(run.right - run.left); ++pixel) {
        if (large) {
          map[pixel] = groundOfRoot[area];
        } else {
          inSmallAreas[pixel] = true;
        }
      }
    }
    return map;
  }

 private:
  void collectRow(const GreyImage& image, int y) {
    markFlat(image, y, flat_);
    measureSquares();
    for (int x = 0; x < image.width;) {
      if (!flat_[static_cast<std::size_t>(x)]) {
        ++x;
        continue;
      }
      const int left = x;
      while (x < image.width && flat_[static_cast<std::size_t>(x)]) ++x;
      const int self = static_cast<int>(runs_.size());
      const bool holdsSquare = std::any_of(square_.begin() + left, square_.begin() + x,
                                           [](int side) { return side >= smallestGroundSide; });
      runs_.push_back({y, left, x, self, holdsSquare});
    }
  }

  // For each pixel of the row, the side of the largest square of flat pixels
  // whose bottom-right corner it is, from the same for the row above.
  void measureSquares() {
    int aboveLeft = 0;
    for (std::size_t x = 0; x < flat_.size(); ++x) {
      const int above = square_[x];
      const int left = x > 0 ? square_[x - 1] : 0;
      square_[x] = flat_[x] ? 1 + std::min({above, left, aboveLeft}) : 0;
      aboveLeft = above;
    }
  }

  // Runs of the previous row [previous, current) and this row [current, end)
  // that overlap are one area: where they overlap, vertical neighbours are
  // both flat, so near in shade.
  void joinTouching(std::size_t previous, std::size_t current, std::size_t end) {
    std::size_t above = previous;
    for (std::size_t index = current; index < end; ++index) {
      while (above < current && runs_[above].right <= runs_[index].left) ++above;
      for (std::size_t other = above; other < current && runs_[other].left < runs_[index].right; ++other) {
        join(static_cast<int>(other), static_cast<int>(index));
      }
    }
  }

  int root(int index) {
    while (runs_[index].parent != index) {
      runs_[index].parent = runs_[runs_[index].parent].parent;
      index = runs_[index].parent;
    }
    return index;
  }

  void join(int first, int second) {
    const int kept = root(first);
    const int merged = root(second);
    if (kept == merged) return;
    runs_[kept].holdsSquare = runs_[kept].holdsSquare || runs_[merged].holdsSquare;
    runs_[merged].parent = kept;
  }

  std::vector<bool> flat_;   // of the row being collected
  std::vector<int> square_;  // of the row being collected, see measureSquares
  std::vector<Run> runs_;
};

// For every pixel, the nearest pixel that belongs to a ground (by city-block
// distance, two raster passes): which ground, its shade, and how far it is.
struct Nearest {
  GroundMap ground;
  std::vector<std::uint8_t> shade;
  std::vector<std::uint16_t> distance;
};

Nearest nearestGround(GroundMap seeds, const GreyImage& image) {
  Nearest nearest{std::move(seeds), image.pixels, std::vector<std::uint16_t>(image.pixels.size(), unreached)};
  for (std::size_t index = 0; index < nearest.ground.size(); ++index) {
    if (nearest.ground[index] != noGround) nearest.distance[index] = 0;
  }
  auto take = [&](std::size_t to, std::size_t from) {
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

// Small flat areas are either pieces of a ground cut off by text (the corners
// of a selected row that its text nearly fills) or the flat inside of a thick
// stroke. A piece has the shade of a large ground close by; a stroke has not.
// Dark and light grounds are looked for apart: the nearest ground of a piece
// in a corner of a selected row may be the light one around the row.
void addGroundPieces(GroundMap& grounds, const std::vector<bool>& inSmallAreas, const GreyImage& image) {
  for (bool dark : {true, false}) {
    const Nearest nearest = nearestGround(groundsOfShade(grounds, image, dark), image);
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
  int groundCount = 0;
  std::vector<bool> inSmallAreas;
  GroundMap grounds = FlatAreas(image).grounds(image, groundCount, inSmallAreas);
  if (groundCount == 0) {
    makeTextDarkWhole(image);
    return;
  }
  addGroundPieces(grounds, inSmallAreas, image);
  const Nearest nearest = nearestGround(std::move(grounds), image);
  const std::vector<bool> lightText = lightTextGrounds(nearest, image, groundCount);
  for (std::size_t index = 0; index < image.pixels.size(); ++index) {
    image.pixels[index] =
        againstWhite(image.pixels[index], nearest.shade[index], lightText[static_cast<std::size_t>(nearest.ground[index])]);
  }
}

}  // namespace morvel::linux_ax
