#pragma once

// What the painted fixture's page shows, and how well a reading of it matches:
// the character error rate, counted line by line.

#include "support/Desktop.h"

#include <functional>
#include <string>
#include <vector>

namespace morvel::testing {

// One line of text the fixture painted, on the screen.
struct PaintedLine {
  ScreenRect box;
  int pixelSize = 0;
  bool darkGround = false;
  std::string ground;  // as the fixture names it: "light", "dark" or, in its grid of styles, "selected/serif/bold"
  std::string text;
};

// One line as a recogniser read it, on the screen.
struct ReadLine {
  ScreenRect box;
  std::string text;
};

// The "lines" of an "ocr-region" reply over `region`, placed on the screen.
std::vector<ReadLine> readLinesOf(const Json& reply, const ScreenRect& region);

// The lines the fixture reports ("lines"), placed on the screen.
std::vector<PaintedLine> paintedLinesOf(FixtureApplication& fixture, pid_t pid);

// Levenshtein distance between two texts, counted in Unicode code points.
std::size_t editDistance(const std::string& first, const std::string& second);

struct TextScore {
  std::size_t errors = 0;      // edits to turn what was read into what was painted
  std::size_t characters = 0;  // characters painted
  double rate() const { return characters == 0 ? 0.0 : static_cast<double>(errors) / characters; }
  std::string report;          // one line per misread line, for failure messages
};

// Scores a reading of `region` against the painted lines. Each read line goes
// to the painted line its centre lies in (lines read in pieces are joined left
// to right); painted lines wholly inside `region` and accepted by `counted` are
// scored; a read line that belongs to no painted line at all counts every
// character as an error.
TextScore scoreReading(const std::vector<PaintedLine>& painted, const std::vector<ReadLine>& read,
                       const ScreenRect& region,
                       const std::function<bool(const PaintedLine&)>& counted = [](const PaintedLine&) { return true; });

// Scores a reading of a text shown whole and in order (a file in an editor)
// against its known lines: the pieces read are put into lines top to bottom
// (a piece whose middle lies within the rows of the line above joins it) and
// the texts compared line feeds and all.
TextScore scoreText(const std::vector<std::string>& known, const std::vector<ReadLine>& read);

}  // namespace morvel::testing
